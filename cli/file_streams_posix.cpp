// File streams over POSIX descriptors: 64-bit offsets, no line-end
// translation, positioned writes for the output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/abnormal_end.h"
#include "cli/file_streams.h"

namespace wzx {

namespace {

constexpr size_t kInputBufferBytes = 256 * 1024;

int fd(intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

bool InputFile::open(const std::string& path) {
    close();
    int f = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (f < 0) return false;
    struct stat st;
    // Linux opens directories for reading too; they are not images.
    if (fstat(f, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(f);
        return false;
    }
    handle_ = f;
    identity_ = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), true};
    readError_ = 0;
    buffer_.resize(kInputBufferBytes);
    bufferPos_ = bufferEnd_ = 0;
    return true;
}

void InputFile::close() {
    if (handle_ >= 0) ::close(fd(handle_));
    handle_ = -1;
}

// Reads straight into dst; stops early only at the end or on an error.
static size_t readSome(int f, uint8_t* dst, size_t n, int& error) {
    size_t got = 0;
    while (got < n && error == 0) {
        ssize_t step = ::read(f, dst + got, n - got);
        if (step > 0) {
            got += static_cast<size_t>(step);
        } else if (step == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    return got;
}

size_t InputFile::refill() {
    bufferPos_ = 0;
    bufferEnd_ = readSome(fd(handle_), buffer_.data(), buffer_.size(), readError_);
    return bufferEnd_;
}

size_t InputFile::read(uint8_t* dst, size_t n) {
    if (handle_ < 0) return 0;
    size_t got = 0;
    size_t buffered = bufferEnd_ - bufferPos_;
    if (buffered > 0) {
        got = n < buffered ? n : buffered;
        std::memcpy(dst, buffer_.data() + bufferPos_, got);
        bufferPos_ += got;
    }
    if (got == n || readError_ != 0) return got;
    // Large requests bypass the buffer; small ones refill it.
    if (n - got >= buffer_.size())
        return got + readSome(fd(handle_), dst + got, n - got, readError_);
    size_t more = refill();
    size_t take = n - got < more ? n - got : more;
    std::memcpy(dst + got, buffer_.data(), take);
    bufferPos_ = take;
    return got + take;
}

void InputFile::skip(uint64_t n) {
    if (handle_ < 0) return;
    size_t buffered = bufferEnd_ - bufferPos_;
    if (n <= buffered) {
        bufferPos_ += static_cast<size_t>(n);
        return;
    }
    n -= buffered;
    bufferPos_ = bufferEnd_ = 0;
    // lseek allows positions past the end; reads there return 0.
    if (n > static_cast<uint64_t>(INT64_MAX)) n = INT64_MAX;
    lseek(fd(handle_), static_cast<off_t>(n), SEEK_CUR);
}

void OutputFile::fail(OutputFailure failure, int error) {
    if (failure_ == OutputFailure::none) {
        failure_ = failure;
        errorNumber_ = error;
    }
}

bool OutputFile::openNow() {
    // Not O_TRUNC: the file is emptied only once it is known not to be the
    // input itself.
    int f = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (f < 0) {
        fail(OutputFailure::openFailed, errno);
        return false;
    }
    struct stat st;
    if (fstat(f, &st) != 0) {
        fail(OutputFailure::openFailed, errno);
        ::close(f);
        return false;
    }
    if (input_.known && static_cast<uint64_t>(st.st_dev) == input_.device &&
        static_cast<uint64_t>(st.st_ino) == input_.inode) {
        fail(OutputFailure::sameAsInput, 0);
        ::close(f);
        return false;
    }
    handle_ = f;
    opened_ = true;
    setIncompleteOutput(path_.c_str());
    // An empty file needs no truncation, and on ext4 a truncation to 0
    // makes the final close start writing the whole file out, which the
    // conversion would then wait for.
    if (st.st_size > 0 && ftruncate(f, 0) != 0) {
        fail(OutputFailure::writeFailed, errno);
        return false;
    }
    return true;
}

bool OutputFile::writeAt(uint64_t offset, const uint8_t* src, size_t n) {
    if (failure_ != OutputFailure::none) return false;
    if (handle_ < 0 && !openNow()) return false;
    while (n > 0) {
        if (offset > static_cast<uint64_t>(INT64_MAX)) {
            fail(OutputFailure::writeFailed, EFBIG);
            return false;
        }
        ssize_t step = pwrite(fd(handle_), src, n, static_cast<off_t>(offset));
        if (step < 0) {
            if (errno == EINTR) continue;
            fail(OutputFailure::writeFailed, errno);
            return false;
        }
        if (step == 0) {
            fail(OutputFailure::writeFailed, ENOSPC);
            return false;
        }
        src += step;
        n -= static_cast<size_t>(step);
        offset += static_cast<uint64_t>(step);
    }
    return true;
}

bool OutputFile::close() {
    if (handle_ < 0) return failure_ == OutputFailure::none;
    if (::close(fd(handle_)) != 0) fail(OutputFailure::writeFailed, errno);
    handle_ = -1;
    if (failure_ == OutputFailure::none) setIncompleteOutput(nullptr);
    return failure_ == OutputFailure::none;
}

void OutputFile::discard() {
    close();
    if (opened_) unlink(path_.c_str());
    setIncompleteOutput(nullptr);
}

}  // namespace wzx
