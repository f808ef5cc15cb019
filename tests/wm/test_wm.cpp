// The window under a real window manager (openbox on Xvfb), driven by real X events.
#include "TXDisplay.h"
#include "WorkerFixtures.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "archive/ThUnPackFiles.h"
#include "archive/UnpackProgress.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/TThread.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstring>
#include <functional>

using namespace WorkerFixtures;

namespace {
TXDisplay* GDisplay = nullptr;

struct TXState {
    bool Viewable = false;
    int X = -1, Y = -1, Width = 0;
};

// What the X server says of a window, not what Qt believes.
TXState XState(WId id)
{
    const std::string out = GDisplay->Capture("xwininfo -id " + std::to_string(id));
    TXState s;
    s.Viewable = out.find("IsViewable") != std::string::npos;
    auto field = [&out](const char* name, int& v) {
        const auto at = out.find(name);
        if (at != std::string::npos)
            v = std::atoi(out.c_str() + at + std::strlen(name));
    };
    field("upper-left X:", s.X);
    field("upper-left Y:", s.Y);
    field("Width:", s.Width);
    return s;
}

void Xdo(const std::string& args)
{
    GDisplay->Capture("xdotool " + args);
}

// The request every window manager sends for a close: WM_DELETE_WINDOW.
void SendDeleteWindow(WId id)
{
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
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
    xcb_send_event(c, 0, ev.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}
}  // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

    QTemporaryDir FTmp;
    std::function<void(QMessageBox*)> FOnBox;  // once per new box, inside its own loop
    QPointer<QMessageBox> FLastBox;
    QTimer FBoxWatch;

    QString Path(const QString& rel) const { return FTmp.filePath(rel); }

    QString Archive(const QString& rel, const QString& prefix, int count, int maxSize, const QString& type)
    {
        MakeTree(Path("src/" + prefix), prefix, count, maxSize, qHash(prefix));
        return MakeArchive(Path(rel), Path("src/" + prefix), type) ? Path(rel) : QString();
    }

