#include "core/platform/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon {

bool StartDetached(const std::string& program, const std::string& argument) {
    if (access(program.c_str(), X_OK) != 0) return false;
    // A pipe with close-on-exec tells the parent whether exec succeeded: it
    // reads EOF on success and one byte on failure.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
        const char* argv[3] = {program.c_str(), nullptr, nullptr};
        if (!argument.empty()) argv[1] = argument.c_str();
        execv(program.c_str(), const_cast<char* const*>(argv));
        char failed = 1;
        (void)!write(fds[1], &failed, 1);
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char buf;
    ssize_t n = read(fds[0], &buf, 1);
    close(fds[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

}  // namespace quillon
