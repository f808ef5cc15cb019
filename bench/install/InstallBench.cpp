// Installs of a generated mod set (2,000 files, 128 MiB) through the binding alone and
// through the whole wizard (worker, file bar updater, offscreen window), against `7z x` of
// the same archive, measured in the same run: a solid single-block LZMA2 7z and a Deflate
// zip, each into fresh folders and over a tree the same archive made earlier.
//
// Every run is its own process, so wall time, CPU time (user + system of all its threads)
// and peak resident memory are its own. Runs are interleaved (7z x, binding, wizard, in a
// rotating order), each into a folder of its own; nothing is deleted until the end, since
// this machine's file system makes files slower to create right after many were deleted.
//
// Usage: install_bench [pairs=5] [files=2000] [MiB=128]; honours TMPDIR;
// INSTALL_BENCH_EACH=1 prints every run.
// Internal: install_bench --binding <archive> <folder> | --wizard <archive> <folder>
//           | --generate <folder> <files> <MiB>
#include "app/ShellState.h"
#include "app/TFMain.h"
#include "archive/ArchiveBinding.h"
#include "archive/ThUnPackFiles.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct TSample {
    double Wall = 0, Cpu = 0;
    long PeakKb = 0;
};

// Runs argv as a child process; its own wall time, CPU time and peak memory.
TSample RunChild(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    TSample s;
    s.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    s.Cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    s.PeakKb = ru.ru_maxrss;
    if (std::getenv("INSTALL_BENCH_EACH"))
        std::fprintf(stderr, "  %-40s %.3f s, CPU %.3f s\n", args[args.size() - 1].c_str(), s.Wall, s.Cpu);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed (%d): %s\n", status, args[0].c_str());
        std::exit(1);
    }
    return s;
}

bool Shell(const std::string& cmd)
{
    return std::system(cmd.c_str()) == 0;
}

std::string Quote(const std::string& s)
{
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

// Scripts and XML that compress, textures and models that do not; sizes spread from a few
// bytes to twice the mean.
void MakeModSet(const std::string& dir, int files, int64_t totalBytes)
{
    std::mt19937_64 rng(20260611);
    const char* folders[] = {"gui/flash/", "gui/maps/icons/vehicle/", "scripts/client/gui/mods/",
                             "vehicles/russian/R04_T-34/normal/lod0/", "gui/scaleform/", "audioww/"};
    const int64_t mean = totalBytes / files;
    static const char* words[] = {"<item>", "</item>", "<name>", "tank  ", "gun   ", "0.125 ",
                                  "true  ", "shadow", "\n     ", "textur", "</name"};
    for (int i = 0; i < files; ++i) {
        const bool text = i % 3 != 0;
        const std::string rel = std::string(folders[i % 6]) + "item_" + std::to_string(i) + (text ? ".xml" : ".dds");
        const int64_t size = std::uniform_int_distribution<int64_t>(16, 2 * mean - 16)(rng);
        std::string data(static_cast<size_t>(size), '\0');
        if (text) {
            for (int64_t k = 0; k < size; ++k)
                data[k] = words[(k / 6 + i + (rng() % 4 == 0)) % 11][k % 6];
        } else {
            for (int64_t k = 0; k + 8 <= size; k += 8) {
                const uint64_t v = rng();
                std::memcpy(&data[k], &v, 8);
            }
        }
        QDir().mkpath(QFileInfo(QString::fromStdString(dir + "/" + rel)).path());
        QFile f(QString::fromStdString(dir + "/" + rel));
        if (!f.open(QIODevice::WriteOnly) || f.write(data.data(), size) != size)
            std::exit(1);
    }
}

int BindingOnce(const std::string& archive, const std::string& folder)
{
    try {
        TGUID id{};
        if (!FormatIdForExtension(QFileInfo(QString::fromStdString(archive)).suffix().prepend('.').toStdString(), id))
            return 2;
        I7zReaderPtr reader = CreateArchiveReader(id, SETUP_BENCH_7Z_LIBRARY);
        reader->OpenArchiveFile(archive);
        reader->ExtractAllToFolder(folder);
        reader->CloseArchive();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

// The wizard's own path: the progress page, the worker and its file bar updater.
int WizardOnce(int argc, char** argv, const std::string& archive, const std::string& folder)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir tmp;  // the run's working folder and staged library stay in here
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    QApplication app(argc, argv);
    QDir().mkpath(tmp.filePath("prog"));
    SetExecutablePathOverride(tmp.filePath("prog/Setup").toStdString());
    bool failed = false;
    SetMessageBoxHandler([&failed](const QString& text, TMsgButtons) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        failed = true;
        return TMsgResult::Ok;
    });
    TFMain w;
    w.show();
    QCoreApplication::processEvents();
    if (archive.empty()) {  // the window alone, for its own memory
        w.close();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    QDir().mkpath(QString::fromStdString(folder));
    w.PCFrames->setCurrentIndex(TFMain::PageProgress);
    w.SetSystemMenu(false);
    w.StartInstaller({archive}, folder);
    // The program's own event loop, looked in on now and then for the worker's end.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (InstallFinished && ThUnPackFiles::LiveCount() == 0)
            QCoreApplication::quit();
    });
    poll.start(20);
    QApplication::exec();
    const bool done = w.PCFrames->currentIndex() == TFMain::PageDone && !failed;
    w.close();
    std::fflush(nullptr);
    std::_Exit(done ? 0 : 1);
}

