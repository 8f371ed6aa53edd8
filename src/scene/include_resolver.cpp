// Include resolution: a fresh scan of the group file for each kind asked for.
#include "scene/include_resolver.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "io/token_reader.h"

namespace sceneio {

std::unique_ptr<char[]> ResolveInclude(const FileBuffer& group, const char* extension) {
  const std::string_view wanted(extension);
  TokenReader reader(group);
  std::string_view current;
  // The current token carries over from a name that serves no kind: in
  // `include include "x.lgt"` the second include is the first entry's name and then opens
  // the entry that serves ".lgt".
  for (;;) {
    if (!reader.Good()) return nullptr;
    while (current != "include") {
      current = reader.Token();
      if (current.empty()) return nullptr;
    }
    current = reader.Token();
    if (current.find(wanted) != std::string_view::npos) break;
  }

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
