// Object file parser: a counting pass fixes the size of every array from the token counts, a
// filling pass allocates each array once at that size and fills it with typed reads. Both passes
// walk the bodies and their sections with the same code, so they meet the same sections in the
// same order; they differ only inside a section's entries.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "io/token_reader.h"
#include "parsers/list_pieces.h"
#include "parsers/object_threads.h"
#include "sceneio/body.h"
#include "sceneio/parse_observer.h"

namespace sceneio {
namespace {

// The entry readers, forced inline into the loop over a list like the reads they are made of, so
// that an entry's reads run as one stretch of code with the position kept in a register.
#if defined(__GNUC__) && !defined(SCENEIO_COVERAGE)
#define SCENEIO_ENTRY_READ __attribute__((always_inline))
#else
#define SCENEIO_ENTRY_READ
#endif

enum class Section : uint8_t { kVertices, kNormals, kUvs, kFaces, kSegments, kFaceParts };
constexpr size_t kSectionKinds = 6;

struct SectionKeyword {
  std::string_view keyword;
  Section section;
  int tokensPerEntry;  // as the counting pass sees an entry of the list
};

constexpr SectionKeyword kSectionKeywords[] = {
    {"vertices[]", Section::kVertices, 7},     // v -1 1 -1, 0 0 1
    {"normals[]", Section::kNormals, 6},       // 0 0 -1, 0 0 1
    {"uv-array[]", Section::kUvs, 6},          // uv (0 v1) 0 0 1
    {"faces[]", Section::kFaces, 18},          // tri ( 0, 3, 2) n s g 0 ( 0, 0, 0) uv ( 0, 1, 2)
    {"segments[]", Section::kSegments, 7},     // seg 0 1 edge 0 0 1
    {"face-parts[]", Section::kFaceParts, 0},  // < 2 "base" - "apex" 2 : 0, 1, >) end
};

// What may stand where the walk passes tokens over, for an observer: inside a body, at top level.
constexpr auto kBodyWords = [] {
  std::array<std::string_view, std::size(kSectionKeywords) + 1> words{};
  for (size_t i = 0; i < std::size(kSectionKeywords); ++i) words[i] = kSectionKeywords[i].keyword;
  words.back() = ")";
  return words;
}();
constexpr std::string_view kTopLevelWords[] = {"body", "gobject"};

const SectionKeyword* SectionNamed(std::string_view token) {
  for (const SectionKeyword& row : kSectionKeywords) {
    if (token == row.keyword) return &row;
  }
  return nullptr;
}

// Reads up to `n` tokens and returns the last one, or "" once a read delivered nothing.
template <typename Reader>
SCENEIO_ENTRY_READ inline std::string_view SkipTokens(Reader& reader, int n) {
  return reader.SkipTokens(n);
}

// The seven tokens after "face-parts[]": the third and fifth are the set's names, and a seventh
// ">)" closes an index list that has no entries.
struct FacePartHeader {
  std::string_view firstName;
  std::string_view secondName;
  std::string_view seventh;
};

FacePartHeader ReadFacePartHeader(TokenReader& reader) {
  FacePartHeader header;
  SkipTokens(reader, 2);
  header.firstName = reader.Token();
  reader.Skip();
  header.secondName = reader.Token();
  reader.Skip();
  header.seventh = reader.Token();
  return header;
}

// ---- The shared walk. A pass's hooks return false to end the walk; TopLevel, PassedOver,
// BeginSection and EndBody only tell a pass where the walk stands. ----

template <typename Pass>
bool WalkSection(TokenReader& reader, const SectionKeyword& row, std::string_view keyword,
                 Pass& pass) {
  pass.BeginSection(row, keyword);
  if (row.section == Section::kFaceParts) {
    const FacePartHeader header = ReadFacePartHeader(reader);
    if (!pass.FaceParts(reader, header, header.seventh != ">)")) return false;
    reader.Skip();  // the token after ">)", never examined
    return true;
  }
  // A list whose opening token is ">" is empty and ends right there, with no closing token:
  //   normals[] > faces[] < ... >
  const bool open = reader.Token() != ">";
  return pass.List(reader, row, open);
}

template <typename Pass>
bool WalkBody(TokenReader& reader, Pass& pass) {
  if (!pass.BeginBody(reader.Token())) return false;
  // The token after the name is never examined, so not even a ")" there ends the body.
  reader.Skip();
  std::string_view token = reader.Token();
  for (; !token.empty() && token != ")"; token = reader.Token()) {
    const SectionKeyword* row = SectionNamed(token);
    if (row == nullptr) {
      pass.PassedOver(token);
    } else if (!WalkSection(reader, *row, token, pass)) {
      return false;
    }
  }
  pass.EndBody(token);
  return true;
}

// Tokens before, between and after bodies are passed over; a top-level "gobject" ends the file.
template <typename Pass>
void WalkBodies(TokenReader& reader, Pass& pass) {
  std::string_view current;
  while (reader.Good() && current != "gobject") {
    if (current == "body" && !WalkBody(reader, pass)) return;
    current = reader.Token();
    pass.TopLevel(current);
  }
}

// ---- Pass 1: counting. ----

// Entries of `perEntry` tokens up to ">". Only an entry's first and last tokens are compared, so
// "v 1 2 3, 0 0 >" is a whole entry that also ends the list. An entry cut short by the end of the
// data still counts; one of which nothing was read does not. `marks` tell where the tokens
// counted in bulk ended, counted from the list's first entry.
int32_t CountEntries(TokenReader& reader, int perEntry, TokenMarks& marks) {
  int32_t count = 0;
  for (;;) {
    // The run up to the first ">" token, counted in bulk: where that ">" falls in its entry
    // decides whether it was looked at.
    int64_t delivered = 0;
    if (!reader.SkipPast(">", delivered, marks)) {
      return count + static_cast<int32_t>((delivered + perEntry - 1) / perEntry);
    }
    const int64_t before = delivered - 1;
    count += static_cast<int32_t>(before / perEntry);
    const auto part = static_cast<int>(before % perEntry);  // tokens of its entry before it
    if (part == 0) return count;                            // it opens an entry
    ++count;
    if (part == perEntry - 1) return count;  // it closes one
    // Inside an entry it is passed over; the entry's last token is still compared.
    const std::string_view last = SkipTokens(reader, perEntry - 1 - part);
    if (last.empty() || last == ">") return count;
    marks.before += delivered + (perEntry - 1 - part);
  }
}

// Faces go in groups of 18 tokens, every one compared with ">". The group that holds ">" is no
// face, whether ">" cuts it short or is its eighteenth token; a group cut short by the end of the
// data is one.
int32_t CountFaces(TokenReader& reader, int perFace, TokenMarks& marks) {
  int64_t delivered = 0;
  if (reader.SkipPast(">", delivered, marks)) {
    return static_cast<int32_t>((delivered - 1) / perFace);
  }
  return static_cast<int32_t>((delivered + perFace - 1) / perFace);
}

// Index tokens up to ">)", which is read with them.
int32_t CountIndices(TokenReader& reader) {
  int64_t delivered = 0;
  const bool closed = reader.SkipPast(">)", delivered);
  return static_cast<int32_t>(closed ? delivered - 1 : delivered);
}

struct SectionCount {
  Section section;
  int32_t count;
  // This occurrence's marks in Counts::marks, [firstMark, endMark); the first, when there is
  // one, is where its first entry begins.
  uint32_t firstMark = 0;
  uint32_t endMark = 0;
};

// One row per section occurrence, in the order met, and where each body's rows begin: storage
// grows per body and per section, never per entry. Marks are left only when asked for, at about
// `markSpacing` bytes apart, for a filling pass that reads lists in pieces.
struct Counts {
  std::vector<SectionCount> sections;
  std::vector<size_t> bodyStarts;
  std::vector<TokenMark> marks;
  int32_t markSpacing = 0;  // 0: no marks
};

class CountingPass {
 public:
  explicit CountingPass(Counts& counts) : counts_(counts) {}

