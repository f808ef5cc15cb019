// The installation of a mod-like set through the whole wizard path (worker, file bar
// updater, synchronised calls, offscreen window) against `7z x` of the same archives,
// measured in the same run. Also the file bar updater paced against spinning, and the cost
// of the install record. The sides take turns in a rotating order, each run into a fresh
// folder; everything goes at the end.
// Usage: worker_bench [files=2000] [MiB=128] [rounds=5]; honours TMPDIR.
#include "BenchRun.h"
#include "TScratchFolder.h"
#include "TSeries.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "archive/ThPBFUpdate.h"
#include "archive/ThUnPackFiles.h"
#include "archive/UnpackProgress.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/TThread.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStackedWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>

namespace {

bool Run7z(const QStringList& args, const QString& dir = QString())
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(QStringLiteral("7z"), args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// About 2,000 files, 128 MB: scripts and XML (compressible), textures and models (not).
void MakeModSet(const QString& dir, int files, qint64 totalBytes)
{
    std::mt19937_64 rng(20260611);
    const QStringList folders = {"gui/flash/", "gui/maps/icons/vehicle/", "scripts/client/gui/mods/",
                                 "vehicles/russian/R04_T-34/normal/lod0/", "gui/scaleform/", "audioww/"};
    const qint64 mean = totalBytes / files;
    for (int i = 0; i < files; ++i) {
        const bool text = i % 3 != 0;
        const QString rel = folders[i % folders.size()] + QStringLiteral("item_%1.%2").arg(i).arg(text ? "xml" : "dds");
        QDir().mkpath(QFileInfo(dir + '/' + rel).path());
        // Sizes spread from a few bytes to three times the mean.
        const qint64 size = std::uniform_int_distribution<qint64>(16, 2 * mean - 16)(rng);
        QByteArray data(size, '\0');
        if (text) {
            static const char* words[] = {"<item>", "</item>", "<name>", "tank", "gun", "0.125", "true",
                                          "shadow", "\n  ", "texture", "</name>"};
            for (qint64 k = 0; k < size; ++k)
                data[k] = words[(k / 6 + i + (rng() % 4 == 0)) % 11][k % 6];
        } else {
            for (qint64 k = 0; k + 8 <= size; k += 8) {
                const uint64_t v = rng();
                memcpy(data.data() + k, &v, 8);
            }
        }
        QFile f(dir + '/' + rel);
        f.open(QIODevice::WriteOnly);
        f.write(data);
    }
}

qint64 TreeBytes(const QString& dir, int* count)
{
    qint64 sum = 0;
    *count = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        sum += it.fileInfo().size();
        ++*count;
    }
    return sum;
}

struct TRun {
    double Wall = 0, MainCpu = 0, UpdaterCpu = 0;
};

TRun TimeWorker(TFMain& w, const QString& archive, const QString& out, int passMs)
{
    QDir().mkpath(out);
    ThPBFUpdate::PassIntervalMs = passMs;
    w.PCFrames->setCurrentIndex(TFMain::PageProgress);
    w.SetSystemMenu(false);
    InstallFinished = false;
    const int64_t updBefore = ThPBFUpdate::CpuMicroseconds;
    const double mainBefore = TThread::CurrentThreadCpuSeconds();
    QElapsedTimer t;
    t.start();
    w.StartInstaller({archive.toStdString()}, out.toStdString());
    // Blocks between events, as the real loop does, so the main thread's CPU is its own work.
    QTimer tick;
    tick.start(50);
    while (w.PCFrames->currentIndex() != TFMain::PageDone && !(InstallFinished && ThUnPackFiles::LiveCount() == 0))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TRun r;
    r.Wall = t.nsecsElapsed() / 1e9;
    r.MainCpu = TThread::CurrentThreadCpuSeconds() - mainBefore;
    while (ThUnPackFiles::LiveCount() > 0 || ThPBFUpdate::LiveCount() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    r.UpdaterCpu = (ThPBFUpdate::CpuMicroseconds - updBefore) / 1e6;
    return r;
}


// One line per side: wall time, its speed against 7z x, and the CPU of the two threads.
void Report(const char* name, const TSeries& wall, const TSeries& cli, const TSeries* mainCpu, const TSeries* updCpu)
{
    std::printf("  %-14s %-26s", name, wall.Text().c_str());
    if (&wall != &cli)
        std::printf(" %-20s", wall.SpeedAgainst(cli).c_str());
    if (mainCpu)
        std::printf(" main %6.3f s  updater %6.3f s", mainCpu->Median(), updCpu->Median());
    std::printf("\n");
}

int Compare(int argc, char** argv, TScratchFolder& scratch)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? atoi(argv[1]) : 2000;
    const qint64 bytes = (argc > 2 ? atoll(argv[2]) : 128) << 20;
    const int rounds = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    const QString root = QString::fromStdString(scratch.Path());
    auto path = [&root](const QString& rel) { return root + '/' + rel; };

    const QString src = path("src");
    MakeModSet(src, files, bytes);
    int srcCount = 0;
    const qint64 srcBytes = TreeBytes(src, &srcCount);
    std::printf("mod set: %d files, %.1f MB in %s; %d rounds, sides in rotating order; load average %.2f\n",
                srcCount, srcBytes / 1048576.0, qPrintable(root), rounds, LoadAverage());
    QDir().mkpath(path("prog/Mods"));
    const QStringList archives = {path("prog/Mods/set.7z"), path("prog/Mods/set.zip")};
    Run7z({"a", "-t7z", "-mx3", "-bd", "-bso0", archives[0], "."}, src);
    Run7z({"a", "-tzip", "-bd", "-bso0", archives[1], "."}, src);

    SetExecutablePathOverride(path("prog/Setup").toStdString());
    SetMessageBoxHandler([](const QString& text, TMsgButtons) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return TMsgResult::Ok;
    });
    TFMain w;
    w.show();
    QCoreApplication::processEvents();

