// glTF 2.0 in: tinygltf reads the document (JSON, base64, the .glb container); this file maps
// what it found onto a Scene, checking every index and length first, since the document is
// untrusted and the library checks few of them.
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "import/import_support.h"
#include "sceneio/import.h"

namespace sceneio {
namespace {

using import::Quoted;
using import::Shown;

// Column-major 4x4, as glTF stores node matrices.
using Matrix = std::array<double, 16>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A viewer with an infinite far plane has none to give: the yon is set this many times the
// hither, far enough that no ordinary scene is clipped and the depth range stays usable.
constexpr double kYonPerHither = 100000;

// Every element the import makes (a float of a position, an index of a face) counts against
// this many per input byte, plus a fixed allowance: instancing and accessors without a buffer
// can multiply a small document, and memory must stay in proportion to the input.
constexpr uint64_t kElementsPerInputByte = 32;
constexpr uint64_t kElementAllowance = uint64_t{16} << 20;

// Extensions the import reads.
constexpr std::string_view kReadExtensions[] = {"KHR_lights_punctual", "KHR_materials_specular",
                                                "KHR_mesh_quantization"};

// Extensions a document may require whose absence changes only how a surface is shaded: the
// import goes on without them (and says so). Any other required extension (compressed or
// instanced geometry) would leave bodies wrong or missing, so the document is refused.
constexpr std::string_view kShadingExtensionPrefixes[] = {"KHR_materials_", "KHR_texture_",
                                                          "EXT_texture_"};

// A URI's %XX escapes decoded, as tinygltf decodes them to find the file.
std::string DecodedUri(const std::string& uri) {
  std::string out;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += uri[i];
    }
  }
  return out;
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix out{};
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
      out[col * 4 + row] = sum;
    }
  }
  return out;
}

// What the fs callbacks and the image callback share with the import while tinygltf runs.
struct LoadContext {
  const import::InputFolder* folder = nullptr;
  const tinygltf::Model* model = nullptr;  // the model being filled, for the image callback
  std::string refusal;                     // the first file or image refused, and why
  std::string unreadable;  // the first file inside the folder that could not be read
  std::unordered_map<std::string, std::vector<unsigned char>> files;  // read by FileExists
};

bool FileExists(const std::string& name, void* user) {
  auto& context = *static_cast<LoadContext*>(user);
  if (context.files.count(name) != 0) return true;
  std::vector<unsigned char> bytes;
  std::string why;
  switch (context.folder->Read(name, bytes, why)) {
    case import::ReadResult::kRead:
      break;
    case import::ReadResult::kRefused:
      // tinygltf asks again with "./" in front; the first answer is the one to report.
      if (context.refusal.empty()) context.refusal = "file " + Shown(name) + " " + why;
      return false;
    case import::ReadResult::kUnreadable:
      if (context.unreadable.empty()) context.unreadable = "file " + Shown(name) + " " + why;
      return false;
  }
  context.files.emplace(name, std::move(bytes));
  return true;
}

std::string ExpandFilePath(const std::string& name, void* /*user*/) {
  return name;
}

bool ReadWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& name,
                   void* user) {
  auto& context = *static_cast<LoadContext*>(user);
  const auto found = context.files.find(name);
  if (found == context.files.end() && !FileExists(name, user)) {
    if (err != nullptr) *err = context.refusal.empty() ? context.unreadable : context.refusal;
    return false;
  }
  auto read = context.files.find(name);
  *out = std::move(read->second);
  context.files.erase(read);
  return true;
}

bool WriteWholeFile(std::string* err, const std::string& /*name*/,
                    const std::vector<unsigned char>& /*bytes*/, void* /*user*/) {
  if (err != nullptr) *err = "the importer writes no file";
  return false;
}

// Keeps the encoded bytes and reads only the header: no pixel is decoded. An image that is
// neither PNG nor JPEG is kept out (width 0) and a material using it gets no texture.
bool ProbeImageData(tinygltf::Image* image, const int index, std::string* err,
                    std::string* /*warn*/, int /*reqWidth*/, int /*reqHeight*/,
                    const unsigned char* bytes, int size, void* user) {
  auto& context = *static_cast<LoadContext*>(user);
  if (image->bufferView >= 0) {
    // tinygltf hands over the view's bytes without checking that the buffer holds them.
    const tinygltf::BufferView& view =
        context.model->bufferViews[static_cast<size_t>(image->bufferView)];
    const tinygltf::Buffer& buffer = context.model->buffers[static_cast<size_t>(view.buffer)];
    if (view.byteOffset > buffer.data.size() ||
        view.byteLength > buffer.data.size() - view.byteOffset ||
        view.byteLength > static_cast<size_t>(std::numeric_limits<int>::max())) {
      context.refusal = "image " + std::to_string(index) + ": buffer view " +
                        std::to_string(image->bufferView) + " runs past the end of its buffer";
      if (err != nullptr) *err += context.refusal;
      return false;
    }
  }
  image->width = 0;
  image->height = 0;
  image->image.clear();
  if (size <= 0 || import::KindOf(bytes, static_cast<size_t>(size)) == import::ImageKind::kOther) {
    return true;
  }
  import::ImageInfo info;
  std::string why;
  if (!import::ProbeImage(bytes, static_cast<size_t>(size), info, why)) {
    context.refusal = "image " + std::to_string(index) + ": " + why;
    if (err != nullptr) *err += context.refusal;
    return false;
  }
  image->width = info.width;
  image->height = info.height;
  image->component = info.channels;
  image->bits = info.bitsPerChannel;
  image->mimeType = std::strcmp(info.extension, ".png") == 0 ? "image/png" : "image/jpeg";
  image->image.assign(bytes, bytes + size);
  return true;
}

size_t ComponentSize(int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
      return 4;
    default:
      return 0;
  }
}

// One component of type C as glTF reads it: normalised integers scaled into [-1, 1] or
// [0, 1]; wider integers and floats as they are.
template <typename C, typename Out>
Out Converted(const unsigned char* at, bool normalized) {
  C c;
  std::memcpy(&c, at, sizeof c);
  if constexpr (std::is_same_v<C, int8_t>) {
    return normalized ? static_cast<Out>(std::max(c / 127.0f, -1.0f)) : static_cast<Out>(c);
  } else if constexpr (std::is_same_v<C, uint8_t>) {
    return normalized ? static_cast<Out>(c / 255.0f) : static_cast<Out>(c);
  } else if constexpr (std::is_same_v<C, int16_t>) {
    return normalized ? static_cast<Out>(std::max(c / 32767.0f, -1.0f)) : static_cast<Out>(c);
  } else if constexpr (std::is_same_v<C, uint16_t>) {
    return normalized ? static_cast<Out>(c / 65535.0f) : static_cast<Out>(c);
  } else {
    return static_cast<Out>(c);
  }
}

