// The findings of a checked load. A ParseObserver hears what the parsers pass over, fail at and
// leave unread, and turns it into findings; the group file, which include resolution reads
// without an observer, is scanned here. Findings carry byte offsets until they are written.
#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <utility>

#include "io/names.h"
#include "io/token_reader.h"
#include "scene/include_resolver.h"
#include "sceneio/body_materials.h"
#include "sceneio/diagnostics.h"
#include "sceneio/file_buffer.h"
#include "sceneio/file_kinds.h"
#include "sceneio/parse_observer.h"

namespace sceneio {
namespace {

// Findings name their file by its row of kFileKinds: the group file, then the four data files
// in the order Load reads them.
constexpr size_t kGroupFile = 0;

size_t FileIndexOf(std::string_view extension) {
  for (size_t k = 1; k < std::size(kFileKinds); ++k) {
    if (kFileKinds[k].extension == extension) return k;
  }
  return kGroupFile;
}

struct RawFinding {
  size_t file;     // the row of kFileKinds
  int32_t offset;  // byte offset in that file; its size for the end of the data
  bool error;
  std::string message;
};

// ---- Bytes as the token reader sees them. ----

// The token at or after `at`, as the token reader reads it; "" at the end. Offsets come from the
// parsers: one outside the file (-1: unknown) is clamped, never read.
std::string_view TokenAt(const FileBuffer& file, int32_t at) {
  TokenReader reader(file);
  reader.Seek(std::clamp(at, 0, file.size));
  return reader.Token();
}

// Where the token at or after `at` starts; the file's size at the end.
int32_t SkipSpace(const FileBuffer& file, int32_t at) {
  const std::string_view token = TokenAt(file, at);
  return token.empty() ? file.size : static_cast<int32_t>(token.data() - file.data.get());
}

// Where the token at `at` (which must not be whitespace) ends.
int32_t SkipToken(const FileBuffer& file, int32_t at) {
  const std::string_view token = TokenAt(file, at);
  return token.empty() ? file.size
                       : static_cast<int32_t>(token.data() - file.data.get() + token.size());
}

// The token that starts at `at` (which must not be whitespace), or "" at the end.
std::string_view TokenFrom(const FileBuffer& file, int32_t at) {
  return TokenAt(file, at);
}

// A view into the file's bytes as an offset; -1 for a view that lies elsewhere.
int32_t OffsetOf(const FileBuffer& file, std::string_view token) {
  const char* begin = file.data.get();
  if (begin == nullptr || token.data() < begin || token.data() > begin + file.size) return -1;
  return static_cast<int32_t>(token.data() - begin);
}

// ---- Wording. ----

// Bytes from a file, in single quotes: printable ASCII as itself, anything else as \xNN, and
// long runs cut, so that no token can garble a terminal or an editor's error list.
std::string Quoted(std::string_view bytes) {
  constexpr size_t kLongest = 40;
  std::string shown = "'";
  AppendShownBytes(shown, bytes.substr(0, kLongest));
  if (bytes.size() > kLongest) shown.append("...");
  shown.push_back('\'');
  return shown;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool IsParenthesis(char c) {
  return c == '(' || c == ')';
}

bool OnlyParentheses(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsParenthesis);
}

// The keyword of `expected` that `token` is, once parentheses written against it are taken
// away: "aim)" and "(view-angle" give aim and view-angle; "" when there is none.
std::string_view GluedKeyword(std::string_view token, std::span<const std::string_view> expected) {
  for (const std::string_view keyword : expected) {
    if (keyword.empty() || OnlyParentheses(keyword)) continue;
    const size_t at = token.find(keyword);
    if (at == std::string_view::npos || token.size() == keyword.size()) continue;
    if (OnlyParentheses(token.substr(0, at)) &&
        OnlyParentheses(token.substr(at + keyword.size()))) {
      return keyword;
    }
  }
  return {};
}

// The parenthesis of `expected` ("(" or ")") that stands against the rest of `token`: the ")"
// of "35)" ends nothing. 0 when there is none.
char GluedDelimiter(std::string_view token, std::span<const std::string_view> expected) {
  if (token.size() < 2) return 0;
  for (const std::string_view wanted : expected) {
    if (wanted.size() != 1 || !IsParenthesis(wanted[0])) continue;
    if (token.front() == wanted[0] || token.back() == wanted[0]) return wanted[0];
  }
  return 0;
}

std::string Unquoted(std::string_view token) {
  std::string name(token);
  UnquoteName(name);
  return name;
}

// ---- What the parsers tell. ----

class Checker final : public ParseObserver {
 public:
  std::vector<RawFinding> TakeFindings() { return std::move(findings_); }

