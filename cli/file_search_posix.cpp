// File search over opendir/readdir: entries in the order the directory
// yields them, ".", ".." and subdirectories included, nothing filtered.
#include <dirent.h>
#include <limits.h>

#include "cli/file_search.h"
#include "cli/wildcard.h"

namespace wzx {

namespace {

DIR* asDir(intptr_t handle) {
    return reinterpret_cast<DIR*>(handle);
}

}  // namespace

bool FileSearch::start(std::string_view pattern) {
    close();
    if (pattern.empty() || pattern.size() >= PATH_MAX) return false;
    size_t slash = pattern.rfind('/');
    std::string directory = ".";
    if (slash != std::string_view::npos) directory = std::string(pattern.substr(0, slash + 1));
    component_ = std::string(slash == std::string_view::npos ? pattern : pattern.substr(slash + 1));
    if (component_.empty() || component_.size() > NAME_MAX) return false;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return false;
    handle_ = reinterpret_cast<intptr_t>(dir);
    if (!fetch(next_)) {
        close();
        return false;
    }
    return true;
}

bool FileSearch::fetch(std::string& name) {
    while (struct dirent* entry = readdir(asDir(handle_))) {
        if (matchWildcard(component_, entry->d_name)) {
            name = entry->d_name;
            return true;
        }
    }
    return false;
}

bool FileSearch::advance() {
    current_ = std::move(next_);
    next_.clear();
    return handle_ != 0 && fetch(next_);
}

void FileSearch::close() {
    if (handle_ != 0) closedir(asDir(handle_));
    handle_ = 0;
}

}  // namespace wzx
