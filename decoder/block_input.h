// The block stage's reading side: the chunk stream comes in in large pieces
// into one buffer, so that chunk headers and compressed data are used where
// they lie instead of being copied out one small read at a time (a narrow
// image has millions of chunks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "decoder/byte_source.h"

namespace wzx {

class BlockInput {
  public:
    // The most that take() hands out in place. Reads from the source are at
    // least this large, so a buffered source passes them straight through.
    static constexpr size_t kMaxTake = 256 * 1024;

    explicit BlockInput(ByteSource& source);

    // The next n bytes (n <= kMaxTake) in place, valid until the next call;
    // nullptr when the input ends first. Inline while the bytes are there:
    // a narrow image takes two small pieces per chunk, millions of times.
    const uint8_t* take(size_t n) {
        if (end_ - pos_ < n) return refillAndTake(n);
        const uint8_t* at = buffer_.get() + pos_;
        pos_ += n;
        return at;
    }
    // Reads up to n bytes into dst; fewer only at the end of the input.
    size_t read(uint8_t* dst, size_t n);
    // Reads and drops n bytes; false when the input ends first.
    bool discard(uint64_t n);

  private:
    static constexpr size_t kBufferBytes = 2 * kMaxTake;

    const uint8_t* refillAndTake(size_t n);

    ByteSource& source_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t pos_ = 0;  // buffered bytes are [pos_, end_)
    size_t end_ = 0;
};

}  // namespace wzx