  bool BeginBody(std::string_view /*name*/) {
    counts_.bodyStarts.push_back(counts_.sections.size());
    return true;
  }

  bool List(TokenReader& reader, const SectionKeyword& row, bool open) {
    int32_t count = 0;
    const auto firstMark = static_cast<uint32_t>(counts_.marks.size());
    if (open) {
      TokenMarks marks;
      if (counts_.markSpacing > 0 && row.section != Section::kSegments && reader.Good()) {
        marks.marks = &counts_.marks;
        marks.spacing = counts_.markSpacing;
        marks.last = reader.Position();
        counts_.marks.push_back({0, marks.last});
      }
      count = row.section == Section::kFaces ? CountFaces(reader, row.tokensPerEntry, marks)
                                             : CountEntries(reader, row.tokensPerEntry, marks);
    }
    counts_.sections.push_back(
        {row.section, count, firstMark, static_cast<uint32_t>(counts_.marks.size())});
    return true;
  }

  bool FaceParts(TokenReader& reader, const FacePartHeader& /*header*/, bool hasIndices) {
    counts_.sections.push_back({Section::kFaceParts, hasIndices ? CountIndices(reader) : 0});
    return true;
  }

  // Where the walk stands is of no interest to counting.
  void TopLevel(std::string_view /*token*/) {}
  void PassedOver(std::string_view /*token*/) {}
  void BeginSection(const SectionKeyword& /*row*/, std::string_view /*keyword*/) {}
  void EndBody(std::string_view /*token*/) {}

