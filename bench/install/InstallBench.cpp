// Installs of a generated mod set (2,000 files, 128 MiB) through the binding alone and
// through the whole wizard (worker, file bar updater, offscreen window), against `7z x` of
// the same archive, measured in the same run: a solid single-block LZMA2 7z and a Deflate
// zip, each into fresh folders and over a tree the same archive made earlier.
//
// Every run is its own process, so wall time, CPU time (user + system of all its threads)
// and peak resident memory are its own. The binding runs in a small program of its own that
// loads only what the binding needs. The wizard is timed twice: the whole process (loading
// Qt, the window, the staged library) and its install alone, from the start of the worker
// to the done page with the worker ended, as a player waits for it. Runs are interleaved
// (7z x, binding, wizard, in a rotating order), each into a folder of its own; nothing is
// deleted until the end, since this machine's file system makes files slower to create
// right after many were deleted.
//
// Usage: install_bench [pairs=5] [files=2000] [MiB=128]; honours TMPDIR;
// INSTALL_BENCH_EACH=1 prints every run.
// Internal: install_bench --wizard <archive> <folder> (prints the install's wall and CPU
//           seconds) | --generate <folder> <files> <MiB>
#include "BenchRun.h"
#include "ModFiles.h"
#include "TScratchFolder.h"
#include "TSeries.h"
#include "shell/ShellState.h"
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
#include <cstdlib>
#include <cstring>
#include <exception>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// A run as its own process; INSTALL_BENCH_EACH=1 prints each.
TSample Run(const std::vector<std::string>& args, std::string* output = nullptr)
{
    const TSample s = RunChild(args, output);
    if (std::getenv("INSTALL_BENCH_EACH"))
        std::fprintf(stderr, "  %-40s %.3f s, CPU %.3f s\n", args.back().c_str(), s.Wall, s.Cpu);
    return s;
}

// Scripts and XML that compress, textures and models that do not; sizes spread from a few
// bytes to twice the mean.
void MakeModSet(const std::string& dir, int files, int64_t totalBytes)
{
    std::mt19937_64 rng(20260611);
    WriteModFiles(dir, files, totalBytes, rng,
                  {"gui/flash/", "gui/maps/icons/vehicle/", "scripts/client/gui/mods/",
                   "vehicles/russian/R04_T-34/normal/lod0/", "gui/scaleform/", "audioww/"},
                  "item_");
}

// The wizard's own path: the progress page, the worker and its file bar updater.
int WizardOnce(int argc, char** argv, const std::string& archive, const std::string& folder)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir tmp;  // the run's working folder and staged library stay in here
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    // A record of its own beside each run's folder: a player's first install there, and
    // nothing (backups of the trees installed over) left in the home folder.
    if (!folder.empty())
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder + ".data"));
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
        tmp.remove();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    QDir().mkpath(QString::fromStdString(folder));
    w.PCFrames->setCurrentIndex(TFMain::PageProgress);
    w.SetSystemMenu(false);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    w.StartInstaller({archive}, folder);
    // The program's own event loop, looked in on every 2 ms for the worker's end (the
    // measuring grain, small beside an install).
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (InstallFinished && ThUnPackFiles::LiveCount() == 0)
            QCoreApplication::quit();
    });
    poll.start(2);
    QApplication::exec();
    std::printf("%.6f %.6f\n", SecondsSince(start), ProcessCpuSeconds() - cpuStart);
    const bool done = w.PCFrames->currentIndex() == TFMain::PageDone && !failed;
    w.close();
    // _Exit runs no destructors: the working folder goes by hand.
    tmp.remove();
    std::fflush(nullptr);
    std::_Exit(done ? 0 : 1);
}

