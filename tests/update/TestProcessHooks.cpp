// Linked only into the Setup builds the update tests run as processes: points them at the
// test's server and lets them answer and report without a person at the screen.
#include "app/TFMain.h"
#include "game/FileVersion.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "update/TThCheckUpd.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
void Log(const std::string& line)
{
    const char* path = std::getenv("SETUP_TEST_LOG");
    if (!path)
        return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

bool Env(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v && std::string(v) != "0";
}

void Install()
{
    if (const char* host = std::getenv("SETUP_TEST_UPDATE_HOST"))
        TUpdateServer::SetHostOverride(host);
#ifdef SETUP_TEST_BUILTIN_KEY
    TUpdateServer::SetPublicKeyOverride(SETUP_TEST_BUILTIN_KEY);
#endif
    const std::string build = std::to_string(GetFileBuild(ExecutablePath()));
    Log("start " + build + " " + std::to_string(::getpid()));
    SetMessageBoxHandler([build](const QString& text, TMsgButtons) {
        Log("message " + build + " " + text.toStdString());
        return TMsgResult::Ok;
    });
    // The notice answered Yes by its own button.
    SetModalHandler([](QDialog* dialog) {
        auto* notice = qobject_cast<TfUpdMess*>(dialog);
        if (!notice)
            return 0;
        notice->setResult(0);
        notice->show();
        notice->bYes->click();
        return notice->result();
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [build] { Log("quit " + build); });

    auto* poll = new QTimer(qApp);
    const int checksBefore = TThCheckUpd::ChecksFinished();
    QObject::connect(poll, &QTimer::timeout, [poll, build, checksBefore] {
        if (!FMain)
            return;
        if (Env("SETUP_TEST_PRESS_UPDATE") && FMain->BUpdate->isVisible()) {
            poll->stop();
            Log("press " + build);
            FMain->BUpdateClick();
            // On success the window has closed and the loop ends; otherwise stop here.
            if (FMain && FMain->isVisible())
                FMain->close();
            return;
        }
        if (Env("SETUP_TEST_QUIT_AFTER_CHECK") && TThCheckUpd::ChecksFinished() > checksBefore) {
            poll->stop();
            Log("checked " + build);
            FMain->close();
        }
    });
    poll->start(20);
    if (const char* ms = std::getenv("SETUP_TEST_QUIT_AFTER_MS"))
        QTimer::singleShot(std::atoi(ms), qApp, [build] {
            Log("timeout " + build);
            QCoreApplication::exit(3);
        });
}
}

Q_COREAPP_STARTUP_FUNCTION(Install)
