// Finds the data file of one kind through the group file's "include" entries.
#pragma once

#include <memory>

#include "sceneio/file_buffer.h"

namespace sceneio {

// The path of the first entry whose name token holds `extension` (a byte substring, before
// unquoting), joined to the group file's directory; null when no entry serves it.
std::unique_ptr<char[]> ResolveInclude(const FileBuffer& group, const char* extension);

}  // namespace sceneio
