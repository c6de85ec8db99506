// Runs the built program as a user would, in a directory of the test's
// choosing, and captures everything it leaves: its two output streams, its
// exit status, its resource use.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wzx::test {

struct RunOptions {
    std::filesystem::path workingDirectory;
    std::string standardInput;
    // Applied in the child before exec; SIGXFSZ is then ignored so that a
    // write past RLIMIT_FSIZE fails with EFBIG instead of killing.
    std::optional<rlim_t> fileSizeLimit = std::nullopt;
    std::optional<rlim_t> addressSpaceLimit = std::nullopt;
    // A generous ceiling on the child's CPU seconds, so that a hang shows as
    // a status of 128 + SIGXCPU instead of a stuck test.
    std::optional<rlim_t> cpuSecondsLimit = std::nullopt;
    // A program that runs the one under test, which it is given as its
    // first argument (an emulator such as Wine); empty for none.
    std::string launcher = {};
    // NAME=VALUE settings added to the child's environment.
    std::vector<std::string> environment = {};
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
    long peakResidentKiB = 0;
};

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options);

// A fresh directory that removes itself with everything in it.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// Names in a directory, sorted, "." and ".." left out.
std::vector<std::string> listDir(const std::filesystem::path& dir);
// Names in the order readdir yields them, "." and ".." included.
std::vector<std::string> readdirOrder(const std::filesystem::path& dir);

}  // namespace wzx::test