 private:
  Counts& counts_;
};

// ---- Pass 2: filling. Each entry is the sequence of typed reads its layout implies; where the
// text does not fit the layout the reads fall where they fall, but never past pass 1's count. ----

template <typename Reader>
SCENEIO_ENTRY_READ inline void ReadVector(Reader& reader, Vector3& vector) {
  reader.Float(vector.x);
  reader.Float(vector.y);
  reader.Float(vector.z);
}

// The entry readers are generic over the reader, so that an observed parse can read the same
// entries through a WatchedReader.

// "v -1 1 -1, 0 0 1": the third float leaves its "," for the first of the four token reads.
constexpr auto ReadVertex = [](auto& reader, Vector3& vertex) SCENEIO_ENTRY_READ {
  reader.Skip();
  ReadVector(reader, vertex);
  SkipTokens(reader, 4);
};

constexpr auto ReadNormal = [](auto& reader, Vector3& normal) SCENEIO_ENTRY_READ {
  ReadVector(reader, normal);
  SkipTokens(reader, 4);
};

// "uv (0.5 v1) 0 0 1": the characters take "(" and "v", the floats 0.5 and 1, and ")" is the
// first of the four token reads.
constexpr auto ReadUv = [](auto& reader, Vector2& uv) SCENEIO_ENTRY_READ {
  char ignored = 0;
  reader.Skip();
  reader.Char(ignored);
  reader.Float(uv.u);
  reader.Char(ignored);
  reader.Float(uv.v);
  SkipTokens(reader, 4);
};

// "( 0, 3, 2)" after the opening "(": each integer leaves its "," or ")" for a token read.
template <typename Reader>
SCENEIO_ENTRY_READ inline void ReadTriple(Reader& reader, int32_t (&triple)[3]) {
  for (int32_t& value : triple) {
    reader.IntThenSkip(value);
  }
}

// tri ( 0, 3, 2) normal-index smooth group 0 ( 0, 0, 0) uv ( 0, 1, 2): 18 tokens, 27 reads.
constexpr auto ReadFace = [](auto& reader, Face& face) SCENEIO_ENTRY_READ {
  SkipTokens(reader, 2);
  ReadTriple(reader, face.triple1);
  SkipTokens(reader, 5);
  ReadTriple(reader, face.triple2);
  SkipTokens(reader, 2);
  ReadTriple(reader, face.triple3);
};

// "0, 1, >)": each integer leaves its "," for the token read after it.
constexpr auto ReadIndex = [](auto& reader, int32_t& index)
                               SCENEIO_ENTRY_READ { reader.IntThenSkip(index); };

// An observer of one section's entries: the section's keyword token, and how many tokens the
// counting pass takes for each entry.
struct EntryWatch {
  ParseObserver* observer = nullptr;
  std::string_view section;
  int tokens = 0;
};

// The reads of entries as an observer sees them: each typed read remembers where it began, so
// that the first one to fail can be shown where it stood. Only an observed parse uses it.
class WatchedReader {
 public:
  explicit WatchedReader(TokenReader& reader) : reader_(reader) {}

