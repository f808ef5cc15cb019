// The folder lock between processes, and the start pipe through exec.
#include "platform/TFolderLock.h"
#include "platform/TStartPipe.h"

#include <gtest/gtest.h>

#include <spawn.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
std::string MakeFolder()
{
    char name[] = "/tmp/setup-lock-XXXXXX";
    EXPECT_NE(::mkdtemp(name), nullptr);
    return name;
}

// A child that takes the lock, says so through a pipe and waits to be killed.
pid_t HoldInChild(const std::string& folder)
{
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        TFolderLock lock;
        const char ok = lock.TryAcquire(folder) && lock.Held() ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    EXPECT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, '1');
    ::close(ready[0]);
    return pid;
}

TStartPipe::TState WaitState(TStartPipe& pipe)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pipe.Poll() == TStartPipe::TState::Waiting && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pipe.Poll();
}

std::string Script(const std::string& folder, const std::string& name, const std::string& body)
{
    const std::string path = folder + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(path, std::filesystem::perms(0755));
    return path;
}
}

TEST(FolderLock, OneHolderAcrossProcessesAndFreedWhenItDies)
{
    const std::string folder = MakeFolder();
    const pid_t holder = HoldInChild(folder);
    TFolderLock mine;
    EXPECT_FALSE(mine.TryAcquire(folder));
    // Another name of the same folder is the same folder.
    EXPECT_FALSE(mine.TryAcquire(folder + "/."));
    // Killed outright: no clean-up of its own ran, the kernel dropped the lock.
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(mine.TryAcquire(folder));
    EXPECT_TRUE(mine.Held());
    // A program started while it is held does not inherit it (spawn returns once it runs
    // the new program).
    pid_t child = 0;
    char sleepName[] = "sleep", seconds[] = "5";
    char* argv[] = {sleepName, seconds, nullptr};
    ASSERT_EQ(::posix_spawn(&child, "/bin/sleep", nullptr, nullptr, argv, environ), 0);
    mine.Release();
    TFolderLock again;
    EXPECT_TRUE(again.TryAcquire(folder));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    again.Release();
    std::filesystem::remove_all(folder);
}

TEST(StartPipe, ConfirmationSurvivesExecAndAnEndWithoutItIsSeen)
{
    const std::string folder = MakeFolder();
    const auto started = [&](const std::string& body) {
        TStartPipe pipe;
        EXPECT_TRUE(pipe.StartDetached(Script(folder, "run", body)));
        return WaitState(pipe);
    };
    // A launcher that execs the real program, which confirms by the number it is given,
    // then lives on.
    EXPECT_EQ(started("exec /bin/sh -c 'printf 1 >&\"$SETUP_STARTED_FD\"; sleep 1'"), TStartPipe::TState::Confirmed);
    // Dies by a signal, or exits, before confirming; a child it left running while the
    // program itself died holds no copy of the end when the program made it close-on-exec.
    EXPECT_EQ(started("kill -SEGV $$"), TStartPipe::TState::Ended);
    EXPECT_EQ(started("exit 127"), TStartPipe::TState::Ended);
    std::filesystem::remove_all(folder);
}
