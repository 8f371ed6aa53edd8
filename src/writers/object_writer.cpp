// Object file writer: one block per body from "body" to ")", each list section with the entry
// layout whose typed reads cover exactly the tokens the counting pass counts for it.
#include <functional>
#include <string_view>

#include "sceneio/fields.h"
#include "writers/writers.h"

namespace sceneio {
namespace {

// The body that the filling pass never reached keeps every default; only the end of the data
// right after its "body" token leaves one so.
bool Unreached(const Body& body) {
  return body.name.empty() && body.vertices.items == nullptr && body.normals.items == nullptr &&
         body.uvs.items == nullptr && body.faces.items == nullptr &&
         body.faceParts.indices.items == nullptr && body.faceParts.firstName.empty() &&
         body.faceParts.secondName.empty() && body.faceParts.reserved == 0;
}

template <typename T>
Status CheckArray(const CountedArray<T>& list, int64_t index, const Body& body,
                  std::string_view field) {
  if (list.count < 0 || (list.count != 0 && list.items == nullptr)) {
    return Refuse("body", index, body.name, field, refusal::kBrokenArray,
                  "its count does not match its items");
  }
  return {};
}

template <typename T>
Status CheckFloats(const CountedArray<T>& list, int64_t index, const Body& body,
                   std::string_view field) {
  for (int32_t k = 0; k < list.count; ++k) {
    const int at = NanAt(list.items[k]);
    if (at >= 0) {
      return Refuse("body", index, body.name, field, refusal::kNotANumber,
                    "element " + std::to_string(k) + ", component " + std::to_string(at) +
                        " is NaN, which no decimal reads as");
    }
  }
  return {};
}

Status CheckFaceParts(const FacePartSet& set, int64_t index, const Body& body) {
  if (set.reserved != 0) {
    return Refuse("body", index, body.name, "faceParts.reserved", refusal::kNoKeyword,
                  "it holds a value other than its default, and no keyword of the file sets it");
  }
  const bool named = !set.firstName.empty() || !set.secondName.empty();
  if (set.indices.items == nullptr) {
    if (!named) return {};
    return Refuse("body", index, body.name, "faceParts", refusal::kFacePartsCutShort,
                  "names without an index list, which a face-part section always has");
  }
  // The header's third and fifth tokens are the names; only the end of the data leaves one empty.
  if (set.firstName.empty() || set.secondName.empty()) {
    return Refuse("body", index, body.name,
                  set.firstName.empty() ? "faceParts.firstName" : "faceParts.secondName",
                  refusal::kFacePartsCutShort, "the file ended inside the section's header");
  }
  if (!IsOneToken(set.firstName) || !IsOneToken(set.secondName)) {
    return Refuse("body", index, body.name,
                  IsOneToken(set.firstName) ? "faceParts.secondName" : "faceParts.firstName",
                  refusal::kNotOneToken, "whitespace would split it");
  }
  return CheckArray(set.indices, index, body, "faceParts.indices");
}

Status CheckBody(const Body& body, int64_t index, bool last) {
  if (Unreached(body)) {
    // A file that ends right after "body" counts one body more than it fills: the last one.
    if (last) return {};
    return Refuse("body", index, body.name, "name", refusal::kUnreached,
                  "only the last body can be one that the file ends before filling");
  }
  if (body.name.empty()) {
    return Refuse("body", index, body.name, "name", refusal::kEmptyBodyName,
                  "a body's name is the token after \"body\", which is never empty");
  }
  if (!IsOneToken(body.name)) {
    return Refuse("body", index, body.name, "name", refusal::kNotOneToken,
                  "whitespace would split it");
  }
  // In turn: the counts are trusted only once they match their items.
  const std::function<Status()> checks[] = {
      [&] { return CheckArray(body.vertices, index, body, "vertices"); },
      [&] { return CheckArray(body.normals, index, body, "normals"); },
      [&] { return CheckArray(body.uvs, index, body, "uvs"); },
      [&] { return CheckArray(body.faces, index, body, "faces"); },
      [&] { return CheckFloats(body.vertices, index, body, "vertices"); },
      [&] { return CheckFloats(body.normals, index, body, "normals"); },
      [&] { return CheckFloats(body.uvs, index, body, "uvs"); },
      [&] { return CheckFaceParts(body.faceParts, index, body); },
  };
  for (const auto& check : checks) {
    Status status = check();
    if (!status.ok()) return status;
  }
  return {};
}

//   v -1 1 -1, 0 0 1     token, three floats (the third leaves its ","), four tokens
void WriteVertex(TextOut& out, const Vector3& v) {
  out << "    v ";
  WriteValue(out, v);
  out << ", 0 0 1\n";
}

//   0 0 -1, 0 0 1        three floats, four tokens
void WriteNormal(TextOut& out, const Vector3& v) {
  out << "    ";
  WriteValue(out, v);
  out << ", 0 0 1\n";
}

//   uv (0.5 v1) 0 0 1    token, "(", float, "v", float (leaving ")"), four tokens
void WriteUv(TextOut& out, const Vector2& uv) {
  out << "    uv (";
  out.Float(uv.u);
  out << " v";
  out.Float(uv.v);
  out << ") 0 0 1\n";
}

// " 0, 3, 2)": each integer carries the tail its token read takes.
void WriteTriple(TextOut& out, const int32_t (&triple)[3]) {
  out << " ";
  out.Int(triple[0]);
  out << ", ";
  out.Int(triple[1]);
  out << ", ";
  out.Int(triple[2]);
  out << ')';
}

//   tri ( 0, 3, 2) normal-index smooth group 0 ( 0, 0, 0) uv ( 0, 1, 2)    18 tokens
void WriteFace(TextOut& out, const Face& face) {
  out << "    tri (";
  WriteTriple(out, face.triple1);
  out << " normal-index smooth group 0 (";
  WriteTriple(out, face.triple2);
  out << " uv (";
  WriteTriple(out, face.triple3);
  out << '\n';
}

template <typename T, typename WriteEntry>
void WriteList(TextOut& out, std::string_view keyword, const CountedArray<T>& list,
               WriteEntry writeEntry) {
  if (list.items == nullptr) return;
  out << "  " << keyword << " <\n";
  for (const T& entry : list) {
    writeEntry(out, entry);
    out.Spill();
  }
  out << "  >\n";
}

//   face-parts[] < 2 "base" - "apex" 2 : 0, 1, >) end
// A long list goes on lines of its own, sixteen indices to a line.
void WriteFaceParts(TextOut& out, const FacePartSet& set) {
  if (set.indices.items == nullptr) return;
  constexpr int32_t kPerLine = 16;
  const bool oneLine = set.indices.count <= kPerLine;
  out << "  face-parts[] < ";
  out.Int(set.indices.count);
  out << ' ' << set.firstName << " - " << set.secondName << ' ';
  out.Int(set.indices.count);
  out << " :";
  for (int32_t k = 0; k < set.indices.count; ++k) {
    out << (oneLine || k % kPerLine != 0 ? " " : "\n    ");
    out.Int(set.indices.items[k]);
    out << ',';
    out.Spill();
  }
  out << (oneLine ? " >) end\n" : "\n  >) end\n");
}

// The sections in the order a person writes them: the per-vertex lists, the faces that index
// them, then the face parts, which index the faces.
void WriteSections(TextOut& out, const Body& body) {
  for (const Field<Body>& row : kBodyFields) {
    if (row.name == "vertices") WriteList(out, row.keyword, body.vertices, WriteVertex);
    if (row.name == "normals") WriteList(out, row.keyword, body.normals, WriteNormal);
    if (row.name == "uvs") WriteList(out, row.keyword, body.uvs, WriteUv);
    if (row.name == "faces") WriteList(out, row.keyword, body.faces, WriteFace);
  }
  WriteFaceParts(out, body.faceParts);
}

}  // namespace

Status CheckObjects(const CountedArray<Body>& objects) {
  // Any object file, an empty one included, loads as a body array.
  if (objects.items == nullptr) {
    return Refuse("objects", 0, {}, "count", refusal::kBrokenArray,
                  "no body array, which no object file loads as");
  }
  for (int32_t i = 0; i < objects.count; ++i) {
    Status status = CheckBody(objects.items[i], i, i + 1 == objects.count);
    if (!status.ok()) return status;
  }
  return {};
}

// gobject-file 1
// body "cube" (
//   vertices[] <
//     v -1 -1 -1, 0 0 1
//   >
//   ...
// )
void WriteObjects(const CountedArray<Body>& objects, TextOut& out) {
  out << "gobject-file 1\n";
  for (const Body& body : objects) {
    if (Unreached(body)) {
      // The check let it through only as the last body: the file ends before its name.
      out << "body\n";
      continue;
    }
    out << "body " << body.name << " (\n";
    WriteSections(out, body);
    out << ")\n";
    out.Spill();
  }
}

}  // namespace sceneio