// Calls `use` with the C++ type of a component type (as std::type_identity), once, so that
// loops over many elements are made for each type rather than switching on every value.
template <typename Use>
decltype(auto) WithComponentType(int type, Use&& use) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
      return use(std::type_identity<int8_t>{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return use(std::type_identity<uint8_t>{});
    case TINYGLTF_COMPONENT_TYPE_SHORT:
      return use(std::type_identity<int16_t>{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return use(std::type_identity<uint16_t>{});
    case TINYGLTF_COMPONENT_TYPE_INT:
      return use(std::type_identity<int32_t>{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
      return use(std::type_identity<uint32_t>{});
    default:
      return use(std::type_identity<float>{});
  }
}

template <typename Out>
Out ReadComponent(const unsigned char* at, int type, bool normalized) {
  return WithComponentType(
      type, [&](auto tag) { return Converted<typename decltype(tag)::type, Out>(at, normalized); });
}

const char* ModeName(int mode) {
  switch (mode) {
    case TINYGLTF_MODE_LINE:
      return "LINES";
    case TINYGLTF_MODE_LINE_LOOP:
      return "LINE_LOOP";
    case TINYGLTF_MODE_LINE_STRIP:
      return "LINE_STRIP";
    default:
      return "an unknown mode";
  }
}

bool Finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

class GltfImport {
 public:
  GltfImport(const tinygltf::Model& model, uint64_t inputBytes, ImportedScene& out, Status& status)
      : model_(model),
        out_(out),
        status_(status),
        budget_(kElementAllowance + inputBytes * kElementsPerInputByte) {}

  bool Run() {
    if (!CheckExtensions()) return false;
    if (!MapMaterials()) return false;
    std::vector<int> roots;
    if (!Roots(roots)) return false;
    if (!Walk(roots)) return false;
    import::WarnBodyCount(bodies_.size(), status_);
    if (!import::StoreBodies(bodies_, out_.scene)) return Fail("out of memory for the bodies");
    return StoreLights() && StoreCamera();
  }

 private:
  // --- failure ---------------------------------------------------------------------------

  bool Fail(std::string why) {
    status_.Fail(StatusCode::kInvalidInput, std::move(why));
    return false;
  }

  bool Spend(uint64_t elements, const std::string& what) {
    if (elements <= budget_) {
      budget_ -= elements;
      return true;
    }
    return Fail(what + " would make " + std::to_string(elements) +
                " more values than a document of this size may (instances and accessors "
                "without a buffer are limited in proportion to the input)");
  }

  // --- extensions ------------------------------------------------------------------------

  bool CheckExtensions() {
    const auto listed = [](const auto& list, const std::string& name) {
      return std::find(std::begin(list), std::end(list), name) != std::end(list);
    };
    for (const std::string& name : model_.extensionsRequired) {
      if (listed(kReadExtensions, name)) continue;
      const bool shading =
          std::any_of(std::begin(kShadingExtensionPrefixes), std::end(kShadingExtensionPrefixes),
                      [&](std::string_view prefix) { return name.starts_with(prefix); });
      if (!shading) {
        return Fail("the document requires extension " + Shown(name) +
                    ", which this reader does not read: its bodies would come in wrong or not "
                    "at all");
      }
    }
    std::string unread;
    for (const std::string& name : model_.extensionsUsed) {
      if (!listed(kReadExtensions, name)) unread += (unread.empty() ? "" : ", ") + Shown(name);
    }
    if (!unread.empty()) {
      status_.warnings.push_back("extensions left out (what they add is not imported): " + unread);
    }
    return true;
  }

  // --- accessors -------------------------------------------------------------------------

  struct Layout {
    const unsigned char* base = nullptr;  // null: every element is zero
    size_t stride = 0;
  };

  std::string AccessorName(int index) const { return "accessor " + std::to_string(index); }

  // Where a view of `count` elements of `elementSize` bytes, `offset` into view `viewIndex`,
  // lies; false (with a message) when any of it lies outside the view or its buffer.
  bool ViewLayout(int viewIndex, size_t offset, size_t count, size_t elementSize, bool strided,
                  const std::string& what, Layout& layout) {
    if (viewIndex < 0 || static_cast<size_t>(viewIndex) >= model_.bufferViews.size()) {
      return Fail(what + ": buffer view " + std::to_string(viewIndex) + " does not exist");
    }
    const tinygltf::BufferView& view = model_.bufferViews[static_cast<size_t>(viewIndex)];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model_.buffers.size()) {
      return Fail(what + ": buffer " + std::to_string(view.buffer) + " does not exist");
    }
    const std::vector<unsigned char>& data = model_.buffers[static_cast<size_t>(view.buffer)].data;
    if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset) {
      return Fail(what + ": buffer view " + std::to_string(viewIndex) + " (" +
                  std::to_string(view.byteLength) + " bytes at " + std::to_string(view.byteOffset) +
                  ") runs past the end of buffer " + std::to_string(view.buffer) + " (" +
                  std::to_string(data.size()) + " bytes)");
    }
    const size_t stride = strided && view.byteStride != 0 ? view.byteStride : elementSize;
    if (stride < elementSize) {
      return Fail(what + ": byte stride " + std::to_string(stride) +
                  " is shorter than an element (" + std::to_string(elementSize) + " bytes)");
    }
    // offset + stride * (count - 1) + elementSize <= byteLength, without overflow.
    const size_t length = view.byteLength;
    const bool fits = count == 0 || (offset <= length && elementSize <= length - offset &&
                                     (count - 1) <= (length - offset - elementSize) / stride);
    if (!fits) {
      return Fail(what + ": " + std::to_string(count) + " elements of " +
                  std::to_string(elementSize) + " bytes (stride " + std::to_string(stride) +
                  ", offset " + std::to_string(offset) + ") do not fit in buffer view " +
                  std::to_string(viewIndex) + " of " + std::to_string(length) + " bytes");
    }
    layout.base = data.data() + view.byteOffset + offset;
    layout.stride = stride;
    return true;
  }

  // An accessor checked against its view and buffer, ready to be read element by element.
  struct AccessorRead {
    const tinygltf::Accessor* accessor = nullptr;
    std::string name;  // for messages: what it is and which accessor
    size_t componentSize = 0;
    size_t components = 0;
    size_t count = 0;
    Layout layout;  // base null: every element is zero before the sparse values
  };

  // Checks accessor `index` for `components` values per element of `type`: that it exists,
  // its type, that every element lies inside its view and buffer, and that a scratch copy of
  // it would fit the budget. Nothing is read yet.
  bool OpenAccessor(int index, int type, const std::string& what, AccessorRead& read) {
    if (index < 0 || static_cast<size_t>(index) >= model_.accessors.size()) {
      return Fail(what + ": accessor " + std::to_string(index) + " does not exist");
    }
    const tinygltf::Accessor& accessor = model_.accessors[static_cast<size_t>(index)];
    read.accessor = &accessor;
    read.name = what + " (" + AccessorName(index) + ")";
    if (accessor.type != type) {
      return Fail(read.name + ": type " + std::to_string(accessor.type) + " where " +
                  std::to_string(type) + " is needed");
    }
    read.componentSize = ComponentSize(accessor.componentType);
    if (read.componentSize == 0) {
      return Fail(read.name + ": unknown component type " + std::to_string(accessor.componentType));
    }
    read.components = type == TINYGLTF_TYPE_SCALAR ? 1 : static_cast<size_t>(type);
    read.count = accessor.count;
    if (accessor.bufferView >= 0) {
      if (!ViewLayout(accessor.bufferView, accessor.byteOffset, read.count,
                      read.componentSize * read.components, true, read.name, read.layout)) {
        return false;
      }
    } else if (!accessor.sparse.isSparse) {
      return Fail(read.name + ": has neither a buffer view nor sparse values");
    }
    // A view bounds the count by the bytes behind it; without one only the budget does.
    if (read.count > std::numeric_limits<size_t>::max() / read.components) {
      return Fail(read.name + ": claims too many elements");
    }
    if (!Spend(read.count * read.components, read.name)) return false;
    budget_ += read.count * read.components;  // checked only: what is kept is spent later
    return true;
  }

  // Hands every element of `read` to `put(i, values)` as N values, in order, zero where the
  // accessor has no view; sparse substitutions are not applied here.
  template <typename Out, size_t N, typename Put>
  static void ForEachElement(const AccessorRead& read, Put&& put) {
    if (read.layout.base == nullptr) {
      const std::array<Out, N> zero{};
      for (size_t i = 0; i < read.count; ++i) put(i, zero);
      return;
    }
    WithComponentType(read.accessor->componentType, [&](auto tag) {
      using C = typename decltype(tag)::type;
      const unsigned char* const base = read.layout.base;
      const size_t stride = read.layout.stride;
      const bool normalized = read.accessor->normalized;
      for (size_t i = 0; i < read.count; ++i) {
        const unsigned char* element = base + i * stride;
        std::array<Out, N> value;
        for (size_t c = 0; c < N; ++c) {
          value[c] = Converted<C, Out>(element + c * sizeof(C), normalized);
        }
        put(i, value);
      }
    });
  }

  // Hands each sparse substitution of `read` to `put(target, values)`, every index checked
  // first against the accessor's elements. With nothing to substitute into, still checks.
  template <typename Out, size_t N, typename Put>
  bool ApplySparse(const AccessorRead& read, Put&& put) {
    const tinygltf::Accessor& accessor = *read.accessor;
    if (!accessor.sparse.isSparse) return true;
    const auto& sparse = accessor.sparse;
    const std::string& name = read.name;
    if (sparse.count < 0 || static_cast<size_t>(sparse.count) > accessor.count) {
      return Fail(name + ": sparse count " + std::to_string(sparse.count) +
                  " is more than the accessor's " + std::to_string(accessor.count) + " elements");
    }
    const auto count = static_cast<size_t>(sparse.count);
    const size_t indexSize = ComponentSize(sparse.indices.componentType);
    if (indexSize == 0 || sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ||
        sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_BYTE ||
        sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_SHORT) {
      return Fail(name + ": sparse indices of component type " +
                  std::to_string(sparse.indices.componentType));
    }
    Layout indices;
    Layout substitutes;
    if (sparse.indices.byteOffset < 0 || sparse.values.byteOffset < 0 ||
        !ViewLayout(sparse.indices.bufferView, static_cast<size_t>(sparse.indices.byteOffset),
                    count, indexSize, false, name + " sparse indices", indices) ||
        !ViewLayout(sparse.values.bufferView, static_cast<size_t>(sparse.values.byteOffset), count,
                    read.componentSize * N, false, name + " sparse values", substitutes)) {
      return status_.ok() ? Fail(name + ": negative sparse offset") : false;
    }
    for (size_t i = 0; i < count; ++i) {
      const auto target = ReadComponent<uint32_t>(indices.base + i * indexSize,
                                                  sparse.indices.componentType, false);
      if (target >= accessor.count) {
        return Fail(name + ": sparse index " + std::to_string(target) + " is outside its " +
                    std::to_string(accessor.count) + " elements");
      }
      const unsigned char* element = substitutes.base + i * substitutes.stride;
      std::array<Out, N> value;
      for (size_t c = 0; c < N; ++c) {
        value[c] = ReadComponent<Out>(element + c * read.componentSize, accessor.componentType,
                                      accessor.normalized);
      }
      put(target, value);
    }
    return true;
  }

  // Reads a whole VEC2 or VEC3 accessor straight into `array`, sparse values applied: no
  // scratch copy. An empty accessor leaves the array absent, as a missing one does.
  template <typename T, size_t N>
  bool ReadInto(const AccessorRead& read, CountedArray<T>& array) {
    if (read.count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      return Fail(read.name + ": more than 2^31 elements");
    }
    if (read.count == 0) return ApplySparse<float, N>(read, [](size_t, const auto&) {});
    if (!array.Allocate(static_cast<int32_t>(read.count))) throw std::bad_alloc();
    T* const items = array.items.get();
    const auto put = [items](size_t i, const std::array<float, N>& v) {
      if constexpr (N == 3) {
        items[i] = {v[0], v[1], v[2]};
      } else {
        items[i] = {v[0], v[1]};
      }
    };
    ForEachElement<float, N>(read, put);
    return ApplySparse<float, N>(read, put);
  }

  // --- materials and images --------------------------------------------------------------

  bool MapMaterials() {
    if (!out_.scene.materials.Allocate(static_cast<int32_t>(model_.materials.size()))) {
      return Fail("out of memory for the materials");
    }
    for (size_t i = 0; i < model_.materials.size(); ++i) {
      const tinygltf::Material& source = model_.materials[i];
      Material& material = out_.scene.materials.items[i];
      material.name = Quoted(
          materialNames_.Take(source.name, "material" + std::to_string(i), "material", status_));
      const std::vector<double>& base = source.pbrMetallicRoughness.baseColorFactor;
      if (base.size() == 4) {
        material.diffuse = {static_cast<float>(base[0]), static_cast<float>(base[1]),
                            static_cast<float>(base[2])};
        material.opacity = source.alphaMode == "BLEND" ? static_cast<float>(base[3]) : 1.0f;
      } else {
        material.diffuse = {1, 1, 1};
        material.opacity = 1;
      }
      material.shininess = ShininessOf(source.pbrMetallicRoughness.roughnessFactor);
      if (source.emissiveFactor.size() == 3) {
        material.extraColor1 = {static_cast<float>(source.emissiveFactor[0]),
                                static_cast<float>(source.emissiveFactor[1]),
                                static_cast<float>(source.emissiveFactor[2])};
      }
      MapSpecular(source, material);
      if (!MapTexture(source, material)) return false;
    }
    return true;
  }

  // The inverse of the export's roughness = sqrt(2 / (shininess + 2)). Roughness 0 would be
  // an infinite exponent: it is taken as 0.01, a mirror for every practical purpose.
  static float ShininessOf(double roughness) {
    if (!(roughness >= 0.01)) roughness = 0.01;
    if (roughness > 1) roughness = 1;
    return static_cast<float>(2 / (roughness * roughness) - 2);
  }

  static void MapSpecular(const tinygltf::Material& source, Material& material) {
    const auto found = source.extensions.find("KHR_materials_specular");
    if (found == source.extensions.end()) return;
    const tinygltf::Value& specular = found->second;
    double strength = 1;
    if (specular.Has("specularFactor") && specular.Get("specularFactor").IsNumber()) {
      strength = specular.Get("specularFactor").GetNumberAsDouble();
    }
    std::array<double, 3> color = {1, 1, 1};
    if (specular.Has("specularColorFactor")) {
      const tinygltf::Value& factor = specular.Get("specularColorFactor");
      if (factor.IsArray() && factor.ArrayLen() == 3) {
        for (int c = 0; c < 3; ++c) {
          if (factor.Get(c).IsNumber()) color[c] = factor.Get(c).GetNumberAsDouble();
        }
      }
    }
    material.specular = {static_cast<float>(color[0] * strength),
                         static_cast<float>(color[1] * strength),
                         static_cast<float>(color[2] * strength)};
  }

  bool MapTexture(const tinygltf::Material& source, Material& material) {
    const tinygltf::TextureInfo& info = source.pbrMetallicRoughness.baseColorTexture;
    if (info.index < 0) return true;
    const std::string where =
        "material " + material.name + ": base colour texture " + std::to_string(info.index);
    if (static_cast<size_t>(info.index) >= model_.textures.size()) {
      return Fail(where + " does not exist");
    }
    const int source_image = model_.textures[static_cast<size_t>(info.index)].source;
    if (source_image < 0 || static_cast<size_t>(source_image) >= model_.images.size()) {
      status_.warnings.push_back(where + " left out: it names no image this reader can use");
      return true;
    }
    const tinygltf::Image& image = model_.images[static_cast<size_t>(source_image)];
    if (image.image.empty()) {
      status_.warnings.push_back(where + " left out: image " + std::to_string(source_image) +
                                 " is not a PNG or JPEG that could be read");
      return true;
    }
    if (info.texCoord != 0) {
      status_.warnings.push_back(where + " uses texture coordinates " +
                                 std::to_string(info.texCoord) +
                                 "; only the first set is imported");
    }
    const std::string& fileName = ImageFile(static_cast<size_t>(source_image));
    material.textureName = Quoted(fileName);
    material.textureWidth = image.width;
    material.textureHeight = image.height;
    material.textureChannels = image.component;
    material.textureBitsPerChannel = image.bits;
    return true;
  }

  // The file name image `index` is written under beside the output; the image joins the
  // scene's images the first time a material uses it.
  const std::string& ImageFile(size_t index) {
    const auto known = imageFiles_.find(index);
    if (known != imageFiles_.end()) return known->second;
    const tinygltf::Image& image = model_.images[index];
    std::string raw = image.name;
    if (raw.empty() && !image.uri.empty() && !tinygltf::IsDataURI(image.uri)) {
      raw = DecodedUri(image.uri);
    }
    const char* extension = image.mimeType == "image/png" ? ".png" : ".jpg";
    std::string fileName =
        imageNames_.TakeFileName(raw, "image" + std::to_string(index), extension, status_);
    out_.images.push_back({fileName, image.image});
    return imageFiles_.emplace(index, std::move(fileName)).first->second;
  }

  // --- nodes ----------------------------------------------------------------------------

  bool Roots(std::vector<int>& roots) {
    int scene = model_.defaultScene;
    if (scene < 0 && !model_.scenes.empty()) scene = 0;
    if (scene >= 0) {
      if (static_cast<size_t>(scene) >= model_.scenes.size()) {
        return Fail("scene " + std::to_string(scene) + " does not exist");
      }
      roots = model_.scenes[static_cast<size_t>(scene)].nodes;
      return true;
    }
    // No scene at all: every node that is nobody's child stands at the top.
    std::vector<bool> isChild(model_.nodes.size(), false);
    for (const tinygltf::Node& node : model_.nodes) {
      for (int child : node.children) {
        if (child >= 0 && static_cast<size_t>(child) < isChild.size()) isChild[child] = true;
      }
    }
    for (size_t i = 0; i < isChild.size(); ++i) {
      if (!isChild[i]) roots.push_back(static_cast<int>(i));
    }
    return true;
  }

  bool LocalMatrix(const tinygltf::Node& node, size_t index, Matrix& local) {
    const std::string where = "node " + std::to_string(index);
    if (!node.matrix.empty()) {
      if (node.matrix.size() != 16) return Fail(where + ": matrix has not 16 values");
      std::copy(node.matrix.begin(), node.matrix.end(), local.begin());
      return true;
    }
    local = kIdentity;
    std::array<double, 3> t = {0, 0, 0};
    std::array<double, 4> r = {0, 0, 0, 1};
    std::array<double, 3> s = {1, 1, 1};
    if (!node.translation.empty()) {
      if (node.translation.size() != 3) return Fail(where + ": translation has not 3 values");
      std::copy(node.translation.begin(), node.translation.end(), t.begin());
    }
    if (!node.rotation.empty()) {
      if (node.rotation.size() != 4) return Fail(where + ": rotation has not 4 values");
      std::copy(node.rotation.begin(), node.rotation.end(), r.begin());
    }
    if (!node.scale.empty()) {
      if (node.scale.size() != 3) return Fail(where + ": scale has not 3 values");
      std::copy(node.scale.begin(), node.scale.end(), s.begin());
    }
    const double x = r[0], y = r[1], z = r[2], w = r[3];
    const std::array<double, 9> rot = {
        1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
        2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
        2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    for (int col = 0; col < 3; ++col) {
      for (int row = 0; row < 3; ++row) local[col * 4 + row] = rot[col * 3 + row] * s[col];
    }
    local[12] = t[0];
    local[13] = t[1];
    local[14] = t[2];
    for (double v : local) {
      if (!std::isfinite(v)) return Fail(where + ": transform is not finite");
    }
    return true;
  }

  // Depth first in the order the document lists children, so bodies follow node order. A
  // node met twice would be drawn twice, or forever in a cycle: both are refused.
  bool Walk(const std::vector<int>& roots) {
    enum : uint8_t { kUnseen, kOpen, kDone };
    std::vector<uint8_t> state(model_.nodes.size(), kUnseen);
    struct Step {
      int node;
      bool leave;
      Matrix parent;
    };
    std::vector<Step> stack;
    for (auto root = roots.rbegin(); root != roots.rend(); ++root) {
      stack.push_back({*root, false, kIdentity});
    }
    while (!stack.empty()) {
      const Step step = stack.back();
      stack.pop_back();
      if (step.leave) {
        state[static_cast<size_t>(step.node)] = kDone;
        continue;
      }
      if (step.node < 0 || static_cast<size_t>(step.node) >= model_.nodes.size()) {
        return Fail("node " + std::to_string(step.node) + " does not exist");
      }
      const auto index = static_cast<size_t>(step.node);
      if (state[index] == kOpen) {
        return Fail("node " + std::to_string(index) +
                    " is its own ancestor: the node "
                    "hierarchy has a cycle");
      }
      if (state[index] == kDone) {
        return Fail("node " + std::to_string(index) +
                    " is reached twice from the scene: a node has at most one parent");
      }
      state[index] = kOpen;
      const tinygltf::Node& node = model_.nodes[index];
      Matrix local;
      if (!LocalMatrix(node, index, local)) return false;
      const Matrix world =
          step.node >= 0 && step.parent == kIdentity ? local : Multiply(step.parent, local);
      if (!VisitNode(node, index, world)) return false;
      stack.push_back({step.node, true, {}});
      for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
        stack.push_back({*child, false, world});
      }
    }
    return true;
  }

  bool VisitNode(const tinygltf::Node& node, size_t index, const Matrix& world) {
    if (node.mesh >= 0 && node.skin >= 0) {
      // A skinned mesh is placed by its joints alone, never by its node; without the joints
      // it stands in the pose it was modelled in.
      status_.warnings.push_back("node " + std::to_string(index) + ": skin " +
                                 std::to_string(node.skin) +
                                 " left out: the mesh is taken in its bind pose");
      if (!AddMesh(node, index, kIdentity)) return false;
    } else if (node.mesh >= 0 && !AddMesh(node, index, world)) {
      return false;
    }
    NoteLight(node, index, world);
    NoteCamera(node, index, world);
    return true;
  }

  // --- meshes ----------------------------------------------------------------------------

  bool AddMesh(const tinygltf::Node& node, size_t nodeIndex, const Matrix& world) {
    if (static_cast<size_t>(node.mesh) >= model_.meshes.size()) {
      return Fail("node " + std::to_string(nodeIndex) + ": mesh " + std::to_string(node.mesh) +
                  " does not exist");
    }
    const tinygltf::Mesh& mesh = model_.meshes[static_cast<size_t>(node.mesh)];
    std::string base = !node.name.empty() ? node.name : mesh.name;
    if (base.empty()) base = "node" + std::to_string(nodeIndex);
    size_t kept = 0;
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
      if (primitive.mode != TINYGLTF_MODE_POINTS && primitive.mode != TINYGLTF_MODE_TRIANGLES &&
          primitive.mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
          primitive.mode != TINYGLTF_MODE_TRIANGLE_FAN) {
        continue;
      }
      ++kept;
    }
    for (size_t p = 0; p < mesh.primitives.size(); ++p) {
      const tinygltf::Primitive& primitive = mesh.primitives[p];
      const std::string where = "node " + std::to_string(nodeIndex) + ", mesh " +
                                std::to_string(node.mesh) + ", primitive " + std::to_string(p);
      const int mode = primitive.mode;
      if (mode != TINYGLTF_MODE_POINTS && mode != TINYGLTF_MODE_TRIANGLES &&
          mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN) {
        status_.warnings.push_back(where + " left out: " + ModeName(mode) +
                                   " (the format holds triangles and points only)");
        continue;
      }
      const std::string raw = kept > 1 ? base + "_" + std::to_string(p) : base;
      if (!AddPrimitive(primitive, where, raw, world)) return false;
    }
    return true;
  }

  // The vertex indices of a primitive, wherever they are: counted from 0 when it has none,
  // read where they lie in the buffer, or held in a copy when sparse values change them.
  struct PrimitiveIndices {
    enum class Source : uint8_t { kCounted, kInBuffer, kHeld };
    Source source = Source::kCounted;
    size_t count = 0;
    AccessorRead read;           // kInBuffer
    std::vector<uint32_t> held;  // kHeld
  };

  // Calls `use(at)` with `at(k)` giving index k, made once for however the indices are held.
  template <typename Use>
  static decltype(auto) WithIndices(const PrimitiveIndices& indices, Use&& use) {
    switch (indices.source) {
      case PrimitiveIndices::Source::kCounted:
        return use([](size_t k) { return static_cast<uint32_t>(k); });
      case PrimitiveIndices::Source::kHeld:
        return use([held = indices.held.data()](size_t k) { return held[k]; });
      case PrimitiveIndices::Source::kInBuffer:
        break;
    }
    const AccessorRead& read = indices.read;
    return WithComponentType(read.accessor->componentType, [&](auto tag) {
      using C = typename decltype(tag)::type;
      return use([base = read.layout.base, stride = read.layout.stride,
                  normalized = read.accessor->normalized](size_t k) {
        return Converted<C, uint32_t>(base + k * stride, normalized);
      });
    });
  }

  bool ReadIndices(const tinygltf::Primitive& primitive, size_t vertexCount,
                   const std::string& where, PrimitiveIndices& indices) {
    if (primitive.indices < 0) {
      if (vertexCount > std::numeric_limits<uint32_t>::max()) {
        return Fail(where + ": more vertices than 32-bit indices reach");
      }
      indices.count = vertexCount;
      return true;
    }
    AccessorRead& read = indices.read;
    if (!OpenAccessor(primitive.indices, TINYGLTF_TYPE_SCALAR, where + " indices", read)) {
      return false;
    }
    indices.count = read.count;
    indices.source = PrimitiveIndices::Source::kInBuffer;
    if (read.accessor->sparse.isSparse) {
      indices.source = PrimitiveIndices::Source::kHeld;
      indices.held.resize(read.count);
      const auto put = [held = indices.held.data()](size_t i, const std::array<uint32_t, 1>& v) {
        held[i] = v[0];
      };
      ForEachElement<uint32_t, 1>(read, put);
      if (!ApplySparse<uint32_t, 1>(read, put)) return false;
    }
    return WithIndices(indices, [&](auto at) {
      for (size_t i = 0; i < indices.count; ++i) {
        const uint32_t index = at(i);
        if (index >= vertexCount) {
          return Fail(where + ": index " + std::to_string(index) + " (element " +
                      std::to_string(i) + ") is outside its " + std::to_string(vertexCount) +
                      " vertices");
        }
      }
      return true;
    });
  }

  // Every attribute is read straight into the body's arrays, then checked and placed in the
  // world where they lie: no scratch copy of the model is made on the way.
  bool AddPrimitive(const tinygltf::Primitive& primitive, const std::string& where,
                    const std::string& rawName, const Matrix& world) {
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) {
      status_.warnings.push_back(where + " left out: it has no POSITION");
      return true;
    }
    Body body;
    AccessorRead positions;
    if (!OpenAccessor(position->second, TINYGLTF_TYPE_VEC3, where + " POSITION", positions) ||
        !ReadInto<Vector3, 3>(positions, body.vertices)) {
      return false;
    }
    const size_t vertexCount = positions.count;
    PrimitiveIndices indices;
    if (!ReadAttribute<Vector3, 3>(primitive, "NORMAL", TINYGLTF_TYPE_VEC3, vertexCount, where,
                                   body.normals) ||
        !ReadAttribute<Vector2, 2>(primitive, "TEXCOORD_0", TINYGLTF_TYPE_VEC2, vertexCount, where,
                                   body.uvs) ||
        !ReadIndices(primitive, vertexCount, where, indices)) {
      return false;
    }

    body.name = Quoted(bodyNames_.Take(rawName, "body", "body", status_));
    if (primitive.material >= 0) {
      if (static_cast<size_t>(primitive.material) >= model_.materials.size()) {
        return Fail(where + ": material " + std::to_string(primitive.material) + " does not exist");
      }
      out_.bodyMaterials.emplace_back(body.name,
                                      out_.scene.materials.items[primitive.material].name);
    }
    const bool points = primitive.mode == TINYGLTF_MODE_POINTS;
    if (points) {
      // Points are positions alone, those the indices pick in their order (all of them when
      // the indices pick none).
      body.normals = CountedArray<Vector3>();
      body.uvs = CountedArray<Vector2>();
    }
    const bool picked =
        points && indices.source != PrimitiveIndices::Source::kCounted && indices.count > 0;
    const bool placed =
        picked ? WithIndices(
                     indices,
                     [&](auto at) { return PlacePositions(indices.count, at, world, where, body); })
               : PlacePositions(vertexCount, std::identity(), world, where, body);
    if (!placed) return false;
    if (!points && (!PlaceNormals(world, where, body) || !CheckUvs(where, body) ||
                    !WithIndices(indices, [&](auto at) {
                      return Triangles(primitive.mode, indices.count, at, Determinant(world) < 0,
                                       where, body);
                    }))) {
      return false;
    }
    bodies_.push_back(std::move(body));
    return true;
  }

  // A NORMAL or TEXCOORD_0 accessor read into `array`, its count checked against POSITION's.
  template <typename T, size_t N>
  bool ReadAttribute(const tinygltf::Primitive& primitive, const char* name, int type,
                     size_t vertexCount, const std::string& where, CountedArray<T>& array) {
    const auto found = primitive.attributes.find(name);
    if (found == primitive.attributes.end()) return true;
    AccessorRead read;
    if (!OpenAccessor(found->second, type, where + " " + name, read)) return false;
    if (read.count != vertexCount) {
      // Its sparse values are checked first, as reading it whole would have.
      if (!ApplySparse<float, N>(read, [](size_t, const auto&) {})) return false;
      return Fail(where + ": " + name + " has " + std::to_string(read.count) + " elements where " +
                  "POSITION has " + std::to_string(vertexCount));
    }
    return ReadInto<T, N>(read, array);
  }

  static double Determinant(const Matrix& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
  }

  // The body's positions as read, into world space. `from(i)` is the vertex the i-th of
  // `count` positions comes from: with points the indices pick and order them into a new
  // array; otherwise every vertex in turn, placed where it lies.
  template <typename From>
  bool PlacePositions(size_t count, From from, const Matrix& world, const std::string& where,
                      Body& body) {
    const std::string what = where + " POSITION";
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      return Fail(what + ": more than 2^31 elements");
    }
    if (!Spend(count * 3, what)) return false;
    constexpr bool kPicked = !std::is_same_v<From, std::identity>;
    CountedArray<Vector3> picked;
    if (kPicked || body.vertices.items == nullptr) {
      if (!picked.Allocate(static_cast<int32_t>(count))) throw std::bad_alloc();
    }
    const Vector3* const source = body.vertices.items.get();
    Vector3* const out = kPicked ? picked.items.get() : body.vertices.items.get();
    const bool identity = world == kIdentity;
    for (size_t i = 0; i < count; ++i) {
      const Vector3 p = source[from(i)];
      if (!Finite(p)) {
        return Fail(where + ": position " + std::to_string(from(i)) + " is not finite");
      }
      if (identity) {
        // Copied, not multiplied: a negative zero stays one, every bit comes through.
        if constexpr (kPicked) out[i] = p;
        continue;
      }
      double v[3];
      for (int row = 0; row < 3; ++row) {
        v[row] = world[row] * p.x + world[4 + row] * p.y + world[8 + row] * p.z + world[12 + row];
      }
      out[i] = {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
      if (!Finite(out[i])) {
        return Fail(where + ": position " + std::to_string(i) +
                    " is not finite once placed in the world");
      }
    }
    if (picked.items != nullptr) body.vertices = std::move(picked);
    return true;
  }

  // Normals by the inverse transpose of the world matrix, then made unit length again.
  bool PlaceNormals(const Matrix& world, const std::string& where, Body& body) {
    if (body.normals.items == nullptr) return true;
    const auto count = static_cast<size_t>(body.normals.count);
    if (!Spend(count * 3, where + " NORMAL")) return false;
    const bool identity = world == kIdentity;
    // The cofactor matrix of the upper 3x3 is the inverse transpose times the determinant;
    // the renormalisation removes the scale, the determinant's sign is kept (a mirror).
    auto a = [&world](int row, int col) { return world[col * 4 + row]; };
    const std::array<double, 9> c = {
        a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1), a(1, 2) * a(2, 0) - a(1, 0) * a(2, 2),
        a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0), a(0, 2) * a(2, 1) - a(0, 1) * a(2, 2),
        a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0), a(0, 1) * a(2, 0) - a(0, 0) * a(2, 1),
        a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1), a(0, 2) * a(1, 0) - a(0, 0) * a(1, 2),
        a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0)};
    const double sign = Determinant(world) < 0 ? -1 : 1;
    Vector3* const normals = body.normals.items.get();
    for (size_t i = 0; i < count; ++i) {
      const Vector3 n = normals[i];
      if (!Finite(n)) {
        return Fail(where + ": normal " + std::to_string(i) + " is not finite");
      }
      if (identity) continue;
      double v[3];
      for (int r = 0; r < 3; ++r)
        v[r] = sign * (c[r * 3] * n.x + c[r * 3 + 1] * n.y + c[r * 3 + 2] * n.z);
      const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
      if (length > 0 && std::isfinite(length)) {
        for (double& x : v) x /= length;
      }
      normals[i] = {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
    }
    return true;
  }

  bool CheckUvs(const std::string& where, Body& body) {
    if (body.uvs.items == nullptr) return true;
    const auto count = static_cast<size_t>(body.uvs.count);
    if (!Spend(count * 2, where + " TEXCOORD_0")) return false;
    const Vector2* const uvs = body.uvs.items.get();
    for (size_t i = 0; i < count; ++i) {
      if (!std::isfinite(uvs[i].u) || !std::isfinite(uvs[i].v)) {
        return Fail(where + ": uv " + std::to_string(i) + " is not finite");
      }
    }
    return true;
  }

  // Faces as (position, normal, uv) triples over the one glTF vertex index `at(k)` of the
  // `n` indices; strips alternate their winding and fans turn around their first corner, so
  // every triangle keeps the facing the file gave it. A mirroring transform turns them all
  // over: swapped back.
  template <typename At>
  bool Triangles(int mode, size_t n, At at, bool mirrored, const std::string& where, Body& body) {
    size_t count = 0;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
      count = n / 3;
      if (n % 3 != 0) {
        status_.warnings.push_back(where + ": " + std::to_string(n % 3) +
                                   " trailing indices make no triangle and are left out");
      }
    } else {
      count = n >= 3 ? n - 2 : 0;
    }
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      return Fail(where + ": more than 2^31 triangles");
    }
    if (!Spend(count * 9, where + " triangles")) return false;
    if (!body.faces.Allocate(static_cast<int32_t>(count))) throw std::bad_alloc();
    const bool hasNormals = body.normals.count > 0;
    const bool hasUvs = body.uvs.count > 0;
    Face* const faces = body.faces.items.get();
    const auto emit = [&](size_t t, uint32_t a, uint32_t b, uint32_t c) {
      if (mirrored) std::swap(b, c);
      const std::array<int32_t, 3> corner = {static_cast<int32_t>(a), static_cast<int32_t>(b),
                                             static_cast<int32_t>(c)};
      Face& face = faces[t];
      for (int k = 0; k < 3; ++k) {
        face.triple1[k] = corner[k];
        face.triple2[k] = hasNormals ? corner[k] : 0;
        face.triple3[k] = hasUvs ? corner[k] : 0;
      }
    };
    if (mode == TINYGLTF_MODE_TRIANGLES) {
      for (size_t t = 0; t < count; ++t) emit(t, at(t * 3), at(t * 3 + 1), at(t * 3 + 2));
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
      for (size_t t = 0; t < count; ++t) {
        if (t % 2 == 0) {
          emit(t, at(t), at(t + 1), at(t + 2));
        } else {
          emit(t, at(t + 1), at(t), at(t + 2));
        }
      }
    } else {
      for (size_t t = 0; t < count; ++t) emit(t, at(t + 1), at(t + 2), at(0));
    }
    return true;
  }

  // --- lights and camera -----------------------------------------------------------------

  static std::array<double, 3> Axis(const Matrix& world, double x, double y, double z) {
    std::array<double, 3> v;
    for (int row = 0; row < 3; ++row)
      v[row] = world[row] * x + world[4 + row] * y + world[8 + row] * z;
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0 && std::isfinite(length)) {
      for (double& c : v) c /= length;
    }
    return v;
  }

  void NoteLight(const tinygltf::Node& node, size_t index, const Matrix& world) {
    const auto found = node.extensions.find("KHR_lights_punctual");
    if (found == node.extensions.end() || !found->second.Has("light")) return;
    const tinygltf::Value& ref = found->second.Get("light");
    const int light = ref.IsNumber() ? ref.GetNumberAsInt() : -1;
    const std::string where = "node " + std::to_string(index) + ": light " + std::to_string(light);
    if (light < 0 || static_cast<size_t>(light) >= model_.lights.size()) {
      status_.warnings.push_back(where + " left out: it does not exist");
      return;
    }
    const tinygltf::Light& source = model_.lights[static_cast<size_t>(light)];
    if (source.type != "directional") {
      status_.warnings.push_back(where + " left out: a " + source.type +
                                 " light (the format holds directional lights only)");
      return;
    }
    Light out;
    out.name = lightNames_.Take(!source.name.empty() ? source.name : node.name,
                                "light" + std::to_string(lights_.size()), "light", status_);
    out.brightness = static_cast<float>(source.intensity);
    out.rgb = {1, 1, 1};
    if (source.color.size() == 3) {
      out.rgb = {static_cast<float>(source.color[0]), static_cast<float>(source.color[1]),
                 static_cast<float>(source.color[2])};
    }
    const auto d = Axis(world, 0, 0, -1);
    out.direction = {static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2])};
    lights_.push_back(std::move(out));
  }

  void NoteCamera(const tinygltf::Node& node, size_t index, const Matrix& world) {
    if (node.camera < 0) return;
    const std::string where =
        "node " + std::to_string(index) + ": camera " + std::to_string(node.camera);
    if (static_cast<size_t>(node.camera) >= model_.cameras.size()) {
      status_.warnings.push_back(where + " left out: it does not exist");
      return;
    }
    const tinygltf::Camera& source = model_.cameras[static_cast<size_t>(node.camera)];
    if (source.type != "perspective") {
      status_.warnings.push_back(where + " left out: " + source.type +
                                 " (the format holds one perspective camera)");
      return;
    }
    if (camera_) {
      status_.notes.push_back(where + " left out: the scene's camera is the first one");
      return;
    }
    const tinygltf::PerspectiveCamera& p = source.perspective;
    Camera out;
    out.viewAngle = static_cast<float>(p.yfov * 180 / 3.14159265358979323846);
    out.hither = static_cast<float>(p.znear);
    if (p.zfar > 0) {
      out.yon = static_cast<float>(p.zfar);
    } else {
      out.yon = static_cast<float>(p.znear * kYonPerHither);
      status_.notes.push_back(where + " has no far plane: yon is set to 100000 times its hither");
    }
    const double eye[3] = {world[12], world[13], world[14]};
    const auto forward = Axis(world, 0, 0, -1);
    const auto up = Axis(world, 0, 1, 0);
    out.location = {static_cast<float>(eye[0]), static_cast<float>(eye[1]),
                    static_cast<float>(eye[2])};
    out.aim = {static_cast<float>(eye[0] + forward[0]), static_cast<float>(eye[1] + forward[1]),
               static_cast<float>(eye[2] + forward[2])};
    out.lookupVector = {static_cast<float>(up[0]), static_cast<float>(up[1]),
                        static_cast<float>(up[2])};
    camera_ = std::make_unique<Camera>(std::move(out));
  }

  bool StoreLights() {
    if (!out_.scene.lights.Allocate(static_cast<int32_t>(lights_.size()))) {
      return Fail("out of memory for the lights");
    }
    for (size_t i = 0; i < lights_.size(); ++i) out_.scene.lights.items[i] = std::move(lights_[i]);
    return true;
  }

  bool StoreCamera() {
    if (!camera_) return true;
    if (!out_.scene.camera.Allocate(1)) return Fail("out of memory for the camera");
    out_.scene.camera.items[0] = std::move(*camera_);
    return true;
  }

  const tinygltf::Model& model_;
  ImportedScene& out_;
  Status& status_;
  uint64_t budget_;
  std::vector<Body> bodies_;
  std::vector<Light> lights_;
  std::unique_ptr<Camera> camera_;
  import::Namer bodyNames_;
  import::Namer materialNames_;
  import::Namer lightNames_;
  import::Namer imageNames_;
  std::unordered_map<size_t, std::string> imageFiles_;
};

