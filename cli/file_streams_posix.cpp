// File streams over POSIX descriptors: 64-bit offsets, no line-end
// translation, positioned writes for the output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/abnormal_end.h"
#include "cli/file_streams.h"

namespace wzx {

namespace {

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
    startBuffer();
    return true;
}

void InputFile::close() {
    if (handle_ >= 0) ::close(fd(handle_));
    handle_ = -1;
}

size_t InputFile::readDirect(uint8_t* dst, size_t n) {
    size_t got = 0;
    while (got < n && readError_ == 0) {
        ssize_t step = ::read(fd(handle_), dst + got, n - got);
        if (step > 0) {
            got += static_cast<size_t>(step);
        } else if (step == 0) {
            break;
        } else if (errno != EINTR) {
            readError_ = errno;
        }
    }
    return got;
}

void InputFile::seekForward(uint64_t n) {
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
