#include "app/ResourceStaging.h"
#include "app/TCommandLine.h"
#include "app/TCommandRunner.h"
#include "app/TFMain.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "update/SelfUpdateHooks.h"
#include "update/TfUpdMess.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    AdoptLauncherPath();
    // Before anything is started that could inherit it.
    AdoptUpdateStartPipe();
    // Paths given on the command line are meant from where the program was started.
    const std::string startFolder = GetCurrentDir();
    // Before anything resolves a bare file name.
    EnterProgramFolder();
    if (TCommandLine::Wanted(argc, argv)) {
        // No window and no display; never a self-update.
        int rc;
        {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("Setup"));
            rc = TCommandRunner::Main(argc, argv, startFolder);
        }
        ConfirmUpdateStarted();
        std::fflush(nullptr);
        std::_Exit(rc);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Setup"));
    QApplication::setApplicationDisplayName(QStringLiteral("Setup"));
    auto* main = new TFMain;
    fUpdMess = new TfUpdMess(main);
    main->show();
    const int rc = QApplication::exec();
    // A build that ends on purpose before its first page showed (it handed over to a
    // newer one) has started all the same.
    ConfirmUpdateStarted();
    // Worker threads are never waited for; leave without running static destructors
    // under their feet.
    std::fflush(nullptr);
    std::_Exit(rc);
}
