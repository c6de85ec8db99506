// The input side of a conversion: a forward byte stream. The decoder only
// reads and skips; where the bytes come from (a file, memory) is the
// caller's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wzx {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes into dst. Returns fewer only at the end of the
    // input or on a read error, and 0 from then on.
    virtual size_t read(uint8_t* dst, size_t n) = 0;
    // Moves the read position forward by n bytes; moving past the end is
    // allowed and makes later reads return 0.
    virtual void skip(uint64_t n) = 0;
};

// A source over bytes held in memory, for tests and fuzzing.
class MemorySource : public ByteSource {
  public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit MemorySource(const std::vector<uint8_t>& bytes)
        : MemorySource(bytes.data(), bytes.size()) {}
    // The source only borrows the bytes: a temporary would be gone before
    // the first read.
    explicit MemorySource(std::vector<uint8_t>&&) = delete;
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override;

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace wzx
