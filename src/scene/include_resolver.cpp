// Include resolution: a fresh scan of the group file for each kind asked for.
#include "scene/include_resolver.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "io/token_reader.h"

namespace sceneio {

std::unique_ptr<char[]> ResolveInclude(const FileBuffer& group, std::string_view extension) {
  std::string_view current;
  ScanIncludes(group, extension, [&](std::string_view name) {
    current = name;
    return false;
  });
  if (current.empty()) return nullptr;

  std::string name(current);
  UnquoteName(name);
  // Zero-terminated, as the file system takes it: a name holding a zero byte ends there.
  const std::string joined = group.directory + name;
  std::unique_ptr<char[]> path(new (std::nothrow) char[joined.size() + 1]);
  if (!path) return nullptr;
  std::memcpy(path.get(), joined.c_str(), joined.size() + 1);
  return path;
}

}  // namespace sceneio