  bool Skip() { return reader_.Skip(); }
  std::string_view SkipTokens(int n) { return reader_.SkipTokens(n); }
  bool Float(float& target) {
    const int32_t at = reader_.Position();
    return Watched(reader_.Float(target), at, "a number");
  }
  bool Char(char& target) {
    const int32_t at = reader_.Position();
    return Watched(reader_.Char(target), at, "a character");
  }
  bool IntThenSkip(int32_t& target) {
    const int32_t at = reader_.Position();
    return Watched(reader_.IntThenSkip(target), at, "an integer");
  }

  // Where the first typed read that delivered nothing began, or -1.
  int32_t FailedAt() const { return failedAt_; }
  std::string_view Expected() const { return expected_; }

 private:
  // A read on a reader that had already failed (at -1) is no failure of its own.
  bool Watched(bool stored, int32_t at, std::string_view expected) {
    if (!stored && failedAt_ < 0 && at >= 0) {
      failedAt_ = at;
      expected_ = expected;
    }
    return stored;
  }

  TokenReader& reader_;
  int32_t failedAt_ = -1;
  std::string_view expected_;
};

// The entries of an observed parse: the observer hears where each entry's reads began and ended,
// and where a read that failed began (after which nothing more is read).
template <auto readEntry, typename T>
void ReadEntriesWatched(TokenReader& reader, CountedArray<T>& list, const EntryWatch& watch) {
  WatchedReader watched(reader);
  for (int32_t k = 0; k < list.count && !reader.Failed(); ++k) {
    const int32_t begin = reader.Position();
    readEntry(watched, list.items[k]);
    if (watched.FailedAt() >= 0) {
      watch.observer->ValueFailed(watch.section, watched.Expected(), watched.FailedAt());
      return;
    }
    watch.observer->EntryRead(watch.section, k, watch.tokens, begin, reader.Position());
  }
}

// Reads entries into the whole list; once the reader stops, the rest keep their zeros.
template <auto readEntry, typename T>
void ReadEntries(TokenReader& reader, CountedArray<T>& list, const EntryWatch& watch) {
  if (watch.observer != nullptr) {
    ReadEntriesWatched<readEntry>(reader, list, watch);
    return;
  }
  for (T& entry : list) {
    if (reader.Failed()) break;
    readEntry(reader, entry);
  }
}

// Reads the token that closes a section, telling an observer when the data has ended before it.
void ReadClosing(TokenReader& reader, std::string_view closing, const EntryWatch& watch) {
  if (!reader.Skip() && watch.observer != nullptr) {
    watch.observer->Unfinished(closing, "inside this section", watch.section, -1);
  }
}

// Allocates the list at its counted size, replacing any earlier occurrence's array, and reads
// its entries and closing token.
template <auto readEntry, typename T>
bool FillList(TokenReader& reader, CountedArray<T>& list, int32_t count, bool open,
              const EntryWatch& watch) {
  if (!list.Allocate(count)) return false;
  if (!open) return true;
  ReadEntries<readEntry>(reader, list, watch);
  ReadClosing(reader, ">", watch);
  return true;
}

// ---- The filling pass with several threads: every list of a stored kind is read in pieces
// that begin at the counting pass's marks. The arrays are all made before any piece is read. ----

// Entries [first, end) of a list, stopping, as the reading of a whole list does, once a read
// has failed; the rest keep their zeros.
template <auto readEntry, typename T>
void ReadRange(TokenReader& reader, T* items, int32_t first, int32_t end) {
  for (int32_t k = first; k < end; ++k) {
    if (reader.Failed()) break;
    readEntry(reader, items[k]);
  }
}

// A worker's reading of one piece: a reader of its own, good at the mark.
template <auto readEntry, typename T>
void ReadPiece(const FileBuffer& file, ListPiece& piece, T* items) {
  TokenReader reader(file);
  reader.Seek(piece.markOffset);
  if (piece.skip > 0) SkipTokens(reader, piece.skip);
  if (!reader.Good()) return;  // no reading in order is ever good here: the piece is read again
  piece.start = reader.Position();
  ReadRange<readEntry>(reader, items, piece.first, piece.end);
  piece.after = reader;
}

// The arrays of every list row, made before the filling pass starts, and the pieces they are
// read in. A row's array goes to the Body whose section the filling pass takes that row for;
// the arrays of rows it never takes are released with this.
class ListPieces {
 public:
  // Makes every array and lays out the pieces; false when memory ran out (nothing is kept).
  bool Prepare(const Counts& counts) {
    try {
      if (Lay(counts)) return true;
    } catch (const std::bad_alloc&) {
    }
    rows_.clear();
    board_.reset();
    return false;
  }

