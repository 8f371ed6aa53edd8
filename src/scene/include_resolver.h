// Finds the data file of one kind through the group file's "include" entries.
#pragma once

#include <memory>
#include <string_view>

#include "io/token_reader.h"
#include "sceneio/file_buffer.h"

namespace sceneio {

// Calls `serve(name)` with the name token of each "include" entry whose name holds `extension`
// (a byte substring, before unquoting), in file order, until it returns false. The current
// token carries over from a name that serves no kind: in `include include "x.lgt"` the second
// include is the first entry's name and then opens the entry that serves ".lgt".
template <typename Serve>
void ScanIncludes(const FileBuffer& group, std::string_view extension, Serve serve) {
  TokenReader reader(group);
  std::string_view current;
  for (;;) {
    if (!reader.Good()) return;
    while (current != "include") {
      current = reader.Token();
      if (current.empty()) return;
    }
    current = reader.Token();
    if (current.find(extension) != std::string_view::npos && !serve(current)) return;
  }
}

// The path of the first entry that serves `extension`, joined to the group file's directory;
// null when no entry serves it.
std::unique_ptr<char[]> ResolveInclude(const FileBuffer& group, std::string_view extension);

}  // namespace sceneio
