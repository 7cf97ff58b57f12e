// Runs the qzstudio command as a user runs it: a real process, real files.
#pragma once

#include "TestFiles.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a command through the shell and gives its status; with peakKb, the
// command's largest resident size in kB (measured in a child of this process,
// so that no earlier command's size counts).
inline int runShell(const std::string& cmd, long* peakKb) {
    if (!peakKb) return std::system(cmd.c_str());
    int channel[2];
    if (::pipe(channel) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int status = std::system(cmd.c_str());
        rusage use{};
        ::getrusage(RUSAGE_CHILDREN, &use);
        const long answer[2] = {status, use.ru_maxrss};
        [[maybe_unused]] const ssize_t n = ::write(channel[1], answer, sizeof answer);
        ::_exit(0);
    }
    ::close(channel[1]);
    long answer[2] = {-1, 0};
    [[maybe_unused]] const ssize_t n = ::read(channel[0], answer, sizeof answer);
    ::close(channel[0]);
    ::waitpid(pid, nullptr, 0);
    *peakKb = answer[1];
    return static_cast<int>(answer[0]);
}

// Runs a program with the arguments (after `env`, assignments for its environment).
inline Result runProgram(const std::string& program, const qz::test::TempDir& dir, const std::string& args,
                         const std::string& env = {}, long* peakKb = nullptr) {
    const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    const std::string cmd = (env.empty() ? "" : "env " + env + " ") + quote(program) + " " + args + " >" +
                            quote(out) + " 2>" + quote(err);
    const int status = runShell(cmd, peakKb);
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    r.out = qz::test::readFile(out);
    r.err = qz::test::readFile(err);
    return r;
}

inline Result qzstudio(const qz::test::TempDir& dir, const std::string& args, const std::string& env = {},
                       long* peakKb = nullptr) {
    return runProgram(QZSTUDIO, dir, args, env, peakKb);
}

} // namespace
