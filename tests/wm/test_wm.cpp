// The main window under a real window manager (openbox on Xvfb), driven by real X events:
// close requests during an installation, and the window's mapping through installations.
#include "TXDisplay.h"
#include "WorkerFixtures.h"

#include "app/LangTexts.h"
#include "app/ShellState.h"
#include "app/TFMain.h"
#include "archive/ThPBFUpdate.h"
#include "archive/ThUnPackFiles.h"
#include "archive/UnpackProgress.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/TThread.h"

#include <QApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

using namespace WorkerFixtures;

namespace {

TXDisplay* GDisplay = nullptr;

QString Row(int row)
{
    return QString::fromUtf8(LangTexts[row][1]);
}

struct TXWindow {
    bool Viewable = false;
    int X = -1;
    int Y = -1;
};

// What the X server says of a window, not what Qt believes.
TXWindow XState(WId id)
{
    const std::string out = GDisplay->Capture("xwininfo -id " + std::to_string(id));
    TXWindow w;
    w.Viewable = out.find("Map State: IsViewable") != std::string::npos;
    std::sscanf(out.c_str() + std::min(out.size(), out.find("Absolute upper-left X:")), "Absolute upper-left X: %d", &w.X);
    std::sscanf(out.c_str() + std::min(out.size(), out.find("Absolute upper-left Y:")), "Absolute upper-left Y: %d", &w.Y);
    return w;
}

// The client the window manager stacks highest.
bool OnTop(WId id)
{
    const std::string out = GDisplay->Capture("xprop -root _NET_CLIENT_LIST_STACKING");
    const auto last = out.rfind("0x");
    return last != std::string::npos && std::stoul(out.substr(last), nullptr, 16) == id;
}

void Xdo(const std::string& args)
{
    GDisplay->Capture("xdotool " + args);
}

// The close request every window manager sends: WM_DELETE_WINDOW in a WM_PROTOCOLS message.
void SendDeleteWindow(WId id)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    };
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(id);
    ev.type = atom("WM_PROTOCOLS");
    ev.data.data32[0] = atom("WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, static_cast<xcb_window_t>(id), XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

bool WaitWorkersEnded(int ms = 60000)
{
    return QTest::qWaitFor([] { return ThUnPackFiles::LiveCount() == 0 && ThPBFUpdate::LiveCount() == 0; }, ms);
}

}  // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FTmp;
    QByteArray FOldTmp;
    // Called once for every new message box while it is up (inside its own event loop).
    std::function<void(QMessageBox*)> FOnBox;
    QPointer<QMessageBox> FLastBox;
    QTimer FBoxWatch;

    QString Path(const QString& rel) const { return FTmp->filePath(rel); }

    QString Archive(const QString& rel, const QString& prefix, int count, int maxSize, const QString& type)
    {
        const QString src = Path(QStringLiteral("src/") + prefix);
        MakeTree(src, prefix, count, maxSize, qHash(prefix));
        const QString a = Path(rel);
        return MakeArchive(a, src, type) ? a : QString();
    }

    // Shown, managed by the window manager and active.
    std::unique_ptr<TFMain> ManagedWindow()
    {
        auto w = std::make_unique<TFMain>();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()) ||
            !QTest::qWaitFor([&] { return XState(w->winId()).Viewable; }, 5000))
            qFatal("the window was never mapped");
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("the window manager did not activate the window");
        return w;
    }

    bool HoldInsideFirstArchive()
    {
        if (!TThread::SuspendIfAlive(Installer))
            return false;
        return QTest::qWaitFor([] { return FileBytesTotal > 1; }, 20000);
    }

