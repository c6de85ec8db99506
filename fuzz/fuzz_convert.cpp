// libFuzzer entry point of the convert target; the body lives in convert_target.cpp so
// that the replay program runs the very same code.
#include <cstddef>
#include <cstdint>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return wzx::fuzz::convertInput(data, size);
}
