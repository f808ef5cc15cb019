// The installation from end to end: the real window, the real 7z.so, archives made by the
// 7z CLI, and the target compared with what `7z x` makes of the same archives.
#include "WorkerFixtures.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "app/TProgressPage.h"
#include "archive/TRecordStore.h"
#include "archive/TPackInstall.h"
#include "archive/ThPBFUpdate.h"
#include "archive/ThUnPackFiles.h"
#include "archive/UnpackProgress.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/TThread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QDir>
#include <QLabel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace WorkerFixtures;

namespace {

QString Row(TLangText row, int lang)
{
    return QString::fromUtf8(LangTexts[row][lang]);
}

// Every message box the program shows, answered by the test.
struct TBoxes {
    QStringList Texts;
    std::function<TMsgResult(const QString&)> Answer;
};

class TProbeThread : public TThread {
public:
    explicit TProbeThread(std::function<void(TProbeThread&)> body) : TThread(true), FBody(std::move(body)) {}
    ~TProbeThread() override
    {
        WaitFor();
        if (Destroyed)
            *Destroyed = true;
    }
    void Sync(const std::function<void()>& fn) { Synchronize(fn); }
    std::atomic<bool>* Destroyed = nullptr;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TProbeThread&)> FBody;
};

bool WaitWorkersEnded(int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (ThUnPackFiles::LiveCount() > 0 || ThPBFUpdate::LiveCount() > 0) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

void SaveShot(QWidget* w, const QString& name)
{
    const QString dir = QStringLiteral(SCREENSHOT_DIR);
    QDir().mkpath(dir);
    QVERIFY(w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}

}  // namespace

class WorkerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FTmp;
    TBoxes FBoxes;
    QByteArray FOldTmp;

    QString Path(const QString& rel) const { return FTmp->filePath(rel); }

    // An archive of a fresh tree: returns its path.
    QString Archive(const QString& rel, const QString& prefix, int count, int maxSize, const QString& type)
    {
        const QString src = Path(QStringLiteral("src/") + prefix);
        MakeTree(src, prefix, count, maxSize, qHash(prefix));
        const QString a = Path(rel);
        if (!MakeArchive(a, src, type))
            return QString();
        return a;
    }

    // A shown window on the progress page, as page 2 leaves it.
    std::unique_ptr<TFMain> ProgressWindow()
    {
        auto w = std::make_unique<TFMain>();
        w->show();
        // The library is the copy staged from the program's own resources; closing the
        // window deletes it, so LibPath must never name a file outside the working folder.
        if (!LibStaged || !QString::fromStdString(LibPath).startsWith(Path(QStringLiteral("tmp"))))
            qFatal("the archive library was not staged into the test's working folder");
        w->PCFrames->setCurrentIndex(TFMain::PageProgress);
        w->BBack->hide();
        w->BNext->hide();
        w->SetSystemMenu(false);
        InstallFinished = false;
        // What an earlier run left: the hold below waits for this archive's own total.
        FileBytesTotal = 1;
        FileBytesDone = 0;
        return w;
    }

    // Holds the worker at a safe point inside its first archive.
    bool HoldInsideFirstArchive()
    {
        if (!TThread::SuspendIfAlive(Installer))
            return false;
        return QTest::qWaitFor([] { return FileBytesTotal > 1; }, 20000);
    }


    // An archive of a pack: files of its own plus names every archive writes, and a name
    // every other archive writes, each with this archive's own bytes.
    QString PackArchive(int index, const QString& type)
    {
        const QString name = QStringLiteral("p%1").arg(index);
        const QString src = Path(QStringLiteral("src/") + name);
        MakeTree(src, name, 12, 40000, qHash(name));
        QDir().mkpath(src + QStringLiteral("/shared"));
        const QByteArray mine = QByteArray("written by ") + name.toLatin1();
        for (const QString& rel : {QStringLiteral("shared/clash.txt"),
                                   QStringLiteral("shared/") + (index % 2 ? "odd.bin" : "even.bin")}) {
            QFile f(src + QLatin1Char('/') + rel);
            if (!f.open(QIODevice::WriteOnly) || f.write(mine.repeated(100 + index)) < 0)
                return QString();
        }
        const QString a = Path(QStringLiteral("prog/P/%1.%2").arg(name, type));
        return MakeArchive(a, src, type) ? a : QString();
    }

    // The install of archives into target with up to parallel extractions at once; the
    // failure box's details, if one was shown.
    QStringList InstallPack(const QStringList& archives, const QString& target, int parallel)
    {
        QStringList details;
        SetDetailsBoxHandler([&](const QString&, const QString& d) { details << d; });
        TPackInstall::ParallelOverride = parallel;
        std::vector<std::string> items;
        for (const QString& a : archives)
            items.push_back(a.toStdString());
        {
            auto w = ProgressWindow();
            w->StartInstaller(items, target.toStdString());
            [&] { QVERIFY(WaitWorkersEnded()); }();
        }
        TPackInstall::ParallelOverride = 0;
        SetDetailsBoxHandler(nullptr);
        return details;
    }

    // The record of target's last installation: its status and every file line.
    static QStringList Record(const QString& target)
    {
        const std::optional<TInstallRecord> j =
            TRecordStore().Load(TRecordStore::CanonicalFolder(target.toStdString()));
        if (!j || j->Installs.empty())
            return {};
        QStringList out{QString::fromStdString(j->Installs.back().Status)};
        for (const auto& [path, f] : j->Files)
            out << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(QString::fromStdString(path))
                       .arg(f.Size)
                       .arg(QString::fromStdString(f.Fingerprint), QString::number(f.HasBackup),
                            QString::fromStdString(f.Archive));
        return out;
    }

private slots:
    void init()
    {
        FTmp = std::make_unique<QTemporaryDir>();
        QVERIFY(FTmp->isValid());
        ResetShellState();
        LangIndex = 1;
        FBoxes = TBoxes();
        SetMessageBoxHandler([this](const QString& text, TMsgButtons) {
            FBoxes.Texts << text;
            return FBoxes.Answer ? FBoxes.Answer(text) : TMsgResult::Ok;
        });
        QDir().mkpath(Path(QStringLiteral("prog")));
        // The run's working folder (staged catalogue and library) goes with the test's folder.
        QDir().mkpath(Path(QStringLiteral("tmp")));
        FOldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", Path(QStringLiteral("tmp")).toLocal8Bit());
        // Install records and backups stay inside the test's folder.
        qputenv("XDG_DATA_HOME", Path(QStringLiteral("data")).toLocal8Bit());
        SetExecutablePathOverride(Path(QStringLiteral("prog/Setup")).toStdString());
    }

    void cleanup()
    {
        // A test that failed while holding the worker lets it go, so the next one starts clean.
        for (int i = 0; i < 4 && TThread::SuspendIfAlive(Installer); ++i) {
            Installer->Resume();
            Installer->Resume();
        }
        QVERIFY(WaitWorkersEnded());
        SetMessageBoxHandler(nullptr);
        SetExecutablePathOverride("");
        if (FOldTmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", FOldTmp);
        FTmp.reset();
    }

    // --- The thread class ---

    void synchronizedCallsRunOnTheMainThreadInOrder()
    {
        constexpr int Threads = 4, Calls = 60;
        std::vector<std::vector<int>> seen(Threads);
        std::atomic<int> offMain{0}, done{0};
        for (int t = 0; t < Threads; ++t) {
            auto* th = new TProbeThread([&, t](TProbeThread& self) {
                for (int i = 0; i < Calls; ++i)
                    self.Sync([&, t, i] {
                        if (QThread::currentThread() != qApp->thread())
                            ++offMain;
                        seen[t].push_back(i);
                    });
                ++done;
            });
            th->SetFreeOnTerminate(true);
            th->Resume();
        }
        QTRY_COMPARE_WITH_TIMEOUT(done.load(), Threads, 20000);
        QCOMPARE(offMain.load(), 0);
        for (const auto& s : seen) {
            QCOMPARE(int(s.size()), Calls);
            for (int i = 0; i < Calls; ++i)
                QCOMPARE(s[i], i);
        }
        // On the main thread the call runs at once, inside Synchronize.
        TProbeThread idle([](TProbeThread&) {});
        bool ran = false;
        idle.Sync([&] { ran = true; });
        QVERIFY(ran);
        // An exception of the main-thread call reaches the waiting thread.
        std::atomic<bool> caught{false};
        auto* thrower = new TProbeThread([&](TProbeThread& self) {
            try {
                self.Sync([] { throw std::runtime_error("x"); });
            } catch (const std::runtime_error&) {
                caught = true;
            }
        });
        thrower->SetFreeOnTerminate(true);
        thrower->Resume();
        QTRY_VERIFY(caught.load());
    }

    void suspendHoldsAtSafePointsAndFreeOnTerminateDeletes()
    {
        std::atomic<long> passes{0};
        std::atomic<bool> destroyed{false};
        auto* th = new TProbeThread([&](TProbeThread& self) {
            while (!self.Terminated()) {
                self.PassSuspendPoint();
                ++passes;
            }
        });
        th->Destroyed = &destroyed;
        th->SetFreeOnTerminate(true);
        QVERIFY(th->FreeOnTerminate());
        QTest::qWait(20);
        QCOMPARE(passes.load(), 0L);  // created suspended: not started
        th->Resume();
        QTRY_VERIFY(passes.load() > 100);
        QVERIFY(TThread::SuspendIfAlive(th));
        QTest::qWait(20);
        const long held = passes;
        QTest::qWait(50);
        QVERIFY(passes.load() - held <= 1);
        th->Terminate();
        QTest::qWait(20);
        QVERIFY(!destroyed);  // a suspended thread stays in being until resumed
        th->Resume();
        QTRY_VERIFY(destroyed.load());
        QVERIFY(!TThread::SuspendIfAlive(th));
    }

    void destroyingARunningThreadWaitsForItsBody()
    {
        std::atomic<bool> finished{false};
        {
            TProbeThread th([&](TProbeThread&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                finished = true;
            });
            th.Resume();
        }
        QVERIFY(finished);
    }

    // --- The file bar ---

    void fileBarStartsFreshAndScalesLargeArchives()
    {
        auto w = ProgressWindow();
        FileBytesTotal = 123456;
        FileBytesDone = 123456;  // what the last archive left
        ThPBFUpdate u(true, std::make_shared<TProgressPage>(*w));
        QCOMPARE(FileBytesTotal.load(), 1);
        QCOMPARE(FileBytesDone.load(), 0);
        u.UpdateFileBar();
        QCOMPARE(w->PBFile->maximum(), 1);
        QCOMPARE(w->PBFile->value(), 0);

        FileBytesTotal = 1000;
        FileBytesDone = 250;
        u.UpdateFileBar();
        QCOMPARE(w->PBFile->maximum(), 1000);
        QCOMPARE(w->PBFile->value(), 250);

        // 10 GiB, a third done: the low 32 bits alone would show nonsense.
        const int64_t big = int64_t(10) << 30;
        FileBytesTotal = big;
        FileBytesDone = big / 3;
        u.UpdateFileBar();
        QVERIFY(w->PBFile->maximum() > (1 << 30));
        QVERIFY(w->PBFile->maximum() <= INT_MAX);
        QVERIFY(qAbs(double(w->PBFile->value()) / w->PBFile->maximum() - 1.0 / 3) < 1e-6);
        FileBytesDone = big;
        u.UpdateFileBar();
        QCOMPARE(w->PBFile->value(), w->PBFile->maximum());
        // More done than announced (a sloppy total) stays a full bar, not a reset one.
        FileBytesTotal = 100;
        FileBytesDone = 300;
        u.UpdateFileBar();
        QCOMPARE(w->PBFile->value(), 100);
    }

    // --- The whole wizard ---

    void wizardWalk_data()
    {
        QTest::addColumn<int>("lang");
        QTest::newRow("ru") << 0;
        QTest::newRow("en") << 1;
    }

    void wizardWalk()
    {
        QFETCH(int, lang);
        const QString a7z = Archive(QStringLiteral("prog/Crosshairs/cross.7z"), QStringLiteral("cross"), 60,
                                    300000, QStringLiteral("7z"));
        const QString azip = Archive(QStringLiteral("prog/Sounds/sounds.zip"), QStringLiteral("snd"), 40,
                                     200000, QStringLiteral("zip"));
        QVERIFY(!a7z.isEmpty() && !azip.isEmpty());
        QVERIFY(ReferenceExtract({a7z, azip}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("game/res_mods/1.0.0"));
        // A program file with a version record, which the window shows, as beside a real install.
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), Path(QStringLiteral("prog/Setup"))));

        TFMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.CBChLang->setCurrentIndex(lang);
        w.CBChLangChange();
        QTest::mouseClick(w.BNext, Qt::LeftButton);
        QCOMPARE(w.PCFrames->currentIndex(), int(TFMain::PageFiles));
        // The analysed folder: two groups, each with its one archive checked.
        QStringList leaves;
        for (TTreeNode* n = w.TVFiles->Items()->GetFirstNode(); n; n = n->GetNext())
            if (n->Level() == 1)
                leaves << n->Parent()->Text() + QLatin1Char('/') + n->Text() + QLatin1Char(':') +
                              QString::number(n->StateIndex());
        QCOMPARE(leaves, (QStringList{QStringLiteral("Crosshairs/cross.7z:2"), QStringLiteral("Sounds/sounds.zip:2")}));

        QTest::mouseClick(w.BNext, Qt::LeftButton);
        QCOMPARE(w.PCFrames->currentIndex(), int(TFMain::PagePath));
        w.EDir->setText(target);

        // Every sample of the file bar stays inside its range.
        int outOfRange = 0;
        connect(w.PBFile, &QProgressBar::valueChanged, &w, [&](int v) {
            if (v > w.PBFile->maximum())
                ++outOfRange;
        });
        FileBytesTotal = 1;
        FileBytesDone = 0;
        QTest::mouseClick(w.BNext, Qt::LeftButton);
        QCOMPARE(w.PCFrames->currentIndex(), int(TFMain::PageProgress));
        QVERIFY(!w.HasSystemMenu());

        // Pause in the first archive about a third of the way in, for the picture.
        QVERIFY(HoldInsideFirstArchive());
        for (int i = 0; i < 2000 && FileBytesDone * 3 < FileBytesTotal; ++i) {
            Installer->Resume();
            QTest::qWait(1);
            QVERIFY(TThread::SuspendIfAlive(Installer));
        }
        QTest::qWait(60);
        SaveShot(&w, QStringLiteral("worker_progress_%1").arg(lang ? "en" : "ru"));
        QCOMPARE(w.PBMain->maximum(), 2);
        QCOMPARE(w.PBMain->value(), 0);
        Installer->Resume();

        QTRY_COMPARE_WITH_TIMEOUT(w.PCFrames->currentIndex(), int(TFMain::PageDone), 60000);
        QVERIFY(WaitWorkersEnded());
        QVERIFY(InstallFinished);
        QCOMPARE(w.BCancel->text(), Row(ltDone, lang));
        QCOMPARE(w.LUPCancel->text(), Row(ltInstallSuccessful, lang));
        QVERIFY(w.HasSystemMenu());
        QCOMPARE(w.PBMain->value(), 2);
        QCOMPARE(outOfRange, 0);
        QVERIFY(FBoxes.Texts.isEmpty());
        SaveShot(&w, QStringLiteral("worker_done_%1").arg(lang ? "en" : "ru"));

        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));
        QVERIFY(TempFiles(target).isEmpty());

        QTest::mouseClick(w.BCancel, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(FBoxes.Texts.isEmpty());
    }

    // --- Failures, cancel, the empty list ---

    void damagedSecondArchiveStopsBeforeTheThird()
    {
        const QString a = Archive(QStringLiteral("prog/M/a.7z"), QStringLiteral("a"), 20, 50000, QStringLiteral("7z"));
        const QString b = Archive(QStringLiteral("prog/M/b.7z"), QStringLiteral("b"), 20, 50000, QStringLiteral("7z"));
        const QString c = Archive(QStringLiteral("prog/M/c.zip"), QStringLiteral("c"), 20, 50000, QStringLiteral("zip"));
        QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty());
        QVERIFY(ReferenceExtract({a}, Path(QStringLiteral("ref"))));
        QVERIFY(DamageHeader(b));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        auto w = ProgressWindow();
        int mainAt = -1, mainMax = -1, updaters = -1;
        bool finishedAtBox = true;
        FBoxes.Answer = [&](const QString&) {
            mainAt = w->PBMain->value();
            mainMax = w->PBMain->maximum();
            updaters = ThPBFUpdate::LiveCount();
            finishedAtBox = InstallFinished;
            return TMsgResult::Ok;
        };
        w->StartInstaller({a.toStdString(), b.toStdString(), c.toStdString()}, target.toStdString());
        QVERIFY(WaitWorkersEnded());

        QCOMPARE(FBoxes.Texts.size(), 1);
        QCOMPARE(FBoxes.Texts[0].section(QStringLiteral("\n\n"), 0, 0), Row(ltInstallFailed, 1));  // then the details
        QCOMPARE(mainAt, 1);
        QCOMPARE(mainMax, 3);
        QCOMPARE(updaters, 0);
        QVERIFY(!finishedAtBox);  // set only once the box is closed
        QVERIFY(InstallFinished);
        QCOMPARE(w->PCFrames->currentIndex(), int(TFMain::PageProgress));
        QVERIFY(!w->HasSystemMenu());
        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));  // nothing of b or c

        QTest::mouseClick(w->BCancel, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(FBoxes.Texts.size(), 1);  // no question after the failure
    }

    void exitAnsweredNoGoesOn()
    {
        const QString a = Archive(QStringLiteral("prog/M/a.7z"), QStringLiteral("a"), 40, 400000, QStringLiteral("7z"));
        const QString b = Archive(QStringLiteral("prog/M/b.zip"), QStringLiteral("b"), 40, 200000, QStringLiteral("zip"));
        QVERIFY(ReferenceExtract({a, b}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        auto w = ProgressWindow();
        bool paused = false;
        FBoxes.Answer = [&](const QString&) {
            // The worker stands still while the question is open.
            const int64_t before = FileBytesDone;
            Installer->Resume();  // let go of the test's own hold: Exit's suspend alone remains
            QTest::qWait(150);
            paused = FileBytesDone == before && ThUnPackFiles::LiveCount() == 1;
            paused = TThread::SuspendIfAlive(Installer) && paused;  // hold again, for the checks
            return TMsgResult::No;
        };
        w->StartInstaller({a.toStdString(), b.toStdString()}, target.toStdString());
        QVERIFY(HoldInsideFirstArchive());
        QTest::mouseClick(w->BCancel, Qt::LeftButton);
        QCOMPARE(FBoxes.Texts, QStringList{Row(ltCancelInstall, 1)});
        QVERIFY(paused);
        QVERIFY(w->isVisible());
        QVERIFY(!InstallFinished);
        Installer->Resume();

        QTRY_COMPARE_WITH_TIMEOUT(w->PCFrames->currentIndex(), int(TFMain::PageDone), 60000);
        QVERIFY(WaitWorkersEnded());
        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));
    }

    // RAR 1.5-4.x and RAR5 archives beside a 7z, in the Russian interface: the Exit question
    // is the real box, whose buttons read in Russian; answering No lets every archive finish.
    void rarArchivesInstallAndTheRussianQuestionReadsDaNet()
    {
        if (QStringLiteral(SETUP_EMBEDDED_7Z_LIBRARY) != QStringLiteral(SETUP_TEST_7Z_LIBRARY))
            QSKIP("the embedded archive library is not the one built with RAR codecs");
        const QString a = Archive(QStringLiteral("prog/M/a.7z"), QStringLiteral("a"), 40, 400000, QStringLiteral("7z"));
        QVERIFY(ReferenceExtract({a}, Path(QStringLiteral("ref"))));
        QStringList archives{a};
        for (const char* name : {"test_read_format_rar.rar", "test_read_format_rar3_lowdist_reset.rar",
                                 "test_read_format_rar5_solid.rar"}) {
            const QString copy = Path(QStringLiteral("prog/M/") + QLatin1String(name));
            QVERIFY(QFile::copy(QStringLiteral(SETUP_TEST_RAR_FIXTURES "/") + QLatin1String(name), copy));
            archives << copy;
        }
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        auto w = ProgressWindow();
        w->CBChLang->setCurrentIndex(0);
        emit w->CBChLang->activated(0);
        SetMessageBoxHandler(nullptr);
        std::vector<std::string> items;
        for (const QString& p : archives)
            items.push_back(p.toStdString());
        w->StartInstaller(items, target.toStdString());
        QVERIFY(HoldInsideFirstArchive());
        QStringList buttons;
        QTimer answer;
        // Fires inside the box's own event loop once it is up.
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            answer.stop();
            for (QAbstractButton* b : box->buttons())
                buttons << b->text().remove(QLatin1Char('&'));
            box->button(QMessageBox::No)->click();
        });
        answer.start(10);
        QTest::mouseClick(w->BCancel, Qt::LeftButton);
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QString::fromUtf8("Да"), QString::fromUtf8("Нет")}));
        QVERIFY(!InstallFinished);
        Installer->Resume();

        QTRY_COMPARE_WITH_TIMEOUT(w->PCFrames->currentIndex(), int(TFMain::PageDone), 60000);
        QVERIFY(WaitWorkersEnded());
        QCOMPARE(w->BCancel->text(), QString::fromUtf8("Готово"));
        // The library checks every RAR item's CRC on the way (contents: the archive tests);
        // here every item of every archive has to be there.
        const QMap<QString, QByteArray> ref = TreeDigest(Path(QStringLiteral("ref")));
        QMap<QString, QByteArray> got = TreeDigest(target);
        for (const char* rarItem : {"test.txt", "testdir/test.txt", "testlink", "lowdist-reset.bin", "test.bin",
                                    "test1.bin", "test2.bin", "test3.bin", "test4.bin", "test5.bin", "test6.bin"})
            QVERIFY2(got.remove(QLatin1String(rarItem)) == 1, rarItem);
        QCOMPARE(got, ref);

        w->CBChLang->setCurrentIndex(1);
        emit w->CBChLang->activated(1);
    }

    void exitAnsweredYesStopsAfterTheCurrentArchive()
    {
        const QString a = Archive(QStringLiteral("prog/M/a.7z"), QStringLiteral("a"), 40, 400000, QStringLiteral("7z"));
        const QString b = Archive(QStringLiteral("prog/M/b.zip"), QStringLiteral("b"), 40, 200000, QStringLiteral("zip"));
        QVERIFY(ReferenceExtract({a}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        auto w = ProgressWindow();
        FBoxes.Answer = [](const QString&) { return TMsgResult::Yes; };
        w->StartInstaller({a.toStdString(), b.toStdString()}, target.toStdString());
        QVERIFY(HoldInsideFirstArchive());
        QTest::mouseClick(w->BCancel, Qt::LeftButton);
        QCOMPARE(FBoxes.Texts, QStringList{Row(ltCancelInstall, 1)});
        QVERIFY(!w->isVisible());
        QVERIFY(InstallFinished);
        // The worker still holds the staged library: it goes only once the worker has ended.
        QVERIFY(QFile::exists(QString::fromStdString(LibPath)));
        Installer->Resume();

        QVERIFY(WaitWorkersEnded());
        QTRY_VERIFY(!QFile::exists(QString::fromStdString(LibPath)));
        QCOMPARE(w->PBMain->value(), 1);
        QCOMPARE(w->PCFrames->currentIndex(), int(TFMain::PageProgress));  // no final page
        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));  // all of a, none of b
        QCOMPARE(FBoxes.Texts.size(), 1);
    }

    void windowDeletedMidInstallationIsNoLongerUpdated()
    {
        const QString a = Archive(QStringLiteral("prog/M/a.7z"), QStringLiteral("a"), 40, 400000, QStringLiteral("7z"));
        const QString b = Archive(QStringLiteral("prog/M/b.zip"), QStringLiteral("b"), 40, 200000, QStringLiteral("zip"));
        QVERIFY(ReferenceExtract({a, b}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        auto w = ProgressWindow();
        w->StartInstaller({a.toStdString(), b.toStdString()}, target.toStdString());
        QVERIFY(HoldInsideFirstArchive());
        // The worker and its file bar updaters outlive the page they were drawing on.
        w.reset();
        Installer->Resume();
        QVERIFY(WaitWorkersEnded());
        QVERIFY(InstallFinished);
        QVERIFY(FBoxes.Texts.isEmpty());
        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));
    }

    void emptyListGoesStraightToTheFinalPage()
    {
        auto w = ProgressWindow();
        w->StartInstaller({}, Path(QStringLiteral("target")).toStdString());
        QTRY_COMPARE_WITH_TIMEOUT(w->PCFrames->currentIndex(), int(TFMain::PageDone), 10000);
        QVERIFY(WaitWorkersEnded());
        QCOMPARE(w->PBMain->maximum(), 0);
        QCOMPARE(w->BCancel->text(), Row(ltDone, 1));
        QVERIFY(w->HasSystemMenu());
        QVERIFY(InstallFinished);
        QVERIFY(FBoxes.Texts.isEmpty());
    }

    // --- Several archives at once ---

    // Whatever runs at once, the target, the record and the failure box come out as when
    // the archives go one after the other: later archives win clashing names, a failing
    // archive keeps the files it placed before the failure and ends the list there.
    void packInParallelEndsAsOneByOne_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("clean") << QString();
        QTest::newRow("damaged data mid-list") << QStringLiteral("damaged");
        QTest::newRow("read-only file hit by a later archive") << QStringLiteral("readonly");
    }

    void packInParallelEndsAsOneByOne()
    {
        QFETCH(QString, fault);
        QStringList archives;
        for (int i = 0; i < 7; ++i)
            archives << PackArchive(i, i == 2 ? QStringLiteral("zip") : QStringLiteral("7z"));
        QVERIFY(!archives.contains(QString()));
        if (fault == QLatin1String("damaged")) {
            // A byte well inside the zip's item data: items before it are good, one is not.
            QFile f(archives[2]);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 at = f.size() * 3 / 5;
            f.seek(at);
            char c = 0;
            f.getChar(&c);
            f.seek(at);
            f.putChar(char(c ^ 0x5A));
        }
        QString failing;
        for (int parallel : {1, 3}) {
            const QString target = Path(QStringLiteral("t%1").arg(parallel));
            QDir().mkpath(target + QStringLiteral("/shared"));
            // A file of the player's that the first archive writing it backs up.
            QFile own(target + QStringLiteral("/shared/clash.txt"));
            QVERIFY(own.open(QIODevice::WriteOnly) && own.write("the player's own") > 0);
            own.close();
            if (fault == QLatin1String("readonly")) {
                QFile ro(target + QStringLiteral("/shared/odd.bin"));
                QVERIFY(ro.open(QIODevice::WriteOnly) && ro.write("kept") > 0);
                ro.close();
                QVERIFY(ro.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
            }
            FBoxes = TBoxes();
            const QStringList details = InstallPack(archives, target, parallel);
            if (fault.isEmpty()) {
                QVERIFY(details.isEmpty());
            } else {
                // The box names the first failing archive in list order: 2 (damaged) or 1
                // (the first to write over the read-only file).
                QCOMPARE(details.size(), 1);
                failing = archives[fault == QLatin1String("damaged") ? 2 : 1];
                QVERIFY2(details[0].contains(failing), qPrintable(details[0]));
                for (const QString& a : archives)
                    QVERIFY(a == failing || !details[0].contains(a));
            }
            QVERIFY(!QFileInfo::exists(target + QLatin1Char('/') + QLatin1String(TPackInstall::StagingName)));
            QVERIFY(TempFiles(target).isEmpty());
        }
        const QString one = Path(QStringLiteral("t1")), three = Path(QStringLiteral("t3"));
        QCOMPARE(TreeDigest(three), TreeDigest(one));
        QStringList record = Record(one);
        QVERIFY(record.size() > 10);
        QCOMPARE(record.first(), fault.isEmpty() ? QStringLiteral("complete") : QStringLiteral("failed"));
        QCOMPARE(Record(three), record);
        if (fault.isEmpty()) {
            // The last archive's bytes win the names all of them write.
            QFile clash(three + QStringLiteral("/shared/clash.txt"));
            QVERIFY(clash.open(QIODevice::ReadOnly));
            QVERIFY(clash.readAll().startsWith("written by p6"));
            QCOMPARE(TreeDigest(three).size(), 7 * 12 + 3);
        }
    }

    // Exit confirmed while the first archive extracts and later ones are done ahead of
    // their turn: the first is finished, nothing of the others reaches the target.
    void cancelMidPackLeavesOnlyTheArchiveInHand()
    {
        const QString big = Archive(QStringLiteral("prog/P/big.7z"), QStringLiteral("big"), 40, 1500000,
                                    QStringLiteral("7z"));
        const QStringList small{PackArchive(1, QStringLiteral("7z")), PackArchive(2, QStringLiteral("zip"))};
        QVERIFY(!big.isEmpty() && !small.contains(QString()));
        QVERIFY(ReferenceExtract({big}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);
        const QString staged = target + QLatin1Char('/') + QLatin1String(TPackInstall::StagingName);

        TPackInstall::ParallelOverride = 3;
        auto w = ProgressWindow();
        FBoxes.Answer = [](const QString&) { return TMsgResult::Yes; };
        w->StartInstaller({big.toStdString(), small[0].toStdString(), small[1].toStdString()}, target.toStdString());
        // The small ones finish staging long before the big one is through.
        const bool ahead = QTest::qWaitFor(
            [&] { return QFileInfo::exists(staged + QStringLiteral("/2/shared/clash.txt")); }, 20000);
        TPackInstall::ParallelOverride = 0;
        QVERIFY(ahead);
        QTest::mouseClick(w->BCancel, Qt::LeftButton);
        QCOMPARE(FBoxes.Texts, QStringList{Row(ltCancelInstall, 1)});
        QVERIFY(WaitWorkersEnded());

        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));
        QVERIFY(!QFileInfo::exists(staged));
        const QStringList record = Record(target);
        QCOMPARE(record.first(), QStringLiteral("cancelled"));
        QCOMPARE(record.size(), 1 + TreeDigest(target).size());
        for (const QString& line : record.mid(1))
            QVERIFY2(line.endsWith(QStringLiteral("P/big.7z")), qPrintable(line));
    }

    // --- What the failure message says ---

    void failureDetailsSayWhatWentWrong_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("phrase");
        // A zip cut between items that reached the worker; a piece of a volume set; an
        // archive deleted after the catalogue probed it.
        QTest::newRow("cut") << "prog/M/cut.zip" << 1 << "Reason: the archive is cut short";
        QTest::newRow("volume") << "prog/M/set.part2.rar" << 0 << "другом томе";
        QTest::newRow("deleted") << "prog/M/gone.zip" << 1 << "Reason: the archive file is missing";
    }

    void failureDetailsSayWhatWentWrong()
    {
        QFETCH(QString, archive);
        QFETCH(int, lang);
        QFETCH(QString, phrase);
        archive = Path(archive);
        QDir().mkpath(Path("prog/M"));
        if (archive.endsWith("cut.zip")) {
            QVERIFY(!Archive("prog/M/full.zip", "cut", 3, 3000, "zip").isEmpty());
            QFile full(Path("prog/M/full.zip")), cut(archive);
            QVERIFY(full.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
            const QByteArray bytes = full.readAll();
            cut.write(bytes.left(bytes.indexOf("PK\x03\x04", 4)));  // up to the second item's header
        } else if (archive.endsWith(".rar")) {
            QVERIFY(QFile::copy(SETUP_TEST_RAR_FIXTURES "/test_rar_multivolume_single_file.part2.rar", archive));
        }
        QStringList details;
        SetDetailsBoxHandler([&](const QString& text, const QString& d) {
            FBoxes.Texts << text;
            details << d;
        });
        auto w = ProgressWindow();
        LangIndex = static_cast<uint16_t>(lang);  // the shown window took the system's
        w->StartInstaller({archive.toStdString()}, Path("target").toStdString());
        QVERIFY(WaitWorkersEnded());
        SetDetailsBoxHandler(nullptr);

        QCOMPARE(FBoxes.Texts, QStringList{Row(ltInstallFailed, lang)});
        QCOMPARE(details.size(), 1);
        QVERIFY2(details[0].contains(archive) && details[0].contains(phrase), qPrintable(details[0]));
        QVERIFY(TreeDigest(Path("target")).isEmpty());
    }

    // --- The process ends while the worker runs ---

    void processExitMidInstallation_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("exit-yes") << QStringLiteral("yes");
        QTest::newRow("loop-ends") << QStringLiteral("quit");
    }

    void processExitMidInstallation()
    {
        QFETCH(QString, mode);
        const QString a = Archive(QStringLiteral("prog/M/big.7z"), QStringLiteral("big"), 60, 1500000,
                                  QStringLiteral("7z"));
        QVERIFY(ReferenceExtract({a}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), Path(QStringLiteral("tmp")));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(EXIT_CHILD), {mode, a, target});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAllStandardOutput();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit, child.readAllStandardError().constData());
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.contains("held mid-extraction"), out.constData());
        QVERIFY(TempFiles(target).isEmpty());
        // Whatever was written is a complete, good copy.
        const auto ref = TreeDigest(Path(QStringLiteral("ref")));
        const auto got = TreeDigest(target);
        QVERIFY(got.size() < ref.size());
        for (auto it = got.begin(); it != got.end(); ++it)
            QCOMPARE(it.value(), ref.value(it.key()));
    }
};

QTEST_MAIN(WorkerTest)
#include "test_worker.moc"
