// File search over FindFirstFileA/FindNextFileA: the system matches the
// pattern's last component itself, with its own wildcard and case rules
// (short 8.3 names included), and yields entries in its own order.
#include <windows.h>

#include "cli/file_search.h"

namespace wzx {

namespace {

HANDLE asFind(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

bool FileSearch::start(std::string_view pattern) {
    close();
    // The system reports an empty, invalid or over-long pattern and a
    // missing directory as failures of the first call, like no match.
    std::string terminated(pattern);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(terminated.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(find);
    next_ = entry.cFileName;
    return true;
}

bool FileSearch::fetch(std::string& name) {
    WIN32_FIND_DATAA entry;
    if (!FindNextFileA(asFind(handle_), &entry)) return false;
    name = entry.cFileName;
    return true;
}

bool FileSearch::advance() {
    current_ = std::move(next_);
    next_.clear();
    return handle_ != 0 && fetch(next_);
}

void FileSearch::close() {
    if (handle_ != 0) FindClose(asFind(handle_));
    handle_ = 0;
}

}  // namespace wzx
