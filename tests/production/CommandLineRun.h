// Runs the qzstudio command as a user runs it: a real process, real files.
#pragma once

#include "TestFiles.h"

#include <sys/wait.h>

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

// Runs a program with the arguments (after `env`, assignments for its environment).
inline Result runProgram(const std::string& program, const qz::test::TempDir& dir, const std::string& args,
                         const std::string& env = {}) {
    const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    const std::string cmd = (env.empty() ? "" : "env " + env + " ") + quote(program) + " " + args + " >" +
                            quote(out) + " 2>" + quote(err);
    const int status = std::system(cmd.c_str());
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    r.out = qz::test::readFile(out);
    r.err = qz::test::readFile(err);
    return r;
}

inline Result qzstudio(const qz::test::TempDir& dir, const std::string& args, const std::string& env = {}) {
    return runProgram(QZSTUDIO, dir, args, env);
}

} // namespace
