#include "support/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace skelvar {

namespace {

// The child's output is read and dropped so that it never blocks on a full pipe.
void drain(int fd) {
    char block[16384];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        break;
    }
}

int wait_for(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

child_outcome run_child(const std::string& executable, const std::vector<std::string>& argv) {
    child_outcome out;
    std::vector<char*> raw;
    raw.reserve(argv.size() + 1);
    for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);

    // Close-on-exec, so that children started at the same time by other
    // threads do not hold this pipe open and delay its end of file.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        out.problem = std::strerror(errno);
        return out;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        out.problem = std::strerror(rc);
        return out;
    }
    out.started = true;
    drain(fds[0]);
    ::close(fds[0]);
    out.exit_code = wait_for(pid);
    return out;
}

}  // namespace skelvar
