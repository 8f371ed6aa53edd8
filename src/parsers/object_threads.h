// The object file parser with several threads, for the load and for tests that compare it with
// the parse in one thread.
#pragma once

#include <cstdint>

#include "sceneio/body.h"
#include "sceneio/file_buffer.h"
#include "sceneio/parse_observer.h"

namespace sceneio {

// ParseObjects with up to `threads` threads: the same Bodies, value for value, whatever the
// bytes. Long lists are read in pieces that begin about every `markSpacing` bytes (0: chosen
// from the file's size and the threads). With an observer, or one thread, it is ParseObjects.
int32_t ParseObjectsWithThreads(const FileBuffer& file, CountedArray<Body>& objects,
                                ParseObserver* observer, int threads, int32_t markSpacing = 0);

}  // namespace sceneio
