// Child-process plumbing for the end-to-end tests: stdin from a file,
// stdout and stderr to files, limits set between fork and exec.
#include "support/run_program.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace wzx::test {

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

[[noreturn]] void execChild(const std::string& program, const std::vector<std::string>& args,
                            const RunOptions& o, const fs::path& io) {
    int in = open((io / "stdin").c_str(), O_RDONLY);
    int out = open((io / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open((io / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(120);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(o.workingDirectory.c_str()) != 0) _exit(121);
    if (o.fileSizeLimit) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {*o.fileSizeLimit, *o.fileSizeLimit};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(122);
    }
    if (o.addressSpaceLimit) {
        struct rlimit lim = {*o.addressSpaceLimit, *o.addressSpaceLimit};
        if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(123);
    }
    if (o.cpuSecondsLimit) {
        struct rlimit lim = {*o.cpuSecondsLimit, *o.cpuSecondsLimit + 1};
        if (setrlimit(RLIMIT_CPU, &lim) != 0) _exit(125);
    }
    for (const std::string& setting : o.environment) {
        size_t eq = setting.find('=');
        if (eq == std::string::npos ||
            setenv(setting.substr(0, eq).c_str(), setting.c_str() + eq + 1, 1) != 0)
            _exit(126);
    }
    std::vector<char*> argv;
    if (!o.launcher.empty()) argv.push_back(const_cast<char*>(o.launcher.c_str()));
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(124);
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
    ScratchDir io;
    {
        std::ofstream in(io / "stdin", std::ios::binary);
        in << options.standardInput;
    }
    pid_t pid = fork();
    if (pid == 0) execChild(program, args, options, io.path());
    RunResult r;
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = slurp(io / "stdout");
    r.err = slurp(io / "stderr");
    r.peakResidentKiB = usage.ru_maxrss;
    return r;
}

ScratchDir::ScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "wzx-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> listDir(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> readdirOrder(const fs::path& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (struct dirent* e = readdir(d)) names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

}  // namespace wzx::test
