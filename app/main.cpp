#include "app/ResourceStaging.h"
#include "app/TFMain.h"
#include "platform/ExecutablePath.h"
#include "update/SelfUpdateHooks.h"
#include "update/TfUpdMess.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    AdoptLauncherPath();
    // Before anything is started that could inherit it.
    AdoptUpdateStartPipe();
    // Before anything resolves a bare file name.
    EnterProgramFolder();
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
