// libFuzzer entry point of the roundtrip target; the body lives in
// roundtrip_target.cpp so that the replay program runs the very same code.
#include <cstddef>
#include <cstdint>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return wzx::fuzz::roundTripInput(data, size);
}
