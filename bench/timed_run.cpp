// timed_run: runs one command with standard input and output on /dev/null
// and prints "wall_seconds user_seconds system_seconds max_rss_kib status"
// for it, the times and the peak resident memory taken from the child's own
// resource usage, so the benchmark script needs no shell timing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

namespace {

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: timed_run COMMAND [ARGUMENT...]\n");
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("wait4");
        return 2;
    }
    std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // ru_maxrss is in KiB on Linux.
    std::printf("%.6f %.6f %.6f %ld %d\n", wall.count(), seconds(usage.ru_utime),
                seconds(usage.ru_stime), usage.ru_maxrss, code);
    return 0;
}
