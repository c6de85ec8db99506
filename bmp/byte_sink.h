// The output side of a conversion: a byte store written at absolute
// offsets. BMP rows arrive top first but lie bottom-up in the file, so the
// writer needs random access, not a forward stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wzx {

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // Writes n bytes starting at offset. A gap between the old end and
    // offset reads back as zero bytes. Returns false when the bytes could
    // not be written; the sink keeps the reason for its owner.
    virtual bool writeAt(uint64_t offset, const uint8_t* src, size_t n) = 0;
};

// A sink into memory, for tests and fuzzing.
class MemorySink : public ByteSink {
  public:
    bool writeAt(uint64_t offset, const uint8_t* src, size_t n) override;
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    size_t writeCalls() const { return writeCalls_; }

  private:
    std::vector<uint8_t> bytes_;
    size_t writeCalls_ = 0;
};

}  // namespace wzx
