// Installs of a generated mod pack (40 single-block 7z archives, 20-80 files and 1-10 MB of
// files each, text-like and random mixed) through the whole wizard, against `7z x` of the
// same archives one after the other and two at a time (`xargs -P2`), in the same run. The
// wizard runs with its archives in parallel (as many as the usable cores) and, for
// reference, one after the other.
//
// Every run is its own process (the CLI sides a shell and its 7z children), so wall time,
// CPU time (user + system of the process and every child it waited for) and peak resident
// memory (the largest process) are its own. Rounds are interleaved in a rotating order,
// each run into a fresh folder; nothing is deleted until the end.
//
// Usage: pack_bench [rounds=5] [archives=40]; honours TMPDIR; PACK_BENCH_EACH=1 prints
// every run.
// Internal: pack_bench --wizard <list file> <folder> <parallel> (prints the install's wall
//           and CPU seconds)
#include "BenchRun.h"
#include "ModFiles.h"
#include "TScratchFolder.h"
#include "TSeries.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "archive/TPackInstall.h"
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
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

TSample Run(const std::vector<std::string>& args, std::string* output = nullptr)
{
    const TSample s = RunChild(args, output);
    if (std::getenv("PACK_BENCH_EACH"))
        std::fprintf(stderr, "  %-40s %.3f s, CPU %.3f s\n", args.back().c_str(), s.Wall, s.Cpu);
    return s;
}

// One mod of the pack: scripts and XML that compress, textures that do not.
void MakeMod(const std::string& dir, int index, std::mt19937_64& rng)
{
    const int files = std::uniform_int_distribution<int>(20, 80)(rng);
    const int64_t total = std::uniform_int_distribution<int64_t>(1 << 20, 10 << 20)(rng);
    WriteModFiles(dir, files, total, rng,
                  {"gui/flash/", "gui/maps/icons/vehicle/", "scripts/client/gui/mods/",
                   "vehicles/german/G04_PzVI_Tiger_I/normal/lod0/", "audioww/"},
                  "mod" + std::to_string(index) + "_");
}

// The wizard's own path: the progress page, the worker, its file bar updaters.
int WizardOnce(int argc, char** argv, const std::string& listFile, const std::string& folder, int parallel)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
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
    tFilesArray files;
    std::ifstream list(listFile);
    for (std::string line; std::getline(list, line);)
        if (!line.empty())
            files.push_back(line);
    TPackInstall::ParallelOverride = parallel;
    TFMain w;
    w.show();
    QCoreApplication::processEvents();
    QDir().mkpath(QString::fromStdString(folder));
    w.PCFrames->setCurrentIndex(TFMain::PageProgress);
    w.SetSystemMenu(false);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    w.StartInstaller(files, folder);
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
    tmp.remove();
    std::fflush(nullptr);
    std::_Exit(done ? 0 : 1);
}