    // Shown, mapped by the window manager and active.
    void Manage(TFMain& w)
    {
        w.show();
        QVERIFY(QTest::qWaitFor([&] { return XState(w.winId()).Viewable; }, 5000));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }

private slots:
    void initTestCase()
    {
        connect(&FBoxWatch, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box != FLastBox && box->isVisible() && QTest::qWaitForWindowExposed(box) && FOnBox)
                FOnBox(FLastBox = box);
        });
        FBoxWatch.start(20);
        qputenv("TMPDIR", Path("tmp").toLocal8Bit());
        // Install records stay in here, not in the home folder of whoever runs the tests.
        qputenv("XDG_DATA_HOME", Path("data").toLocal8Bit());
        SetExecutablePathOverride(Path("prog/Setup").toStdString());
    }

    void init() { ResetShellState(); }

    void cleanup()
    {
        // A failed case may leave the worker held: let it go, so the next case starts clean.
        FOnBox = [](QMessageBox* box) { box->reject(); };
        for (int i = 0; i < 4 && TThread::SuspendIfAlive(Installer); ++i) {
            Installer->Resume();
            Installer->Resume();
        }
        QTRY_COMPARE_WITH_TIMEOUT(ThUnPackFiles::LiveCount(), 0, 60000);
    }

    void closeRequestsDuringAnInstallationAsk()
    {
        const QString a = Archive("prog/M/a.7z", "a", 40, 400000, "7z");
        const QString b = Archive("prog/M/b.zip", "b", 40, 200000, "zip");
        QVERIFY(ReferenceExtract({a}, Path("ref")));
        TFMain w;
        Manage(w);
        const WId id = w.winId();
        LangIndex = 1;
        w.PCFrames->setCurrentIndex(TFMain::PageProgress);
        w.SetSystemMenu(false);
        QElapsedTimer started;
        started.start();
        w.StartInstaller({a.toStdString(), b.toStdString()}, Path("target").toStdString());
        // The test's own hold keeps the worker inside the first archive.
        QVERIFY(TThread::SuspendIfAlive(Installer));
        QVERIFY(QTest::qWaitFor([] { return FileBytesTotal > 1; }, 20000));

        // The window manager's close half a second in (what its close box and Alt+F4 send,
        // whatever hints the window gives): the question is up, the window and the worker
        // stay, a further close request meanwhile asks nothing more; Escape answers No.
        QStringList asked;
        bool checked = false;
        FOnBox = [&](QMessageBox* box) {
            asked << box->text();
            const int64_t done = FileBytesDone;
            Installer->Resume();  // only the question's pause remains
            SendDeleteWindow(id);
            QTest::qWait(300);
            checked = XState(box->winId()).Viewable && XState(id).Viewable && FileBytesDone == done &&
                      ThUnPackFiles::LiveCount() == 1 && QApplication::activeModalWidget() == box;
            QVERIFY(TThread::SuspendIfAlive(Installer));
            Xdo("key Escape");
        };
        QTest::qWait(qMax<qint64>(0, 500 - started.elapsed()));
        SendDeleteWindow(id);
        QTRY_COMPARE_WITH_TIMEOUT(asked, QStringList{QString::fromUtf8(LangTexts[ltCancelInstall][1])}, 10000);
        QVERIFY(checked);
        QTest::qWait(200);
        QVERIFY(XState(id).Viewable && !InstallFinished);

        // Once more, answered Yes by Return: the window goes, the worker ends its archive,
        // and only then the staged library goes.
        FOnBox = [&](QMessageBox* box) {
            asked << box->text();
            Xdo("key Return");
        };
        SendDeleteWindow(id);
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 10000);
        QCOMPARE(asked.size(), 2);
        QVERIFY(InstallFinished && FileExists(LibPath));
        Installer->Resume();
        QTRY_VERIFY_WITH_TIMEOUT(ThUnPackFiles::LiveCount() == 0 && !FileExists(LibPath), 20000);
        QCOMPARE(TreeDigest(Path("target")), TreeDigest(Path("ref")));  // all of a, none of b
    }

    void windowStaysMappedInPlaceThroughQuickInstallations()
    {
        MakeTree(Path("src/tiny"), "t", 1, 10, 7);
        QVERIFY(MakeArchive(Path("prog/T/tiny.zip"), Path("src/tiny"), "zip"));
        TFMain w;
        Manage(w);
        const TXState start = XState(w.winId());
        for (int run = 0; run < 20; ++run) {
            // Half the runs install nothing (only the folder is checked), half one tiny archive.
            TTreeNodes* items = w.TVFiles->Items();
            items->Clear();
            TTreeNode* folder = items->Add(nullptr, "T");
            folder->SetStateIndex(run % 2 ? csUnchecked : csChecked);
            items->AddChild(folder, "tiny.zip")->SetStateIndex(run % 2 ? csChecked : csUnchecked);
            w.PCFrames->setCurrentIndex(TFMain::PagePath);
            w.BNext->show();
            w.EDir->setText(Path("tiny-target"));
            QTest::mouseClick(w.BNext, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(w.PCFrames->currentIndex(), int(TFMain::PageDone), 10000);
            QTRY_COMPARE(ThUnPackFiles::LiveCount(), 0);
            QTest::qWait(50);  // the window manager's answer to the change arrives meanwhile
            const TXState now = XState(w.winId());
            QVERIFY2(now.Viewable, qPrintable(QString("unmapped after run %1").arg(run)));
            QCOMPARE(now.X, start.X);
            QCOMPARE(now.Y, start.Y);
            const std::string stack = GDisplay->Capture("xprop -root _NET_CLIENT_LIST_STACKING");
            QCOMPARE(std::stoul(stack.substr(stack.rfind("0x")), nullptr, 16), w.winId());  // on top
        }
        QVERIFY(QFile::exists(Path("tiny-target/t_0.bin")));
    }

    // The real program, started from another folder as launchers do, driven by mouse and keys.
    void programStartedFromAnotherFolderUsesItsOwn()
    {
        const QString prog = Path("run/");
        QDir().mkpath(Path("home"));
        QDir().mkpath(prog);
        QVERIFY(QFile::copy(SETUP_BINARY, prog + "Setup"));
        QVERIFY(!Archive("run/Mods/a.zip", "conf", 6, 2000, "zip").isEmpty());
        QFile conf(prog + "Setup.conf"), old(prog + "Setup.oldupdate");
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write("0F00Mods\n\t2F00a.zip\n") > 0 &&
                old.open(QIODevice::WriteOnly));
        conf.close();
        QProcess setup;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(GDisplay->Name()));
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("LANG", "en_US.UTF-8");
        setup.setProcessEnvironment(env);
        setup.setWorkingDirectory(Path("home"));
        setup.start(prog + "Setup", {});
        std::string id;
        QVERIFY(QTest::qWaitFor([&] { return !(id = GDisplay->Capture("xdotool search --onlyvisible --name '^Setup$'")).empty(); }, 10000));
        const TXState at = XState(std::stoul(id));
        const double scale = at.Width / 657.0;  // the layout's reference width
        auto click = [&](int x, int y) {
            Xdo("mousemove " + std::to_string(at.X + int(x * scale)) + " " + std::to_string(at.Y + int(y * scale)) +
                " click 1");
            QTest::qWait(300);
        };
        // The update clean-up found the old build beside the program.
        QTRY_VERIFY_WITH_TIMEOUT(!old.exists(), 10000);
        click(494, 444);  // Next: the catalogue beside the program
        click(494, 444);  // Next: its archive is checked
        click(323, 194);  // the folder field
        Xdo("type --delay 20 target");
        click(494, 444);  // Next: a relative target, so beside the program
        QTRY_COMPARE_WITH_TIMEOUT(TreeDigest(prog + "target").size(), 6, 20000);
        QTest::qWait(300);
        click(597, 444);  // Done
        QVERIFY(setup.state() == QProcess::NotRunning || setup.waitForFinished(10000));
        QVERIFY(conf.exists() && !QDir(Path("home/target")).exists());
    }

    void cleanupTestCase() { SetExecutablePathOverride(""); }
};

int main(int argc, char** argv)
{
    TXDisplay display;
    if (!display.Start()) {
        std::fprintf(stderr, "Xvfb with openbox did not start\n");
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
