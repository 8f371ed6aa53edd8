// Object file parser: a counting pass fixes the size of every array from the token counts, a
// filling pass allocates each array once at that size and fills it with typed reads. Both passes
// walk the bodies and their sections with the same code, so they meet the same sections in the
// same order; they differ only inside a section's entries.
#include "parsers/object_parser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "io/token_reader.h"

namespace sceneio {
namespace {

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

const SectionKeyword* SectionNamed(std::string_view token) {
  for (const SectionKeyword& row : kSectionKeywords) {
    if (token == row.keyword) return &row;
  }
  return nullptr;
}

// Reads up to `n` tokens and returns the last one, or "" once a read delivered nothing.
std::string_view SkipTokens(TokenReader& reader, int n) {
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

// ---- The shared walk. A pass's hooks return false to end the walk. ----

template <typename Pass>
bool WalkSection(TokenReader& reader, const SectionKeyword& row, Pass& pass) {
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
  for (std::string_view token = reader.Token(); !token.empty() && token != ")";
       token = reader.Token()) {
    const SectionKeyword* row = SectionNamed(token);
    if (row != nullptr && !WalkSection(reader, *row, pass)) return false;
  }
  return true;
}

// Tokens before, between and after bodies are passed over; a top-level "gobject" ends the file.
template <typename Pass>
void WalkBodies(TokenReader& reader, Pass& pass) {
  std::string_view current;
  while (reader.Good() && current != "gobject") {
    if (current == "body" && !WalkBody(reader, pass)) return;
    current = reader.Token();
  }
}

// ---- Pass 1: counting. ----

// Entries of `perEntry` tokens up to ">". Only an entry's first and last tokens are compared, so
// "v 1 2 3, 0 0 >" is a whole entry that also ends the list. An entry cut short by the end of the
// data still counts; one of which nothing was read does not.
int32_t CountEntries(TokenReader& reader, int perEntry) {
  int32_t count = 0;
  for (;;) {
    // The run up to the first ">" token, counted in bulk: where that ">" falls in its entry
    // decides whether it was looked at.
    int64_t delivered = 0;
    if (!reader.SkipPast(">", delivered)) {
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
  }
}

// Faces go in groups of 18 tokens, every one compared with ">". The group that holds ">" is no
// face, whether ">" cuts it short or is its eighteenth token; a group cut short by the end of the
// data is one.
int32_t CountFaces(TokenReader& reader, int perFace) {
  int64_t delivered = 0;
  if (reader.SkipPast(">", delivered)) return static_cast<int32_t>((delivered - 1) / perFace);
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
};

// One row per section occurrence, in the order met, and where each body's rows begin: storage
// grows per body and per section, never per entry.
struct Counts {
  std::vector<SectionCount> sections;
  std::vector<size_t> bodyStarts;
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
    if (open) {
      count = row.section == Section::kFaces ? CountFaces(reader, row.tokensPerEntry)
                                             : CountEntries(reader, row.tokensPerEntry);
    }
    counts_.sections.push_back({row.section, count});
    return true;
  }

  bool FaceParts(TokenReader& reader, const FacePartHeader& /*header*/, bool hasIndices) {
    counts_.sections.push_back({Section::kFaceParts, hasIndices ? CountIndices(reader) : 0});
    return true;
  }

 private:
  Counts& counts_;
};

// ---- Pass 2: filling. Each entry is the sequence of typed reads its layout implies; where the
// text does not fit the layout the reads fall where they fall, but never past pass 1's count. ----

void ReadVector(TokenReader& reader, Vector3& vector) {
  reader.Float(vector.x);
  reader.Float(vector.y);
  reader.Float(vector.z);
}

// "v -1 1 -1, 0 0 1": the third float leaves its "," for the first of the four token reads.
void ReadVertex(TokenReader& reader, Vector3& vertex) {
  reader.Skip();
  ReadVector(reader, vertex);
  SkipTokens(reader, 4);
}

void ReadNormal(TokenReader& reader, Vector3& normal) {
  ReadVector(reader, normal);
  SkipTokens(reader, 4);
}

// "uv (0.5 v1) 0 0 1": the characters take "(" and "v", the floats 0.5 and 1, and ")" is the
// first of the four token reads.
void ReadUv(TokenReader& reader, Vector2& uv) {
  char ignored = 0;
  reader.Skip();
  reader.Char(ignored);
  reader.Float(uv.u);
  reader.Char(ignored);
  reader.Float(uv.v);
  SkipTokens(reader, 4);
}

// "( 0, 3, 2)" after the opening "(": each integer leaves its "," or ")" for a token read.
void ReadTriple(TokenReader& reader, int32_t (&triple)[3]) {
  for (int32_t& value : triple) {
    reader.IntThenSkip(value);
  }
}

// tri ( 0, 3, 2) normal-index smooth group 0 ( 0, 0, 0) uv ( 0, 1, 2): 18 tokens, 27 reads.
void ReadFace(TokenReader& reader, Face& face) {
  SkipTokens(reader, 2);
  ReadTriple(reader, face.triple1);
  SkipTokens(reader, 5);
  ReadTriple(reader, face.triple2);
  SkipTokens(reader, 2);
  ReadTriple(reader, face.triple3);
}

// Allocates the list at its counted size, replacing any earlier occurrence's array, and reads
// its entries and closing token. Once the reader stops, the rest keep their zeros.
template <auto readEntry, typename T>
bool FillList(TokenReader& reader, CountedArray<T>& list, int32_t count, bool open) {
  if (!list.Allocate(count)) return false;
  if (!open) return true;
  for (T& entry : list) {
    if (reader.Failed()) break;
    readEntry(reader, entry);
  }
  reader.Skip();  // the closing ">"
  return true;
}

class FillingPass {
 public:
  FillingPass(const Counts& counts, CountedArray<Body>& bodies)
      : counts_(counts), bodies_(bodies) {}

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
    return true;
  }

  bool List(TokenReader& reader, const SectionKeyword& row, bool open) {
    const int32_t count = CountOf(row.section);
    switch (row.section) {
      case Section::kVertices:
        return Allocated(FillList<ReadVertex>(reader, body_->vertices, count, open));
      case Section::kNormals:
        return Allocated(FillList<ReadNormal>(reader, body_->normals, count, open));
      case Section::kUvs:
        return Allocated(FillList<ReadUv>(reader, body_->uvs, count, open));
      case Section::kFaces:
        return Allocated(FillList<ReadFace>(reader, body_->faces, count, open));
      case Section::kSegments:
        if (open) ReadPastSegments(reader, count, row.tokensPerEntry);
        return true;
      case Section::kFaceParts:
        break;
    }
    return true;
  }

  // A later set replaces the earlier one whole: names and indices.
  bool FaceParts(TokenReader& reader, const FacePartHeader& header, bool hasIndices) {
    FacePartSet& set = body_->faceParts;
    set.firstName.assign(header.firstName);
    set.secondName.assign(header.secondName);
    if (!Allocated(set.indices.Allocate(CountOf(Section::kFaceParts)))) return false;
    if (!hasIndices) return true;
    // "0, 1, >)": each integer leaves its "," for the token read after it.
    for (int32_t& index : set.indices) {
      if (reader.Failed()) break;
      reader.IntThenSkip(index);
    }
    reader.Skip();  // ">)"
    return true;
  }

 private:
  // Segments are kept nowhere: each entry is read past by its token count.
  static void ReadPastSegments(TokenReader& reader, int32_t count, int perEntry) {
    for (int32_t i = 0; i < count && !reader.Failed(); ++i) SkipTokens(reader, perEntry);
    reader.Skip();  // the closing ">"
  }

  bool Allocated(bool ok) {
    if (!ok) outOfMemory_ = true;
    return ok;
  }

  // The count pass 1 took for this body's next occurrence of `section`; a repeated section is
  // read with its own count. 0 for an occurrence pass 1 never met, which only a typed read that
  // took a different number of tokens than pass 1 counted can lead to.
  int32_t CountOf(Section section) {
    size_t& cursor = cursors_[static_cast<size_t>(section)];
    while (cursor < rowsEnd_ && counts_.sections[cursor].section != section) ++cursor;
    if (cursor == rowsEnd_) return 0;
    return counts_.sections[cursor++].count;
  }

  const Counts& counts_;
  CountedArray<Body>& bodies_;
  Body* body_ = nullptr;
  int32_t next_ = 0;
  size_t rowsEnd_ = 0;
  size_t cursors_[kSectionKinds] = {};  // per section kind: the next of this body's rows to try
  bool outOfMemory_ = false;
};

}  // namespace

int32_t ParseObjects(const FileBuffer& file, CountedArray<Body>& objects) {
  Counts counts;
  // Geometric growth keeps rows amortised constant; this covers a small file without regrowth.
  counts.sections.reserve(64);
  counts.bodyStarts.reserve(16);
  {
    TokenReader reader(file);
    CountingPass pass(counts);
    WalkBodies(reader, pass);
  }
  if (!objects.Allocate(static_cast<int32_t>(counts.bodyStarts.size()))) return kOutOfMemory;

  // A reader of its own, from the first byte: nothing of pass 1's state carries over.
  TokenReader reader(file);
  FillingPass pass(counts, objects);
  WalkBodies(reader, pass);
  return pass.OutOfMemory() ? kOutOfMemory : 0;
}

}  // namespace sceneio