int Compare(int rounds, int count)
{
    TScratchFolder scratch("pack-bench");
    const std::string work = scratch.Path();
    const bool spread = scratch.SpreadOverBlockGroups();
    ::setenv("TMPDIR", work.c_str(), 1);
    const std::string self = QFileInfo(QString::fromLocal8Bit("/proc/self/exe")).canonicalFilePath().toStdString();

    std::printf("generating %d archives in %s ...\n", count, work.c_str());
    std::mt19937_64 rng(20260612);
    std::vector<std::string> archives;
    std::string quoted;
    const std::string listFile = work + "/pack.list";
    std::ofstream list(listFile);
    int64_t packBytes = 0;
    for (int i = 0; i < count; ++i) {
        const std::string src = work + "/src/" + std::to_string(i);
        MakeMod(src, i, rng);
        const std::string a = work + "/pack/mod" + std::to_string(i) + ".7z";
        QDir().mkpath(QString::fromStdString(work + "/pack"));
        Shell("cd " + ShellQuote(src) + " && 7z a -bd -bso0 -t7z -m0=lzma2 -mx=5 -ms=on " + ShellQuote(a) + " .");
        archives.push_back(a);
        quoted += " " + ShellQuote(a);
        list << a << "\n";
        packBytes += QFileInfo(QString::fromStdString(a)).size();
    }
    list.close();
    std::printf("%d archives, %.1f MB; cores %ld, usable %d, load average at start %.2f; %d interleaved rounds; "
                "run folders %s\n",
                count, packBytes / 1e6, sysconf(_SC_NPROCESSORS_ONLN), TPackInstall::Parallel(), LoadAverage(),
                rounds, spread ? "spread over block groups (chattr +T)" : "as the file system places them");

    enum { Loop, Xargs, Wizard, WizardOne, Sides };
    const char* names[] = {"7z x loop", "xargs -P2 7z x", "wizard", "wizard, one by one", "  its install",
                           "  its install"};
    TSeries all[Sides], install[2];
    bool allSame = true;
    auto runSide = [&](int side, const std::string& target) {
        // Made beforehand: two 7z processes making the same output folder can fail on it.
        QDir().mkpath(QString::fromStdString(target));
        if (side == Loop)
            return Run({"/bin/sh", "-c", "for a in" + quoted + "; do 7z x -bd -bso0 -y -o" + ShellQuote(target) +
                                             " \"$a\" || exit 1; done", target});
        if (side == Xargs)
            return Run({"/bin/sh", "-c", "xargs -d '\\n' -P2 -I{} 7z x -bd -bso0 -y -o" + ShellQuote(target) +
                                             " {} < " + ShellQuote(listFile), target});
        std::string printed;
        const TSample whole =
            Run({self, "--wizard", listFile, target, side == Wizard ? "0" : "1"}, &printed);
        TSample inside;
        inside.PeakKb = whole.PeakKb;
        if (std::sscanf(printed.c_str(), "%lf %lf", &inside.Wall, &inside.Cpu) != 2)
            throw std::runtime_error("the wizard run printed no install time");
        install[side == Wizard ? 0 : 1].Add(inside);
        return whole;
    };
    for (int round = 0; round < rounds; ++round) {
        std::string made[Sides];
        for (int side : RoundOrder(round, Sides)) {
            made[side] = scratch.Fresh("run#");
            all[side].Add(runSide(side, made[side]));
        }
        for (int side = 1; side < Sides; ++side)
            allSame = allSame &&
                      Shell("diff -r " + ShellQuote(made[Loop]) + " " + ShellQuote(made[side]) + " >/dev/null");
    }
    std::printf("\n  %-20s %-26s %-22s %8s %16s\n", "", "wall s, median (range)", "CPU s, median (range)", "peak MB",
                "vs 7z x loop");
    auto row = [&](const char* name, const TSeries& r, bool against) {
        char cpu[64];
        std::snprintf(cpu, sizeof cpu, "%.3f (%.3f-%.3f)", r.Median(&TSample::Cpu), r.Min(&TSample::Cpu),
                      r.Max(&TSample::Cpu));
        std::printf("  %-20s %-26s %-22s %8.1f", name, r.Text().c_str(), cpu, r.PeakKb() / 1024.0);
        if (against)
            std::printf("   %s", r.SpeedAgainst(all[Loop]).c_str());
        std::printf("\n");
    };
    row(names[Loop], all[Loop], false);
    row(names[Xargs], all[Xargs], true);
    row(names[Wizard], all[Wizard], true);
    row(names[4], install[0], true);
    row(names[WizardOne], all[WizardOne], true);
    row(names[5], install[1], true);
    std::printf("\n  wizard vs xargs -P2: %s (whole process), %s (install)\n", all[Wizard].SpeedAgainst(all[Xargs]).c_str(),
                install[0].SpeedAgainst(all[Xargs]).c_str());
    std::printf("  CPU, wizard over the 7z x loop: %.2f (whole process), %.2f (install)\n",
                all[Wizard].Median(&TSample::Cpu) / all[Loop].Median(&TSample::Cpu),
                install[0].Median(&TSample::Cpu) / all[Loop].Median(&TSample::Cpu));
    std::printf("  peak, wizard over the 7z CLI: %+.1f MB\n", (all[Wizard].PeakKb() - all[Loop].PeakKb()) / 1024.0);
    std::printf("load average at end %.2f; trees %s\n", LoadAverage(), allSame ? "identical" : "DIFFER");
    return allSame ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--wizard") == 0)
        return WizardOnce(argc, argv, argv[2], argv[3], atoi(argv[4]));
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int count = argc > 2 ? std::max(1, atoi(argv[2])) : 40;
    try {
        return Compare(rounds, count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
