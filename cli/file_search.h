// The platform's directory search for a wildcard pattern. It runs one entry
// ahead of the caller, so that the caller knows whether the entry in hand
// is the last one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wzx {

class FileSearch {
  public:
    FileSearch() = default;
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    ~FileSearch() { close(); }

    // Starts a search of the pattern's directory (the working directory
    // when it names none) for entries matching its last component. False
    // when nothing matches, the directory cannot be read, or the pattern is
    // empty or too long.
    bool start(std::string_view pattern);
    // Makes the entry fetched ahead the current one and fetches the next;
    // true when there is a further entry after the current one.
    bool advance();
    // The bare name of the current entry.
    const std::string& currentName() const { return current_; }
    void close();

  private:
    bool fetch(std::string& name);

    std::string component_;  // the pattern's last component
    std::string current_;
    std::string next_;
    intptr_t handle_ = 0;  // the platform's search handle; 0 when closed
};

}  // namespace wzx