  void BeginFile(const FileBuffer& file, std::string_view extension) override {
    file_ = &file;
    fileIndex_ = FileIndexOf(extension);
    extension_ = extension;
    stopped_ = false;
    inLightList_ = false;
    entry_ = {};
    lastMaterial_ = {};
    listReported_ = false;
  }

  void PassedOver(std::string_view token, std::span<const std::string_view> expected) override {
    NoteLightEntryToken(token);
    if (IsMaterialFile() && token == "material" && expected.size() == 1 &&
        expected[0] == "GL_Shade") {
      MaterialWithoutShade(token);
    }
    for (const std::string_view keyword : expected) {
      if (EqualsIgnoringCase(token, keyword)) {
        Warn(token, Quoted(token) + " is not the keyword " + Quoted(keyword) +
                        ": keywords are case-sensitive, so it is passed over");
        return;
      }
    }
    if (const std::string_view keyword = GluedKeyword(token, expected); !keyword.empty()) {
      Warn(token, Quoted(token) + " is no keyword: a parenthesis written against " +
                      Quoted(keyword) + " forms one token with it; put a space between them");
      return;
    }
    if (const char delimiter = GluedDelimiter(token, expected); delimiter != 0) {
      Warn(token, std::string("the '") + delimiter + "' of " + Quoted(token) +
                      " is no delimiter: a parenthesis written against a word forms one token "
                      "with it; put a space between them");
    }
  }

  void Met(std::string_view token) override {
    if (IsLightFile()) {
      if (!inLightList_) {
        inLightList_ = token == "<";
        return;
      }
      NoteLightEntryToken(token);
      if (token == "(name") LightName(token);
      if (token == ")") EndLightEntry();
    }
    if (IsMaterialFile() && token == "material") lastMaterial_ = token;
  }

  void ValueFailed(std::string_view keyword, std::string_view expected, int32_t at) override {
    const int32_t start = SkipSpace(*file_, at);
    if (stopped_ || start == file_->size) return;  // at the end the open block tells
    stopped_ = true;
    const std::string where = extension_ == ".gof" ? "in this " + std::string(keyword) + " entry"
                                                   : "after " + Quoted(keyword);
    Add(start, true,
        "expected " + std::string(expected) + " " + where + ", found " +
            Quoted(TokenFrom(*file_, start)) + ": nothing after it in this file is read");
  }

  void Unfinished(std::string_view wanted, std::string_view what, std::string_view opening,
                  int32_t from) override {
    // Only the first: once the data has ended every block around it is unfinished too.
    if (stopped_) return;
    stopped_ = true;
    int32_t at = OffsetOf(*file_, opening);
    if (opening.empty() || at < 0) at = from < 0 ? file_->size : SkipSpace(*file_, from);
    Add(at, true, "the file ends " + std::string(what) + ": " + Quoted(wanted) + " never comes");
  }

  void Stopped(int32_t at, std::string_view closing) override {
    if (at < 0) return;
    int32_t next = SkipSpace(*file_, at);
    if (!closing.empty() && TokenFrom(*file_, next) == closing) {
      next = SkipSpace(*file_, SkipToken(*file_, next));
    }
    if (next == file_->size) return;
    const std::string_view token = TokenFrom(*file_, next);
    std::string message;
    if (IsLightFile()) {
      message = "not read: the light file is read only up to the ')' of its last counted light";
    } else if (IsMaterialFile() && token == "material") {
      message =
          "this 'material' block is not read: it has no 'GL_Shade', and only 'GL_Shade' tokens "
          "count materials";
    } else if (IsMaterialFile()) {
      message =
          "not read: nothing after the ')' of the last material counted by 'GL_Shade' is read";
    } else {
      message = "not read: nothing after the ')' of the camera block is read";
    }
    Add(next, false, std::move(message));
  }