  // Starts `workers` threads reading pieces from the last one backwards.
  void Start(const FileBuffer& file, const Counts& counts, int workers) {
    board_->Start(workers, [this, &file, &counts](ListPiece& piece) {
      const Row& row = rows_[piece.row];
      switch (counts.sections[piece.row].section) {
        case Section::kVertices:
          ReadPiece<ReadVertex>(file, piece, static_cast<Vector3*>(row.items));
          break;
        case Section::kNormals:
          ReadPiece<ReadNormal>(file, piece, static_cast<Vector3*>(row.items));
          break;
        case Section::kUvs:
          ReadPiece<ReadUv>(file, piece, static_cast<Vector2*>(row.items));
          break;
        case Section::kFaces:
          ReadPiece<ReadFace>(file, piece, static_cast<Face*>(row.items));
          break;
        default:
          break;
      }
    });
  }

  void Finish() { board_->Finish(); }

  // The list of row `i`, read in order from `reader`: each piece a worker read is taken as it is
  // when the reader stands good where that piece began, and is zeroed and read again otherwise.
  template <auto readEntry, typename T>
  void Fill(TokenReader& reader, CountedArray<T>& list, size_t i, bool open) {
    list.items.reset();
    list.count = 0;
    CountedArray<T>& made = Array<T>(rows_[i]);
    list.items = std::move(made.items);
    list.count = made.count;
    made.count = 0;
    T* items = list.items.get();
    const Row& row = rows_[i];
    if (row.firstPiece == row.endPiece && open) {
      ReadRange<readEntry>(reader, items, 0, list.count);
    }
    for (size_t p = row.firstPiece; p < row.endPiece; ++p) {
      ListPiece& piece = (*board_)[p];
      if (!board_->TakeInOrder(piece)) {
        if (open && reader.Good() && piece.start >= 0 && reader.Position() == piece.start) {
          reader = piece.after;
          continue;
        }
        std::fill(items + piece.first, items + piece.end, T{});
      }
      if (open) ReadRange<readEntry>(reader, items, piece.first, piece.end);
    }
    if (open) ReadClosing(reader, ">", {});
  }