    // Installations keep their record here; a data folder below a plain file cannot be made,
    // which leaves an installation unrecorded, as it was before records were kept.
    const QByteArray recorded = path("data").toLocal8Bit();
    const QByteArray unrecordable = path("no-data/data").toLocal8Bit();
    QFile(path("no-data")).open(QIODevice::WriteOnly);
    qputenv("XDG_DATA_HOME", recorded);

    enum { Cli, Paced, Spin, Bare, Sides };
    const char* names[] = {"7z x", "paced", "spin", "paced, no rec"};
    bool allSame = true;
    for (const QString& a : archives) {
        TSeries wall[Sides], mainCpu[Sides], updCpu[Sides];
        for (int r = 0; r < rounds; ++r) {
            for (int side : RoundOrder(r, Sides)) {
                const QString out = QString::fromStdString(scratch.Fresh("run#"));
                if (side == Cli) {
                    wall[side].Add(RunChild({"7z", "x", "-y", "-bd", "-bso0", "-o" + out.toStdString(), a.toStdString()}));
                    continue;
                }
                if (side == Bare)
                    qputenv("XDG_DATA_HOME", unrecordable);
                const TRun run = TimeWorker(w, a, out, side == Spin ? 0 : 15);
                qputenv("XDG_DATA_HOME", recorded);
                wall[side].Add(run.Wall);
                mainCpu[side].Add(run.MainCpu);
                updCpu[side].Add(run.UpdaterCpu);
                int n = 0;
                if (TreeBytes(out, &n) != srcBytes || n != srcCount)
                    allSame = false;
            }
        }
        std::printf("\n%s: wall s, median (range) | vs 7z x (range) | median CPU\n", qPrintable(QFileInfo(a).suffix()));
        Report(names[Cli], wall[Cli], wall[Cli], nullptr, nullptr);
        for (int side = Paced; side < Sides; ++side)
            Report(names[side], wall[side], wall[Cli], &mainCpu[side], &updCpu[side]);
        std::printf("  record cost: %+.1f%% of the paced median\n", (wall[Paced].Median() / wall[Bare].Median() - 1) * 100);
    }
    std::printf("\nvs 7z x: throughput of the worker path relative to 7z x (1.0 = equal); load average %.2f; "
                "trees %s\n", LoadAverage(), allSame ? "complete" : "INCOMPLETE");
    w.close();
    return allSame ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int rc = 1;
    TScratchFolder scratch("worker-bench");
    scratch.SpreadOverBlockGroups();
    ::setenv("TMPDIR", scratch.Path().c_str(), 1);  // the run's working folder stays in here
    try {
        rc = Compare(argc, argv, scratch);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    // The worker threads and the window are not torn down at exit (_Exit runs no
    // destructors), so the scratch folder goes by hand first.
    scratch.Remove();
    std::fflush(nullptr);
    std::_Exit(rc);
}