// tinygltf's messages end in line feeds and may hold several lines: one line for ours.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!line.empty() && line.back() != ' ') line += "; ";
      continue;
    }
    line += c;
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
  return line;
}

bool IsGlb(const unsigned char* bytes, size_t size) {
  return size >= 4 && std::memcmp(bytes, "glTF", 4) == 0;
}

Status Import(const unsigned char* bytes, size_t size, const std::string& folder,
              ImportedScene& out) {
  Status status;
  if (size > std::numeric_limits<unsigned int>::max()) {
    return status.Fail(StatusCode::kInvalidInput, "the document is larger than 4 GiB");
  }
  try {
    const import::InputFolder input(folder);
    tinygltf::Model model;
    LoadContext context;
    context.folder = &input;
    context.model = &model;
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(ProbeImageData, &context);
    loader.SetFsCallbacks({FileExists, ExpandFilePath, ReadWholeFile, WriteWholeFile, &context});
    std::string err;
    std::string warn;
    const auto length = static_cast<unsigned int>(size);
    // The folder is already known to the callbacks: tinygltf's own joining is kept empty.
    const bool loaded =
        IsGlb(bytes, size)
            ? loader.LoadBinaryFromMemory(&model, &err, &warn, bytes, length, "")
            : loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(bytes),
                                         length, "");
    if (!context.refusal.empty()) return status.Fail(StatusCode::kInvalidInput, context.refusal);
    if (!loaded && !context.unreadable.empty() && err.find("File not found") != std::string::npos) {
      return status.Fail(StatusCode::kInvalidInput, context.unreadable);
    }
    if (!loaded) {
      return status.Fail(StatusCode::kInvalidInput,
                         "not a glTF 2.0 document this reader accepts: " + OneLine(err));
    }
    GltfImport mapping(model, size, out, status);
    if (!mapping.Run() && status.ok()) status.Fail(StatusCode::kInvalidInput, "import failed");
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory while importing the glTF document");
  }
  return status;
}

}  // namespace

Status ImportGltfFromMemory(const unsigned char* bytes, size_t size, const std::string& folder,
                            ImportedScene& out) {
  return Import(bytes, size, folder, out);
}

Status ImportGltf(const std::string& path, ImportedScene& out) {
  BlockPtr<char> bytes;
  size_t size = 0;
  std::string why;
  const StatusCode read = import::ReadWholeFile(path, bytes, size, why);
  if (read != StatusCode::kOk) {
    Status status;
    return status.Fail(read, path + " " + why);
  }
  return Import(reinterpret_cast<const unsigned char*>(bytes.get()), size, import::FolderOf(path),
                out);
}

}  // namespace sceneio
