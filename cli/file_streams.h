// Binary file streams for one conversion: a buffered input and an output
// that is opened only when its first byte is written, so that a refused
// input never truncates an existing output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bmp/byte_sink.h"
#include "decoder/byte_source.h"

namespace wzx {

// Which file a stream is open on, to tell an output that is the input
// under another name.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool known = false;
};

class InputFile : public ByteSource {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() override { close(); }

    // Opens a regular file for reading; false for anything else
    // (a directory, a missing file, no permission).
    bool open(const std::string& path);
    void close();
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override;

    const FileIdentity& identity() const { return identity_; }
    // The system's error number of the first failed read, 0 if none.
    int readError() const { return readError_; }

  private:
    // The system side, one per platform: reads straight into dst until n
    // bytes, the end or an error (recorded in readError_); moves the file
    // position forward, staying at the end when asked to go past it.
    size_t readDirect(uint8_t* dst, size_t n);
    void seekForward(uint64_t n);
    // The buffer, shared by both platforms.
    void startBuffer();
    size_t refill();

    intptr_t handle_ = -1;
    FileIdentity identity_;
    int readError_ = 0;
    std::vector<uint8_t> buffer_;
    size_t bufferPos_ = 0;
    size_t bufferEnd_ = 0;
};

enum class OutputFailure {
    none,
    openFailed,   // the file could not be created or emptied
    sameAsInput,  // the output name leads to the input file itself
    writeFailed,  // a write or the final close failed; see errorNumber()
};

class OutputFile : public ByteSink {
  public:
    OutputFile(std::string path, FileIdentity input) : path_(std::move(path)), input_(input) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() override { close(); }

    bool writeAt(uint64_t offset, const uint8_t* src, size_t n) override;
    // Closes the file if it was opened; false if closing lost data.
    bool close();
    // Closes and deletes the file, for an output left incomplete.
    void discard();

    bool wasOpened() const { return opened_; }
    OutputFailure failure() const { return failure_; }
    int errorNumber() const { return errorNumber_; }
    const std::string& path() const { return path_; }

  private:
    bool openNow();
    void fail(OutputFailure failure, int error);

    std::string path_;
    FileIdentity input_;
    intptr_t handle_ = -1;
    bool opened_ = false;
    OutputFailure failure_ = OutputFailure::none;
    int errorNumber_ = 0;
};

}  // namespace wzx