int Compare(int pairs, int files, int64_t bytes)
{
    TScratchFolder scratch("install-bench");
    const std::string work = scratch.Path();
    const bool spread = scratch.SpreadOverBlockGroups();
    // Whatever a run leaves in its temporary folder goes with the rest.
    ::setenv("TMPDIR", work.c_str(), 1);
    const std::string self = QFileInfo(QString::fromLocal8Bit("/proc/self/exe")).canonicalFilePath().toStdString();

    std::printf("generating %d files, %lld MiB in %s ...\n", files, static_cast<long long>(bytes >> 20), work.c_str());
    MakeModSet(work + "/src", files, bytes);
    const std::string archives[] = {work + "/mod.7z", work + "/mod.zip"};
    Shell("cd " + ShellQuote(work + "/src") + " && 7z a -bd -bso0 -t7z -m0=lzma2 -mx=5 -ms=on " + ShellQuote(archives[0]) + " .");
    Shell("cd " + ShellQuote(work + "/src") + " && 7z a -bd -bso0 -tzip -mm=Deflate -mx=5 " + ShellQuote(archives[1]) + " .");
    std::printf("cores %ld, load average at start %.2f; %d interleaved rounds per case; run folders %s\n",
                sysconf(_SC_NPROCESSORS_ONLN), LoadAverage(), pairs,
                spread ? "spread over block groups (chattr +T)" : "as the file system places them");

    enum { Cli, Binding, Wizard, Sides, WizardInstall = Sides };
    const char* sideNames[] = {"7z x", "binding", "wizard", "install"};
    const std::string bindingChild = QFileInfo(QString::fromStdString(self)).path().toStdString() + "/install_binding_child";
    bool allSame = true;
    // The wizard's runs also give the install's own wall and CPU time, into phase.
    auto runSide = [&](int side, const std::string& archive, const std::string& target, TSeries& phase) {
        if (side == Cli)
            return Run({"7z", "x", "-bd", "-bso0", "-y", "-o" + target, archive});
        if (side == Binding)
            return Run({bindingChild, archive, target});
        std::string printed;
        const TSample whole = Run({self, "--wizard", archive, target}, &printed);
        TSample install;
        install.PeakKb = whole.PeakKb;
        if (std::sscanf(printed.c_str(), "%lf %lf", &install.Wall, &install.Cpu) != 2)
            throw std::runtime_error("the wizard run printed no install time");
        phase.Add(install);
        return whole;
    };
    for (const std::string& archive : archives) {
        TSeries fresh[Sides + 1], over[Sides + 1];
        for (int round = 0; round < pairs; ++round) {
            std::string made[Sides];
            // Fresh folders; the order rotates so no side always follows the same one.
            for (int side : RoundOrder(round, Sides)) {
                made[side] = scratch.Fresh("run#");
                fresh[side].Add(runSide(side, archive, made[side], fresh[WizardInstall]));
            }
            allSame = allSame && Shell("diff -r " + ShellQuote(made[Cli]) + " " + ShellQuote(made[Binding]) + " >/dev/null") &&
                      Shell("diff -r " + ShellQuote(made[Cli]) + " " + ShellQuote(made[Wizard]) + " >/dev/null");
            // Over an existing tree: each side installs again over a tree another side made.
            for (int side : RoundOrder(round, Sides))
                over[side].Add(runSide(side, archive, made[(side + 1) % Sides], over[WizardInstall]));
            allSame = allSame && Shell("diff -r " + ShellQuote(work + "/src") + " " + ShellQuote(made[Cli]) + " >/dev/null");
        }
        const std::string name = QFileInfo(QString::fromStdString(archive)).suffix().toStdString();
        for (int c = 0; c < 2; ++c) {
            TSeries* s = c == 0 ? fresh : over;
            std::printf("\n%s, %s:\n", name.c_str(), c == 0 ? "fresh folders" : "over an existing tree");
            std::printf("  %-8s %-26s %8s %8s %16s\n", "", "wall s, median (range)", "CPU s", "peak MB", "vs 7z x (range)");
            for (int side = 0; side <= WizardInstall; ++side) {
                const TSeries& r = s[side];
                std::printf("  %-8s %-26s %8.3f %8.1f", sideNames[side], r.Text().c_str(), r.Median(&TSample::Cpu),
                            r.PeakKb() / 1024.0);
                if (side != Cli)
                    std::printf("   %s", r.SpeedAgainst(s[Cli]).c_str());
                std::printf("\n");
            }
        }
    }
    const TSample idle = Run({self, "--wizard", "", ""});
    std::printf("\nwizard window alone, nothing installed: %.1f MB peak\n", idle.PeakKb / 1024.0);
    std::printf("load average at end %.2f; trees %s\n", LoadAverage(), allSame ? "identical to the set" : "DIFFER");
    return allSame ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
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
    try {
        return Compare(pairs, files, bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
