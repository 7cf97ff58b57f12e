// Runs a command and prints its wall time in seconds and its peak resident
// memory in MB. The command is started from this small process, so its peak
// is its own and not that of a large parent it was forked from.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qz_measure COMMAND [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return 2;
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) return 2;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f %.1f\n", seconds, static_cast<double>(usage.ru_maxrss) / 1024.0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