 private:
  // The arrays, and the pieces of each list: one from each mark, from the first entry that
  // begins at or after it to the next piece's first entry.
  bool Lay(const Counts& counts) {
    rows_.resize(counts.sections.size());
    struct PiecePlan {
      size_t row;
      int32_t first;
      int32_t markOffset;
      int skip;
    };
    std::vector<PiecePlan> plans;
    for (size_t i = 0; i < counts.sections.size(); ++i) {
      const SectionCount& row = counts.sections[i];
      if (!Allocate(row, rows_[i])) return false;
      const int perEntry = TokensPerEntry(row.section);
      rows_[i].firstPiece = plans.size();
      for (uint32_t m = row.firstMark; m < row.endMark; ++m) {
        const TokenMark& mark = counts.marks[m];
        const int64_t entry = (mark.tokens + perEntry - 1) / perEntry;
        if (entry >= row.count) break;
        if (plans.size() > rows_[i].firstPiece && entry <= plans.back().first) continue;
        plans.push_back({i, static_cast<int32_t>(entry), mark.offset,
                         static_cast<int>(entry * perEntry - mark.tokens)});
      }
      rows_[i].endPiece = plans.size();
    }
    board_ = std::make_unique<PieceBoard>(plans.size());
    for (size_t p = 0; p < plans.size(); ++p) {
      ListPiece& piece = (*board_)[p];
      piece.row = plans[p].row;
      piece.first = plans[p].first;
      piece.markOffset = plans[p].markOffset;
      piece.skip = plans[p].skip;
      const bool last = p + 1 == plans.size() || plans[p + 1].row != plans[p].row;
      piece.end = last ? counts.sections[plans[p].row].count : plans[p + 1].first;
    }
    return true;
  }

  struct Row {
    CountedArray<Vector3> vectors;
    CountedArray<Vector2> uvs;
    CountedArray<Face> faces;
    // The array's elements, for the workers: the array itself moves to its Body meanwhile.
    void* items = nullptr;
    size_t firstPiece = 0;
    size_t endPiece = 0;
  };

  static int TokensPerEntry(Section section) {
    for (const SectionKeyword& row : kSectionKeywords) {
      if (row.section == section) return row.tokensPerEntry;
    }
    return 1;
  }

  static bool Allocate(const SectionCount& count, Row& row) {
    switch (count.section) {
      case Section::kVertices:
      case Section::kNormals:
        return Made(row.vectors, count.count, row);
      case Section::kUvs:
        return Made(row.uvs, count.count, row);
      case Section::kFaces:
        return Made(row.faces, count.count, row);
      default:
        return true;
    }
  }

  template <typename T>
  static bool Made(CountedArray<T>& array, int32_t count, Row& row) {
    if (!array.Allocate(count)) return false;
    row.items = array.items.get();
    return true;
  }

  template <typename T>
  static CountedArray<T>& Array(Row& row) {
    if constexpr (std::is_same_v<T, Vector2>) {
      return row.uvs;
    } else if constexpr (std::is_same_v<T, Face>) {
      return row.faces;
    } else {
      return row.vectors;
    }
  }

  std::vector<Row> rows_;
  std::unique_ptr<PieceBoard> board_;
};

class FillingPass {
 public:
  FillingPass(const Counts& counts, CountedArray<Body>& bodies, ParseObserver* observer,
              ListPieces* pieces = nullptr)
      : counts_(counts), bodies_(bodies), pieces_(pieces), observer_(observer) {}

  bool OutOfMemory() const { return outOfMemory_; }

  bool BeginBody(std::string_view name) {
    if (next_ == bodies_.count)
      return false;  // one pass 1 never met: only after a typed read went out of step
    body_ = &bodies_.items[next_];
    body_->name.assign(name);
    const auto index = static_cast<size_t>(next_++);
    const size_t first = counts_.bodyStarts[index];
    rowsEnd_ = index + 1 < counts_.bodyStarts.size() ? counts_.bodyStarts[index + 1]
                                                     : counts_.sections.size();
    for (size_t& cursor : cursors_) cursor = first;
    sectionsSeen_ = 0;
    return true;
  }