  void EntryRead(std::string_view section, int32_t index, int tokens, int32_t begin,
                 int32_t end) override {
    if (index == 0) listReported_ = false;
    if (listReported_ || begin < 0 || end < 0) return;
    // Where the counting pass ended this entry: `tokens` tokens on from where its reads began.
    int32_t counted = begin;
    for (int i = 0; i < tokens; ++i) counted = SkipToken(*file_, SkipSpace(*file_, counted));
    if (end == counted) return;
    listReported_ = true;
    // From here the parser reads the file in a way its layout does not mean: a value that then
    // fails or a block that seems unfinished is this finding's doing.
    stopped_ = true;
    int taken = 0;
    for (int32_t at = SkipSpace(*file_, begin); at < end; at = SkipSpace(*file_, at)) {
      ++taken;
      at = SkipToken(*file_, at);
    }
    Add(SkipSpace(*file_, begin), false,
        "the typed reads of this " + std::string(section) + " entry take " + std::to_string(taken) +
            " tokens where " + std::to_string(tokens) + (tokens == 1 ? " is" : " are") +
            " counted: the entries after it are read out of step");
  }

  void SectionRepeated(std::string_view keyword) override {
    Warn(keyword,
         "a second " + std::string(keyword) + " section in this body: it replaces the " + "first");
  }

  void BetweenBodies(std::string_view token) override {
    Warn(token, Quoted(token) + " stands between bodies, where only 'body' or 'gobject' may " +
                    "follow a body's ')': it is passed over");
  }

 private:
  bool IsLightFile() const { return extension_ == ".lgt"; }
  bool IsMaterialFile() const { return extension_ == ".gmf"; }

  void Add(int32_t offset, bool error, std::string message) {
    findings_.push_back({fileIndex_, offset, error, std::move(message)});
  }
  void Warn(std::string_view token, std::string message) {
    const int32_t at = OffsetOf(*file_, token);
    Add(at < 0 ? 0 : at, false, std::move(message));
  }

  // A light entry runs from the token after "<" or after the previous entry's ")" to its own ")".
  void NoteLightEntryToken(std::string_view token) {
    if (IsLightFile() && inLightList_ && entry_.first.empty()) entry_.first = token;
  }

  void LightName(std::string_view keyword) {
    if (++entry_.names == 2) entry_.secondName = keyword;
    // The name is the token read right after "(name", whatever it is.
    const int32_t at = SkipSpace(*file_, OffsetOf(*file_, keyword) + int32_t(keyword.size()));
    if (at == file_->size) return;
    const std::string_view name = TokenFrom(*file_, at);
    if (name.front() != '"') {
      Add(at, false,
          "the name " + Quoted(name) +
              " has no opening quote, so its first character is dropped: the light is named " +
              Quoted(Unquoted(name)));
    } else if (name.size() > 1 && name.back() == ')') {
      Add(at, false,
          "the ')' written against the name " + Quoted(name) +
              " ends nothing: the entry runs on to the next ')'");
    }
  }

  void EndLightEntry() {
    if (entry_.names == 0) {
      Warn(entry_.first,
           "this light entry has no '(name': it is read, but only '(name' tokens count lights, "
           "so the list's last entry is not read");
    } else if (entry_.names > 1) {
      Warn(entry_.secondName,
           "a second '(name' in one light entry: each '(name' counts a light, so the list counts "
           "more lights than it has entries");
    }
    entry_ = {};
  }

  // The "material" token met last opened a block without "GL_Shade": the search for one ran on
  // into the next block, `next`.
  void MaterialWithoutShade(std::string_view next) {
    if (!lastMaterial_.empty()) {
      Warn(lastMaterial_,
           "this 'material' block has no 'GL_Shade': its name goes to the next block's material, "
           "whose own name is lost");
    }
    lastMaterial_ = next;
  }

