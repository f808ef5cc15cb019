#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

extern char** environ;

namespace {
// Double fork so the child is never our zombie and outlives us.
bool SpawnDetached(const char* file, char* const argv[], char* const envp[] = environ, int handFd = -1,
                   int asFd = -1)
{
    const pid_t mid = ::fork();
    if (mid < 0)
        return false;
    if (mid == 0) {
        ::setsid();
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        // A pipe the parent held may close after it quits; the child must not die of it.
        for (int fd : {1, 2})
            if (!::isatty(fd))
                posix_spawn_file_actions_addopen(&fa, fd, "/dev/null", O_WRONLY, 0);
        if (handFd >= 0)
            posix_spawn_file_actions_adddup2(&fa, handFd, asFd);
        pid_t child = 0;
        const int rc = ::posix_spawn(&child, file, &fa, nullptr, argv, envp);
        ::_exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(mid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}

bool StartProgramDetached(const std::string& path)
{
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    char* argv[] = {const_cast<char*>(file.c_str()), nullptr};
    return SpawnDetached(file.c_str(), argv);
}

bool StartProgramDetached(const std::string& path, int handFd, int asFd, const std::string& variable)
{
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    char* argv[] = {const_cast<char*>(file.c_str()), nullptr};
    // Our environment, with the variable naming the handed descriptor instead of any copy
    // of it we may have.
    const std::string entry = variable + "=" + std::to_string(asFd);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, entry.c_str(), variable.size() + 1) != 0)
            envp.push_back(*e);
    envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    return SpawnDetached(file.c_str(), argv, envp.data(), handFd, asFd);
}

bool StartShellScriptDetached(const std::string& scriptPath)
{
    char sh[] = "/bin/sh";
    char* argv[] = {sh, const_cast<char*>(scriptPath.c_str()), nullptr};
    return SpawnDetached(sh, argv);
}
