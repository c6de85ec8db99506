// The bodies of the fuzz targets, as plain functions. The libFuzzer entry
// points and the replay program both call them, so an input that breaks a
// target under the fuzzer breaks it the same way in an ordinary test build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wzx::fuzz {

// Each returns 0 for an input that was run, and -1 for one skipped as
// uninteresting (libFuzzer then keeps it out of the corpus). A broken
// invariant ends the process through check().

// A whole input converted from memory into memory.
int convertInput(const uint8_t* data, size_t size);
// One compressed chunk expanded into a buffer of exactly the chosen
// capacity, through a window in a chosen starting state.
int decompressInput(const uint8_t* data, size_t size);
// Pixels taken from the input encoded, then decoded and compared.
int roundTripInput(const uint8_t* data, size_t size);

// Aborts with a message naming the target and the invariant when ok is
// false; the abort is what the fuzzer records as a finding.
void check(bool ok, const char* target, const char* what);

}  // namespace wzx::fuzz