  std::vector<RawFinding> findings_;
  const FileBuffer* file_ = nullptr;
  size_t fileIndex_ = kGroupFile;
  std::string_view extension_;
  // A value failed, the data ended or the reads fell out of step: later failures and ends in
  // this file are its consequence, not findings of their own.
  bool stopped_ = false;

  bool inLightList_ = false;
  struct LightEntry {
    std::string_view first;
    int names = 0;
    std::string_view secondName;
  } entry_;

  std::string_view lastMaterial_;
  bool listReported_ = false;  // the object list being read already has a finding
};

// ---- The group file, read here as include resolution reads it. ----

// The name tokens of every "include" entry that serves `extension`, in file order: the first is
// the one the load uses.
std::vector<std::string_view> IncludeNames(const FileBuffer& group, std::string_view extension) {
  std::vector<std::string_view> names;
  ScanIncludes(group, extension, [&](std::string_view name) {
    names.push_back(name);
    return true;
  });
  return names;
}

// The body-material entries: the load passes over them, the export and the writer take them.
// Which bodies and materials the scene holds is known only when the load succeeded.
template <typename Add>
void CheckBodyMaterialEntries(const Scene& scene, bool loaded, const Add& add) {
  const FileBuffer& group = *scene.groupFile;
  std::vector<BodyMaterialEntry> entries;
  if (!ReadBodyMaterials({group.data.get(), static_cast<size_t>(group.size)}, entries).ok()) {
    throw std::bad_alloc();
  }
  const auto holds = [](const auto& records, const std::string& name) {
    return std::any_of(records.begin(), records.end(),
                       [&](const auto& record) { return record.name == name; });
  };
  for (size_t e = 0; e < entries.size(); ++e) {
    const BodyMaterialEntry& entry = entries[e];
    const BodyMaterial& names = entry.names;
    const int32_t body = SkipSpace(group, SkipToken(group, entry.offset));
    const int32_t material = SkipSpace(group, SkipToken(group, body));
    if (!entry.complete) {
      add(entry.offset, false,
          std::string("this 'body-material' entry is cut short: the file ends before its ") +
              (names.body.empty() ? "body" : "material") + ", so it dresses no body");
      continue;
    }
    for (size_t first = 0; first < e; ++first) {
      if (!entries[first].complete || entries[first].names.body != names.body) continue;
      add(body, false,
          "a second 'body-material' entry for the body " + Quoted(names.body) +
              ": it takes the place of the first, " + Quoted(entries[first].names.material));
      break;
    }
    if (loaded && !holds(scene.objects, names.body)) {
      add(body, false,
          "the scene has no body " + Quoted(names.body) +
              ": this 'body-material' entry dresses nothing");
    }
    if (loaded && !holds(scene.materials, names.material)) {
      add(material, false,
          "the scene has no material " + Quoted(names.material) +
              ": this 'body-material' entry is passed over");
    }
  }
}

void CheckGroup(const Scene& scene, bool loaded, std::vector<RawFinding>& findings) {
  const FileBuffer& group = *scene.groupFile;
  const auto add = [&](int32_t offset, bool error, std::string message) {
    findings.push_back({kGroupFile, offset, error, std::move(message)});
  };
  if (!group.data) {
    add(0, true, "cannot read the group file");
    return;
  }

  std::vector<std::string_view> quoteChecked;
  std::array<std::vector<std::string_view>, std::size(kFileKinds)> names;
  for (size_t k = 1; k < std::size(kFileKinds); ++k) {
    const FileKind& kind = kFileKinds[k];
    names[k] = IncludeNames(group, kind.extension);
    for (size_t i = 1; i < names[k].size(); ++i) {
      add(OffsetOf(group, names[k][i]), false,
          "a second entry for the " + std::string(kind.name) + " file (" + Quoted(kind.extension) +
              "): only the first, " + Quoted(names[k][0]) + ", is read");
    }
    for (const std::string_view name : names[k]) {
      if (name.front() == '"' ||
          std::find(quoteChecked.begin(), quoteChecked.end(), name) != quoteChecked.end()) {
        continue;
      }
      quoteChecked.push_back(name);
      add(OffsetOf(group, name), false,
          "the name " + Quoted(name) +
              " has no opening quote, so its first character is dropped: it names " +
              Quoted(Unquoted(name)));
    }
  }

  TokenReader reader(group);
  for (std::string_view token = reader.Token(); !token.empty(); token = reader.Token()) {
    for (const std::string_view keyword : {"include", "body-material"}) {
      if (token != keyword && EqualsIgnoringCase(token, keyword)) {
        add(OffsetOf(group, token), false,
            Quoted(token) + " is not the keyword " + Quoted(keyword) +
                ": keywords are case-sensitive, so it is passed over");
      }
    }
  }
  CheckBodyMaterialEntries(scene, loaded, add);

  if (loaded) return;
  for (size_t k = 1; k < std::size(kFileKinds); ++k) {
    const FileBuffer* file = (scene.*kFileKinds[k].file).get();
    if (file != nullptr && file->data) continue;
    const std::string kind = "the " + std::string(kFileKinds[k].name) + " file";
    if (file == nullptr || file->path.empty()) {
      add(0, true,
          "no 'include' entry names " + kind + " (" + Quoted(kFileKinds[k].extension) +
              "): the load fails here");
    } else {
      add(OffsetOf(group, names[k].front()), true,
          "cannot read " + Quoted(NativePath(file->path)) + ", " + kind +
              " named here: the load fails here");
    }
    return;
  }
  add(0, true, "the load failed: memory ran out");
}

// ---- Offsets to lines and columns. ----

// Where each line of a file starts: after a LF, after a CR LF pair, after a lone CR.
std::vector<int32_t> LineStarts(const FileBuffer& file) {
  std::vector<int32_t> starts = {0};
  for (int32_t i = 0; i < file.size; ++i) {
    const char c = file.data[i];
    if (c == '\n' || (c == '\r' && (i + 1 == file.size || file.data[i + 1] != '\n'))) {
      starts.push_back(i + 1);
    }
  }
  return starts;
}

// Sorts the findings by file and place, and turns their offsets into lines and columns.
void Diagnose(const Scene& scene, bool loaded, std::vector<RawFinding> raw,
              std::vector<Finding>& findings) {
  if (scene.groupFile) CheckGroup(scene, loaded, raw);
  std::stable_sort(raw.begin(), raw.end(), [](const RawFinding& a, const RawFinding& b) {
    return a.file != b.file ? a.file < b.file : a.offset < b.offset;
  });
  size_t linesOf = std::size(kFileKinds);
  std::vector<int32_t> starts;
  for (RawFinding& f : raw) {
    const FileBuffer& file = *(scene.*kFileKinds[f.file].file);
    if (linesOf != f.file) {
      starts = LineStarts(file);
      linesOf = f.file;
    }
    const auto line = std::upper_bound(starts.begin(), starts.end(), f.offset) - starts.begin();
    Finding finding;
    finding.path = NativePath(file.path);
    finding.line = static_cast<int32_t>(line);
    finding.column = f.offset - starts[static_cast<size_t>(line - 1)] + 1;
    finding.error = f.error;
    finding.message = std::move(f.message);
    findings.push_back(std::move(finding));
  }
}

}  // namespace

Status CheckLoad(Scene& scene, const char* groupPath, std::vector<Finding>& findings) {
  Checker checker;
  LoadOptions options;
  options.observer = &checker;
  Status status = LoadScene(scene, groupPath, options);
  try {
    Diagnose(scene, status.ok(), checker.TakeFindings(), findings);
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory while checking the scene");
  }
  return status;
}

std::string CheckReport(const std::vector<Finding>& findings) {
  std::string out;
  size_t errors = 0;
  for (const Finding& f : findings) {
    if (f.error) ++errors;
    out += f.path + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) +
           (f.error ? ": error: " : ": warning: ") + f.message + "\n";
  }
  const size_t warnings = findings.size() - errors;
  // Always "N errors, M warnings", even for 1: scripts match the closing line by its words.
  out += std::to_string(errors) + " errors, " + std::to_string(warnings) + " warnings\n";
  return out;
}

}  // namespace sceneio
