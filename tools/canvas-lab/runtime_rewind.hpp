#pragma once

// Puts a runtime record back into a state it was once in, so that one scene built once can be
// replayed many times (the input replay and the fuzz targets do that) as if it were built anew.
//
//     RuntimeRewind rewind;
//     saveRuntimeState(runtime, rewind);  // once the scene is built
//     ... input changes the runtime ...
//     rewindRuntime(runtime, rewind);     // as saved again
//
// What is saved is the whole record but its large buffers that input never reads before writing
// (the page-event detail and the bridge router's buffers) or never writes (the canvas image pixels,
// written only when an image is registered), and the pages of canvas slots no view held when it
// was saved. A rewind rewrites only the pages that changed.

#include <vector>

namespace kelvo {

struct Runtime;

struct RuntimeRewind {
    std::vector<unsigned char> saved;
};

void saveRuntimeState(Runtime& runtime, RuntimeRewind& rewind);

// `runtime` holds the same canvas slots as when it was saved.
void rewindRuntime(Runtime& runtime, const RuntimeRewind& rewind);

}  // namespace kelvo
