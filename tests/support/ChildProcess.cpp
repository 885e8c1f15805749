// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ChildProcess.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace voxlane::test {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

ChildProcess ChildProcess::run(const std::string& program, const std::vector<std::string>& args,
                               long long fileSizeLimit) {
    char outPath[] = "/tmp/voxlane-child-out-XXXXXX";
    char errPath[] = "/tmp/voxlane-child-err-XXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("mkstemp failed");

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        if (fileSizeLimit > 0) {
            const rlimit limit{static_cast<rlim_t>(fileSizeLimit),
                               static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(outFd);
    close(errFd);

    ChildProcess result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    unlink(outPath);
    unlink(errPath);
    return result;
}

bool ChildProcess::available(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

} // namespace voxlane::test