struct TSeries {
    std::vector<TSample> Runs;
    double Median(double TSample::*field) const
    {
        std::vector<double> v;
        for (const TSample& s : Runs)
            v.push_back(s.*field);
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
    }
    double Min(double TSample::*field) const
    {
        double m = 1e18;
        for (const TSample& s : Runs)
            m = std::min(m, s.*field);
        return m;
    }
    double Max(double TSample::*field) const
    {
        double m = 0;
        for (const TSample& s : Runs)
            m = std::max(m, s.*field);
        return m;
    }
    long Peak() const
    {
        long m = 0;
        for (const TSample& s : Runs)
            m = std::max(m, s.PeakKb);
        return m;
    }
};

double LoadAverage()
{
    double l[1] = {0};
    getloadavg(l, 1);
    return l[0];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--binding") == 0)
        return BindingOnce(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--wizard") == 0)
        return WizardOnce(argc, argv, argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "--generate") == 0) {
        MakeModSet(argv[2], atoi(argv[3]), int64_t(atoll(argv[4])) << 20);
        return 0;
    }

    setvbuf(stdout, nullptr, _IOLBF, 0);
    const int pairs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int files = argc > 2 ? atoi(argv[2]) : 2000;
    const int64_t bytes = int64_t(argc > 3 ? atoll(argv[3]) : 128) << 20;
    const char* tmpEnv = std::getenv("TMPDIR");
    char pattern[4096];
    std::snprintf(pattern, sizeof pattern, "%s/install-bench-XXXXXX", tmpEnv && *tmpEnv ? tmpEnv : "/tmp");
    if (!mkdtemp(pattern))
        return 1;
    const std::string work = pattern;
    // Folders made below this one are spread over the file system's block groups as if
    // they were top-level: on an ext4 without a journal, creating files where many were
    // deleted in the last minutes costs far more, and other programs keep deleting.
    const bool spread = Shell("chattr +T " + Quote(work) + " 2>/dev/null");
    const std::string self = QFileInfo(QString::fromLocal8Bit("/proc/self/exe")).canonicalFilePath().toStdString();

    std::printf("generating %d files, %lld MiB in %s ...\n", files, static_cast<long long>(bytes >> 20), work.c_str());
    MakeModSet(work + "/src", files, bytes);
    const std::string archives[] = {work + "/mod.7z", work + "/mod.zip"};
    Shell("cd " + Quote(work + "/src") + " && 7z a -bd -bso0 -t7z -m0=lzma2 -mx=5 -ms=on " + Quote(archives[0]) + " .");
    Shell("cd " + Quote(work + "/src") + " && 7z a -bd -bso0 -tzip -mm=Deflate -mx=5 " + Quote(archives[1]) + " .");
    std::printf("cores %ld, load average at start %.2f; %d interleaved rounds per case; run folders %s\n",
                sysconf(_SC_NPROCESSORS_ONLN), LoadAverage(), pairs,
                spread ? "spread over block groups (chattr +T)" : "as the file system places them");

    enum { Cli, Binding, Wizard, Sides };
    const char* sideNames[] = {"7z x", "binding", "wizard"};
    int serial = 0;
    bool allSame = true;
    for (const std::string& archive : archives) {
        TSeries fresh[Sides], over[Sides];
        for (int round = 0; round < pairs; ++round) {
            std::string made[Sides];
            // Fresh folders; the order rotates so no side always follows the same one.
            for (int k = 0; k < Sides; ++k) {
                const int side = (k + round) % Sides;
                made[side] = work + "/run" + std::to_string(++serial);
                if (side == Cli)
                    fresh[side].Runs.push_back(RunChild({"7z", "x", "-bd", "-bso0", "-y", "-o" + made[side], archive}));
                else
                    fresh[side].Runs.push_back(RunChild({self, side == Binding ? "--binding" : "--wizard", archive, made[side]}));
            }
            allSame = allSame && Shell("diff -r " + Quote(made[Cli]) + " " + Quote(made[Binding]) + " >/dev/null") &&
                      Shell("diff -r " + Quote(made[Cli]) + " " + Quote(made[Wizard]) + " >/dev/null");
            // Over an existing tree: each side installs again over a tree another side made.
            for (int k = 0; k < Sides; ++k) {
                const int side = (k + round) % Sides;
                const std::string& target = made[(side + 1) % Sides];
                if (side == Cli)
                    over[side].Runs.push_back(RunChild({"7z", "x", "-bd", "-bso0", "-y", "-o" + target, archive}));
                else
                    over[side].Runs.push_back(RunChild({self, side == Binding ? "--binding" : "--wizard", archive, target}));
            }
            allSame = allSame && Shell("diff -r " + Quote(work + "/src") + " " + Quote(made[Cli]) + " >/dev/null");
        }
        const std::string name = QFileInfo(QString::fromStdString(archive)).suffix().toStdString();
        for (int c = 0; c < 2; ++c) {
            TSeries* s = c == 0 ? fresh : over;
            const double cli = s[Cli].Median(&TSample::Wall);
            std::printf("\n%s, %s:\n", name.c_str(), c == 0 ? "fresh folders" : "over an existing tree");
            std::printf("  %-8s %8s %17s %8s %8s %16s\n", "", "median s", "range s", "CPU s", "peak MB", "vs 7z x (range)");
            for (int side = 0; side < Sides; ++side) {
                const TSeries& r = s[side];
                const double med = r.Median(&TSample::Wall);
                std::printf("  %-8s %8.3f %8.3f-%-8.3f %8.3f %8.1f", sideNames[side], med, r.Min(&TSample::Wall),
                            r.Max(&TSample::Wall), r.Median(&TSample::Cpu), r.Peak() / 1024.0);
                if (side != Cli)
                    std::printf("   %5.2fx (%.2f-%.2f)", cli / med, s[Cli].Min(&TSample::Wall) / r.Max(&TSample::Wall),
                                s[Cli].Max(&TSample::Wall) / r.Min(&TSample::Wall));
                std::printf("\n");
            }
        }
    }
    const TSample idle = RunChild({self, "--wizard", "", ""});
    std::printf("\nwizard window alone, nothing installed: %.1f MB peak\n", idle.PeakKb / 1024.0);
    std::printf("load average at end %.2f; trees %s\n", LoadAverage(), allSame ? "identical to the set" : "DIFFER");
    Shell("rm -rf " + Quote(work));
    return allSame ? 0 : 1;
}