  bool List(TokenReader& reader, const SectionKeyword& row, bool open) {
    const size_t at = RowOf(row.section);
    const int32_t count = at == kNoRow ? 0 : counts_.sections[at].count;
    if (pieces_ != nullptr && at != kNoRow) {
      switch (row.section) {
        case Section::kVertices:
          pieces_->Fill<ReadVertex>(reader, body_->vertices, at, open);
          return true;
        case Section::kNormals:
          pieces_->Fill<ReadNormal>(reader, body_->normals, at, open);
          return true;
        case Section::kUvs:
          pieces_->Fill<ReadUv>(reader, body_->uvs, at, open);
          return true;
        case Section::kFaces:
          pieces_->Fill<ReadFace>(reader, body_->faces, at, open);
          return true;
        default:
          break;
      }
    }
    const EntryWatch watch = Watch(row.tokensPerEntry);
    switch (row.section) {
      case Section::kVertices:
        return Allocated(FillList<ReadVertex>(reader, body_->vertices, count, open, watch));
      case Section::kNormals:
        return Allocated(FillList<ReadNormal>(reader, body_->normals, count, open, watch));
      case Section::kUvs:
        return Allocated(FillList<ReadUv>(reader, body_->uvs, count, open, watch));
      case Section::kFaces:
        return Allocated(FillList<ReadFace>(reader, body_->faces, count, open, watch));
      case Section::kSegments:
      default:  // kFaceParts never comes here: WalkSection reads face parts itself
        if (open) ReadPastSegments(reader, count, row.tokensPerEntry, watch);
        return true;
    }
  }

  // A later set replaces the earlier one whole: names and indices.
  bool FaceParts(TokenReader& reader, const FacePartHeader& header, bool hasIndices) {
    FacePartSet& set = body_->faceParts;
    set.firstName.assign(header.firstName);
    set.secondName.assign(header.secondName);
    if (!Allocated(set.indices.Allocate(CountOf(Section::kFaceParts)))) return false;
    if (!hasIndices) return true;
    const EntryWatch watch = Watch(1);
    ReadEntries<ReadIndex>(reader, set.indices, watch);
    ReadClosing(reader, ">)", watch);
    return true;
  }

  // Where the walk stands matters only to an observer, and then only for what it is told.
  void TopLevel(std::string_view token) {
    if (observer_ != nullptr) TellTopLevel(token);
  }
  void PassedOver(std::string_view token) {
    if (observer_ != nullptr) observer_->PassedOver(token, kBodyWords);
  }
  void BeginSection(const SectionKeyword& row, std::string_view keyword) {
    section_ = keyword;
    if (observer_ != nullptr) TellRepeated(row.section);
  }
  void EndBody(std::string_view token) {
    if (observer_ == nullptr) return;
    if (token.empty()) observer_->Unfinished(")", "inside this body", bodyKeyword_, -1);
    afterBody_ = true;
    gapTold_ = false;
  }

 private:
  // Segments are kept nowhere: each entry is read past by its token count.
  static void ReadPastSegments(TokenReader& reader, int32_t count, int perEntry,
                               const EntryWatch& watch) {
    for (int32_t i = 0; i < count && !reader.Failed(); ++i) SkipTokens(reader, perEntry);
    ReadClosing(reader, ">", watch);
  }

  EntryWatch Watch(int tokensPerEntry) const { return {observer_, section_, tokensPerEntry}; }

  void TellTopLevel(std::string_view token) {
    if (token.empty() || token == "gobject") return;
    if (token == "body") {
      bodyKeyword_ = token;
      return;
    }
    // One finding per run of tokens between two bodies; those before the first are a header.
    if (afterBody_ && !gapTold_) observer_->BetweenBodies(token);
    gapTold_ = afterBody_;
    observer_->PassedOver(token, kTopLevelWords);
  }

