#include "BenchRun.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

double SecondsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

namespace {
double CpuOf(const rusage& ru)
{
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
}  // namespace

TSample RunChild(const std::vector<std::string>& args, std::string* output)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (output && ::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int out = output ? pipeFds[1] : ::open("/dev/null", O_WRONLY);
        ::dup2(out, 1);
        if (output)
            ::close(pipeFds[0]);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (output) {
        ::close(pipeFds[1]);
        char buffer[512];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            output->append(buffer, static_cast<size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage ru{};
    while (::wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    TSample s;
    s.Wall = SecondsSince(t0);
    s.Cpu = CpuOf(ru);
    s.PeakKb = ru.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("failed (status " + std::to_string(status) + "): " + args[0] + " " +
                                 (args.size() > 1 ? args[1] : std::string()));
    return s;
}

std::vector<int> RoundOrder(int round, int sides)
{
    std::vector<int> order;
    for (int k = 0; k < sides; ++k)
        order.push_back((k + round) % sides);
    return order;
}

double ProcessCpuSeconds()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return CpuOf(ru);
}

std::string ShellQuote(const std::string& s)
{
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

double LoadAverage()
{
    double l[1] = {0};
    return ::getloadavg(l, 1) == 1 ? l[0] : -1;
}
