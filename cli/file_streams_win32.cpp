// File streams over Win32 handles: 64-bit offsets, no line-end translation,
// positioned writes for the output, and sharing that lets other processes
// read and write both files meanwhile.
#include <windows.h>

#include <cerrno>

#include "cli/abnormal_end.h"
#include "cli/file_streams.h"

namespace wzx {

namespace {

// ReadFile and WriteFile take 32-bit counts.
constexpr size_t kMaxTransfer = size_t{1} << 30;

HANDLE asFile(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The driver words reasons through strerror, so system errors are told as
// the errno values that say the same.
int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_INVALID_PARAMETER:
        case ERROR_NEGATIVE_SEEK:
            return EINVAL;
        default:
            return EIO;
    }
}

int lastErrno() {
    return errnoFor(GetLastError());
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return {info.dwVolumeSerialNumber, index, true};
}

}  // namespace

bool InputFile::open(const std::string& path) {
    close();
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open at all;
    // the attribute check only makes that independent of the file system.
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(f, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(f);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(f);
    identity_ = identityOf(info);
    readError_ = 0;
    startBuffer();
    return true;
}

void InputFile::close() {
    if (handle_ != -1) CloseHandle(asFile(handle_));
    handle_ = -1;
}

size_t InputFile::readDirect(uint8_t* dst, size_t n) {
    size_t got = 0;
    while (got < n && readError_ == 0) {
        DWORD want = static_cast<DWORD>(n - got < kMaxTransfer ? n - got : kMaxTransfer);
        DWORD step = 0;
        if (!ReadFile(asFile(handle_), dst + got, want, &step, nullptr)) {
            if (GetLastError() != ERROR_HANDLE_EOF) readError_ = lastErrno();
            break;
        }
        if (step == 0) break;
        got += step;
    }
    return got;
}

void InputFile::seekForward(uint64_t n) {
    // Positions past the end are allowed; reads there return nothing. A
    // skip beyond any representable position ends up at the end as well.
    LARGE_INTEGER distance;
    distance.QuadPart = n > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(n);
    if (!SetFilePointerEx(asFile(handle_), distance, nullptr, FILE_CURRENT)) {
        distance.QuadPart = 0;
        SetFilePointerEx(asFile(handle_), distance, nullptr, FILE_END);
    }
}

void OutputFile::fail(OutputFailure failure, int error) {
    if (failure_ == OutputFailure::none) {
        failure_ = failure;
        errorNumber_ = error;
    }
}

bool OutputFile::openNow() {
    // OPEN_ALWAYS, not CREATE_ALWAYS: the file is emptied only once it is
    // known not to be the input itself. Delete sharing lets the
    // out-of-memory ending remove it while this handle is still open.
    HANDLE f = CreateFileA(path_.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        fail(OutputFailure::openFailed, lastErrno());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(f, &info)) {
        fail(OutputFailure::openFailed, lastErrno());
        CloseHandle(f);
        return false;
    }
    FileIdentity id = identityOf(info);
    if (input_.known && id.device == input_.device && id.inode == input_.inode) {
        fail(OutputFailure::sameAsInput, 0);
        CloseHandle(f);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(f);
    opened_ = true;
    setIncompleteOutput(path_.c_str());
    // A fresh handle stands at offset 0, so this empties the file.
    if (!SetEndOfFile(f)) {
        fail(OutputFailure::writeFailed, lastErrno());
        return false;
    }
    return true;
}

bool OutputFile::writeAt(uint64_t offset, const uint8_t* src, size_t n) {
    if (failure_ != OutputFailure::none) return false;
    if (handle_ == -1 && !openNow()) return false;
    while (n > 0) {
        if (offset > static_cast<uint64_t>(INT64_MAX)) {
            fail(OutputFailure::writeFailed, EFBIG);
            return false;
        }
        // On a synchronous handle the offsets make this a positioned write.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD want = static_cast<DWORD>(n < kMaxTransfer ? n : kMaxTransfer);
        DWORD step = 0;
        if (!WriteFile(asFile(handle_), src, want, &step, &at)) {
            fail(OutputFailure::writeFailed, lastErrno());
            return false;
        }
        if (step == 0) {
            fail(OutputFailure::writeFailed, ENOSPC);
            return false;
        }
        src += step;
        n -= step;
        offset += step;
    }
    return true;
}

bool OutputFile::close() {
    if (handle_ == -1) return failure_ == OutputFailure::none;
    if (!CloseHandle(asFile(handle_))) fail(OutputFailure::writeFailed, lastErrno());
    handle_ = -1;
    if (failure_ == OutputFailure::none) setIncompleteOutput(nullptr);
    return failure_ == OutputFailure::none;
}

void OutputFile::discard() {
    close();
    if (opened_) DeleteFileA(path_.c_str());
    setIncompleteOutput(nullptr);
}

}  // namespace wzx
