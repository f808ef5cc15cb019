// The installation of a mod-like set through the whole wizard path (worker, file bar
// updater, synchronised calls, offscreen window) against `7z x` of the same archives,
// measured in the same run. Also the file bar updater paced against spinning.
#include "app/ShellState.h"
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
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
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

double TimeCli(const QString& archive, const QString& out)
{
    QDir(out).removeRecursively();
    QElapsedTimer t;
    t.start();
    if (!Run7z({"x", "-y", "-bd", "-bso0", "-o" + out, archive}))
        std::fprintf(stderr, "7z x failed on %s\n", qPrintable(archive));
    return t.nsecsElapsed() / 1e9;
}

struct TRun {
    double Wall = 0, MainCpu = 0, UpdaterCpu = 0;
};

TRun TimeWorker(TFMain& w, const QString& archive, const QString& out, int passMs)
{
    QDir(out).removeRecursively();
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

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toLocal8Bit());  // the run's working folder stays in here
    QApplication app(argc, argv);
    const int files = argc > 1 ? atoi(argv[1]) : 2000;
    const qint64 bytes = (argc > 2 ? atoll(argv[2]) : 128) << 20;
    const int rounds = argc > 3 ? atoi(argv[3]) : 3;

    const QString src = tmp.filePath("src");
    MakeModSet(src, files, bytes);
    int srcCount = 0;
    const qint64 srcBytes = TreeBytes(src, &srcCount);
    std::printf("mod set: %d files, %.1f MB; %d rounds, best of each\n", srcCount, srcBytes / 1048576.0, rounds);
    QDir().mkpath(tmp.filePath("prog/Mods"));
    const QStringList archives = {tmp.filePath("prog/Mods/set.7z"), tmp.filePath("prog/Mods/set.zip")};
    Run7z({"a", "-t7z", "-mx3", "-bd", "-bso0", archives[0], "."}, src);
    Run7z({"a", "-tzip", "-bd", "-bso0", archives[1], "."}, src);

    SetExecutablePathOverride(tmp.filePath("prog/Setup").toStdString());
    SetMessageBoxHandler([](const QString& text, TMsgButtons) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return TMsgResult::Ok;
    });
    TFMain w;
    w.show();
    QCoreApplication::processEvents();

    // Installations keep their record here; a data folder below a plain file cannot be made,
    // which leaves an installation unrecorded, as it was before records were kept.
    const QByteArray recorded = tmp.filePath("data").toLocal8Bit();
    const QByteArray unrecordable = tmp.filePath("no-data/data").toLocal8Bit();
    QFile(tmp.filePath("no-data")).open(QIODevice::WriteOnly);
    qputenv("XDG_DATA_HOME", recorded);

    std::printf("%-5s %9s %9s %7s %9s %7s | %-24s | %-24s | %s\n", "", "7z x s", "paced s", "ratio", "spin s",
                "ratio", "paced: main / updater CPU", "spin: main / updater CPU", "paced, no record: s, record cost");
    for (const QString& a : archives) {
        const QString out = tmp.filePath("out");
        double cli = 1e9;
        TRun paced{1e9, 0, 0}, spin{1e9, 0, 0}, bare{1e9, 0, 0};
        for (int r = 0; r < rounds; ++r) {
            cli = std::min(cli, TimeCli(a, out));
            const TRun p = TimeWorker(w, a, out, 15);
            if (p.Wall < paced.Wall)
                paced = p;
            int n = 0;
            if (TreeBytes(out, &n) != srcBytes || n != srcCount)
                std::fprintf(stderr, "worker output differs from the set\n");
            const TRun s = TimeWorker(w, a, out, 0);
            if (s.Wall < spin.Wall)
                spin = s;
            qputenv("XDG_DATA_HOME", unrecordable);
            const TRun b = TimeWorker(w, a, out, 15);
            qputenv("XDG_DATA_HOME", recorded);
            if (b.Wall < bare.Wall)
                bare = b;
        }
        std::printf("%-5s %9.3f %9.3f %7.3f %9.3f %7.3f | %8.3f s / %8.3f s   | %8.3f s / %8.3f s   | %7.3f %+6.1f%%\n",
                    qPrintable(QFileInfo(a).suffix()), cli, paced.Wall, cli / paced.Wall, spin.Wall,
                    cli / spin.Wall, paced.MainCpu, paced.UpdaterCpu, spin.MainCpu, spin.UpdaterCpu, bare.Wall,
                    (paced.Wall / bare.Wall - 1) * 100);
    }
    std::printf("ratio: throughput of the worker path relative to 7z x (1.0 = equal)\n");
    w.close();
    std::fflush(nullptr);
    std::_Exit(0);
}