  void TellRepeated(Section section) {
    const auto bit = static_cast<uint8_t>(1u << static_cast<unsigned>(section));
    if ((sectionsSeen_ & bit) != 0) observer_->SectionRepeated(section_);
    sectionsSeen_ |= bit;
  }

  bool Allocated(bool ok) {
    if (!ok) outOfMemory_ = true;
    return ok;
  }

  static constexpr size_t kNoRow = SIZE_MAX;

  // The row pass 1 made for this body's next occurrence of `section`; a repeated section is read
  // with its own count. kNoRow for an occurrence pass 1 never met, which only a typed read that
  // took a different number of tokens than pass 1 counted can lead to.
  size_t RowOf(Section section) {
    size_t& cursor = cursors_[static_cast<size_t>(section)];
    while (cursor < rowsEnd_ && counts_.sections[cursor].section != section) ++cursor;
    if (cursor == rowsEnd_) return kNoRow;
    return cursor++;
  }

  // That row's count, 0 when there is none.
  int32_t CountOf(Section section) {
    const size_t at = RowOf(section);
    return at == kNoRow ? 0 : counts_.sections[at].count;
  }

  const Counts& counts_;
  CountedArray<Body>& bodies_;
  ListPieces* pieces_;
  Body* body_ = nullptr;
  int32_t next_ = 0;
  size_t rowsEnd_ = 0;
  size_t cursors_[kSectionKinds] = {};  // per section kind: the next of this body's rows to try
  bool outOfMemory_ = false;

  // Only for an observer.
  ParseObserver* observer_;
  std::string_view section_;      // the keyword token of the section being read
  std::string_view bodyKeyword_;  // the "body" token of the body being read
  uint8_t sectionsSeen_ = 0;      // one bit per Section kind met in this body
  bool afterBody_ = false;        // a body has ended: top-level tokens now stand between bodies
  bool gapTold_ = false;          // the current run between bodies has been told
};

}  // namespace

int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects, ParseObserver* observer) {
  return ParseObjectsWithThreads(file, objects, observer, 1, 0);
}

int32_t ParseObjectsWithThreads(const FileBuffer& file, CountedArray<Body>& objects,
                                ParseObserver* observer, int threads, int32_t markSpacing) {
  // An observer hears the parse in file order, so an observed parse reads in order alone.
  const bool inPieces = threads > 1 && observer == nullptr;
  Counts counts;
  // Geometric growth keeps rows amortised constant; this covers a small file without regrowth.
  counts.sections.reserve(64);
  counts.bodyStarts.reserve(16);
  if (inPieces) {
    // About 16 pieces a thread, so that the threads finish close together, at least 64 KiB each
    // unless asked otherwise.
    counts.markSpacing = markSpacing > 0
                             ? markSpacing
                             : std::max<int32_t>(file.size / (16 * threads), int32_t{64} << 10);
  }
  {
    TokenReader reader(file);
    CountingPass pass(counts);
    WalkBodies(reader, pass);
  }
  if (!objects.Allocate(static_cast<int32_t>(counts.bodyStarts.size()))) return kOutOfMemory;

  // Arrays that cannot all be had at once are made one by one in order, as one thread does.
  ListPieces pieces;
  const bool prepared = inPieces && pieces.Prepare(counts);
  if (prepared) pieces.Start(file, counts, threads - 1);

  // A reader of its own, from the first byte: nothing of pass 1's state carries over.
  TokenReader reader(file);
  FillingPass pass(counts, objects, observer, prepared ? &pieces : nullptr);
  WalkBodies(reader, pass);
  if (prepared) pieces.Finish();
  return pass.OutOfMemory() ? kOutOfMemory : 0;
}

}  // namespace sceneio
