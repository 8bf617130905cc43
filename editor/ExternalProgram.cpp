#include "editor/ExternalProgram.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// argv for exec: the program's path, then the arguments, then null.
std::vector<char*> ArgumentVector(const std::string& path, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

int RunProgram(const std::string& path, const std::vector<std::string>& args, std::string* output) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv = ArgumentVector(path, args);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed) {
        close(pipeEnds[0]);
        return -1;
    }
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof(buffer));
        if (got > 0) {
            text.append(buffer, size_t(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    close(pipeEnds[0]);
    if (output) *output = text;
    return WaitFor(pid);
}

bool StartDetached(const std::string& path, const std::vector<std::string>& args) {
    std::vector<char*> argv = ArgumentVector(path, args);
    // Fork twice: the middle process exits at once and is reaped here, so the program is
    // adopted by init. Between fork and exec only async-signal-safe calls are made (the host
    // may have other threads holding locks).
    const pid_t middle = fork();
    if (middle < 0) return false;
    if (middle == 0) {
        const pid_t child = fork();
        if (child == 0) {
            setsid();
            execve(argv[0], argv.data(), environ);
            _exit(127);
        }
        _exit(child < 0 ? 1 : 0);
    }
    return WaitFor(middle) == 0;
}
