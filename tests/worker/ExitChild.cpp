// A Setup-like process that is ended in the middle of an installation, the way main() ends:
// the event loop returns and the process leaves with _Exit. Modes: "yes" answers Exit's
// question with Yes; "quit" ends the loop without the window closing.
#include "shell/ShellState.h"
#include "app/TFMain.h"
#include "archive/ThUnPackFiles.h"
#include "archive/UnpackProgress.h"
#include "platform/Dialogs.h"
#include "platform/TThread.h"

#include <QApplication>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    SetMessageBoxHandler([](const QString&, TMsgButtons) { return TMsgResult::Yes; });
    auto* w = new TFMain;
    w->show();
    w->PCFrames->setCurrentIndex(TFMain::PageProgress);
    w->SetSystemMenu(false);
    InstallFinished = false;
    w->StartInstaller({argv[2]}, argv[3]);

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (FileBytesDone <= 0)
            return;
        poll.stop();
        // Held at a safe point with a file half written: the quit must release it and the
        // binding must drop that file.
        if (!TThread::SuspendIfAlive(Installer))
            return;
        std::printf("held mid-extraction\n");
        std::fflush(stdout);
        if (mode == QLatin1String("yes"))
            w->BCancel->click();
        else
            QCoreApplication::quit();
    });
    poll.start(1);
    const int rc = QApplication::exec();
    std::fflush(nullptr);
    std::_Exit(rc);
}