private slots:
    void initTestCase()
    {
        // Boxes open their own event loop; a watch running inside it meets them there.
        connect(&FBoxWatch, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == FLastBox || !box->isVisible())
                return;
            FLastBox = box;
            if (!QTest::qWaitForWindowExposed(box))
                qWarning("the question box was not exposed");
            if (FOnBox)
                FOnBox(box);
        });
        FBoxWatch.start(20);
    }

    void init()
    {
        FTmp = std::make_unique<QTemporaryDir>();
        QVERIFY(FTmp->isValid());
        ResetShellState();
        LangIndex = 1;
        FOnBox = nullptr;
        QDir().mkpath(Path(QStringLiteral("prog")));
        QDir().mkpath(Path(QStringLiteral("tmp")));
        FOldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", Path(QStringLiteral("tmp")).toLocal8Bit());
        SetExecutablePathOverride(Path(QStringLiteral("prog/Setup")).toStdString());
    }

    void cleanup()
    {
        for (int i = 0; i < 4 && TThread::SuspendIfAlive(Installer); ++i) {
            Installer->Resume();
            Installer->Resume();
        }
        QVERIFY(WaitWorkersEnded());
        FOnBox = nullptr;
        SetExecutablePathOverride("");
        if (FOldTmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", FOldTmp);
        FTmp.reset();
    }

    void closeRequestsDuringAnInstallationAsk()
    {
        const QString a = Archive(QStringLiteral("prog/M/a.7z"), QStringLiteral("a"), 40, 400000, QStringLiteral("7z"));
        const QString b = Archive(QStringLiteral("prog/M/b.zip"), QStringLiteral("b"), 40, 200000, QStringLiteral("zip"));
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        QVERIFY(ReferenceExtract({a}, Path(QStringLiteral("ref"))));
        const QString target = Path(QStringLiteral("target"));
        QDir().mkpath(target);

        auto w = ManagedWindow();
        const WId id = w->winId();
        w->PCFrames->setCurrentIndex(TFMain::PageProgress);
        w->BBack->hide();
        w->BNext->hide();
        w->SetSystemMenu(false);
        InstallFinished = false;
        FileBytesTotal = 1;
        FileBytesDone = 0;
        QElapsedTimer started;
        started.start();
        w->StartInstaller({a.toStdString(), b.toStdString()}, target.toStdString());
        QVERIFY(HoldInsideFirstArchive());

        int boxes = 0;
        QStringList texts;
        bool upUnderX = false, windowStayed = false, workerPaused = false, secondAsked = false;
        // Each box: seen by the X server, the window still there, the worker standing
        // still; a further close request meanwhile opens no second question.
        auto inspect = [&](QMessageBox* box) {
            ++boxes;
            texts << box->text();
            upUnderX = XState(box->winId()).Viewable;
            windowStayed = XState(id).Viewable && w->isVisible();
            const int64_t before = FileBytesDone;
            Installer->Resume();  // the test's own hold: Exit's pause alone remains
            SendDeleteWindow(id);
            QTest::qWait(300);
            workerPaused = FileBytesDone == before && ThUnPackFiles::LiveCount() == 1;
            secondAsked = QApplication::activeModalWidget() != box;
            TThread::SuspendIfAlive(Installer);
        };

        // 1. Alt+F4, half a second into the installation; answered No with Escape.
        QTest::qWait(qMax<qint64>(0, 500 - started.elapsed()));
        FOnBox = [&](QMessageBox* box) {
            inspect(box);
            Xdo("key Escape");
        };
        Xdo("key alt+F4");
        QTRY_COMPARE_WITH_TIMEOUT(boxes, 1, 10000);
        QCOMPARE(texts, QStringList{Row(31)});
        QVERIFY(upUnderX);
        QVERIFY(windowStayed);
        QVERIFY(workerPaused);
        QVERIFY(!secondAsked);
        QTest::qWait(200);
        QVERIFY(w->isVisible());
        QVERIFY(XState(id).Viewable);
        QVERIFY(!InstallFinished);
        QCOMPARE(ThUnPackFiles::LiveCount(), 1);

        // 2. Mid-archive, the window manager's close message; answered No with the mouse.
        for (int i = 0; i < 2000 && FileBytesDone == 0; ++i) {
            Installer->Resume();
            QTest::qWait(1);
            QVERIFY(TThread::SuspendIfAlive(Installer));
        }
        QVERIFY(FileBytesDone > 0);
        FOnBox = [&](QMessageBox* box) {
            inspect(box);
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        };
        SendDeleteWindow(id);
        QTRY_COMPARE_WITH_TIMEOUT(boxes, 2, 10000);
        QVERIFY(upUnderX && windowStayed && workerPaused && !secondAsked);
        QTest::qWait(200);
        QVERIFY(XState(id).Viewable);
        QVERIFY(!InstallFinished);

        // 3. Once more, answered Yes with Return: the window closes, the worker finishes the
        // archive it is in, and the staged library stays until it has.
        FOnBox = [&](QMessageBox* box) {
            texts << box->text();
            Xdo("key Return");
        };
        Xdo("key alt+F4");
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
        QCOMPARE(texts, (QStringList{Row(31), Row(31), Row(31)}));
        QVERIFY(InstallFinished);
        QVERIFY(FileExists(LibPath));
        QCOMPARE(ThUnPackFiles::LiveCount(), 1);
        Installer->Resume();
        QVERIFY(WaitWorkersEnded());
        QTRY_VERIFY_WITH_TIMEOUT(!FileExists(LibPath), 5000);
        QCOMPARE(TreeDigest(target), TreeDigest(Path(QStringLiteral("ref"))));  // all of a, none of b
        QVERIFY(TempFiles(target).isEmpty());
    }

    // The real program, started by a launcher from another folder, driven by mouse and keys.
    void programStartedFromAnotherFolderUsesItsOwn()
    {
        const QString prog = Path(QStringLiteral("prog/"));
        QVERIFY(QFile::copy(QStringLiteral(SETUP_BINARY), prog + QStringLiteral("Setup")));
        QFile::setPermissions(prog + QStringLiteral("Setup"), QFile::permissions(QStringLiteral(SETUP_BINARY)));
        QVERIFY(!Archive(QStringLiteral("prog/Mods/a.zip"), QStringLiteral("conf"), 6, 2000, QStringLiteral("zip")).isEmpty());
        QFile conf(prog + QStringLiteral("Setup.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("0F00Mods\n\t2F00a.zip\n");
        conf.close();
        QFile old(prog + QStringLiteral("Setup.oldupdate"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        const QString home = Path(QStringLiteral("home"));
        QDir().mkpath(home);

        QProcess setup;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(GDisplay->Name()));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("TMPDIR"), Path(QStringLiteral("tmp")));
        setup.setProcessEnvironment(env);
        setup.setWorkingDirectory(home);
        setup.start(prog + QStringLiteral("Setup"), {});
        QVERIFY(setup.waitForStarted());
        std::string id;
        QVERIFY(QTest::qWaitFor([&] {
            id = GDisplay->Capture("xdotool search --onlyvisible --name '^Setup$'");
            return !id.empty();
        }, 10000));
        const WId win = std::stoul(id);
        const std::string info = GDisplay->Capture("xwininfo -id " + std::to_string(win));
        int width = 0;
        std::sscanf(info.c_str() + info.find("Width:"), "Width: %d", &width);
        const TXWindow at = XState(win);
        const double scale = width / 657.0;
        auto click = [&](int x, int y) {
            Xdo("mousemove " + std::to_string(at.X + int(x * scale)) + " " + std::to_string(at.Y + int(y * scale)) +
                " click 1");
            QTest::qWait(300);
        };
        // The update clean-up found the old build beside the program, not in the home folder.
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(prog + QStringLiteral("Setup.oldupdate")), 10000);

        click(494, 444);  // Next: the catalogue beside the program
        click(494, 444);  // Next: its one archive is checked
        click(323, 194);  // the folder field
        Xdo("type --delay 20 target");
        click(494, 444);  // Next: a relative target, beside the program
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(prog + QStringLiteral("target/conf_0.bin")), 20000);
        QCOMPARE(TreeDigest(prog + QStringLiteral("target")).size(), 6);
        QVERIFY(!QDir(home + QStringLiteral("/target")).exists());
        QTest::qWait(300);
        click(597, 444);  // Done
        QVERIFY(setup.state() == QProcess::NotRunning || setup.waitForFinished(10000));
        QCOMPARE(setup.exitStatus(), QProcess::NormalExit);
        QCOMPARE(setup.exitCode(), 0);
        QVERIFY(QFile::exists(prog + QStringLiteral("Setup.conf")));  // never staged, never deleted
    }

    void windowStaysMappedInPlaceThroughQuickInstallations()
    {
        WorkerFixtures::MakeTree(Path(QStringLiteral("src/tiny")), QStringLiteral("t"), 1, 10, 7);
        QVERIFY(MakeArchive(Path(QStringLiteral("prog/M/tiny.zip")), Path(QStringLiteral("src/tiny")),
                            QStringLiteral("zip")));
        auto w = ManagedWindow();
        const WId id = w->winId();
        const TXWindow start = XState(id);
        QVERIFY(start.Viewable);
        FOnBox = [](QMessageBox* box) { box->accept(); };

        for (int run = 0; run < 20; ++run) {
            // Half the runs install nothing (only a folder is checked), half one tiny archive.
            TTreeNodes* items = w->TVFiles->Items();
            items->Clear();
            TTreeNode* folder = items->Add(nullptr, QStringLiteral("M"));
            folder->SetStateIndex(run % 2 ? 1 : 2);
            TTreeNode* file = items->AddChild(folder, QStringLiteral("tiny.zip"));
            file->SetStateIndex(run % 2 ? 2 : 1);
            w->PCFrames->setCurrentIndex(TFMain::PagePath);
            w->BNext->show();
            w->EDir->setText(Path(QStringLiteral("target")));
            QTest::mouseClick(w->BNext, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(w->PCFrames->currentIndex(), int(TFMain::PageDone), 10000);
            QVERIFY(WaitWorkersEnded());
            QTest::qWait(50);  // what the window manager does with the change arrives meanwhile
            const TXWindow now = XState(id);
            QVERIFY2(now.Viewable, qPrintable(QStringLiteral("unmapped after run %1").arg(run)));
            QCOMPARE(now.X, start.X);
            QCOMPARE(now.Y, start.Y);
            QVERIFY(OnTop(id));
            QVERIFY(w->HasSystemMenu());
        }
        QVERIFY(QFile::exists(Path(QStringLiteral("target/t_0.bin"))));
    }
};

int main(int argc, char** argv)
{
    TXDisplay display;
    if (!display.Start()) {
        std::fprintf(stderr, "%s\n", display.Error.c_str());
        return 1;
    }
    GDisplay = &display;
    qputenv("DISPLAY", QByteArray::fromStdString(display.Name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    WindowManagerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_wm.moc"
