#!/usr/bin/env bash
# Hostile-input checks for CI, run after the main tests: the whole test
# suite under AddressSanitizer and UndefinedBehaviorSanitizer with leak
# detection (the debug preset), then every libFuzzer target for a bounded
# time (the fuzz preset's "fuzz" label). Fails on any sanitizer report, leak
# or fuzzer finding; findings are left in build/fuzz/fuzz/findings/.
#
#   fuzz/ci.sh                        60 s per target
#   WZX_FUZZ_SECONDS=10 fuzz/ci.sh    a quicker local run
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev libgmock-dev)
command -v clang++ >/dev/null 2>&1 || missing+=(clang)
if ! command -v clang++ >/dev/null 2>&1 ||
    [ ! -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a" ]; then
    missing+=(libclang-rt-dev)
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" </dev/null
fi

stage() {
    echo "== $1"
    SECONDS=0
}
done_stage() {
    echo "== $1 took ${SECONDS} s"
}

stage "sanitizer build and test suite"
cmake --preset debug
cmake --build --preset debug
ctest --preset debug
done_stage "sanitizer suite"

stage "fuzzing, ${WZX_FUZZ_SECONDS:-60} s per target"
cmake --preset fuzz -DWZX_FUZZ_SECONDS="${WZX_FUZZ_SECONDS:-60}"
cmake --build --preset fuzz
if ! ctest --preset fuzz; then
    echo "fuzzer findings (reproduce with build/fuzz/fuzz_TARGET FILE; once fixed,"
    echo "keep each as fuzz/regressions/TARGET/NAME):"
    find build/fuzz/fuzz/findings -type f -print
    exit 1
fi
done_stage "fuzzing"
