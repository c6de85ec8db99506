// The way the process ends when memory runs out: a fixed message straight
// to standard error, status 3, and no buffered stream output written. An
// output file being written at that moment is incomplete, so it is removed.
#pragma once

namespace wzx {

inline constexpr int kOutOfMemoryStatus = 3;

// Makes every failed allocation end the process this way.
void installOutOfMemoryHandler();
// Names the output file that is incomplete until the next call; nullptr
// when none is. The string must outlive that time.
void setIncompleteOutput(const char* path);

}  // namespace wzx
