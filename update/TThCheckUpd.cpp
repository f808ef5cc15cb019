#include "update/TThCheckUpd.h"

#include "game/FileVersion.h"
#include "update/IUpdateWindow.h"
#include "update/TBuildUpdReader.h"
#include "update/THttpClient.h"
#include "update/TUpdateInfoText.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

std::atomic<int> TThCheckUpd::FFinished{0};

TThCheckUpd::TThCheckUpd(bool createSuspended, const std::string& fileName)
    : TThread(createSuspended), FFileName(fileName)
{
}

int TThCheckUpd::ChecksFinished()
{
    return FFinished.load();
}

void TThCheckUpd::Execute()
{
    try {
        Check();
    } catch (...) {
        ServerBuild = 0;
        ServerVersionText.Set({});
        ServerPackageSha256.Set({});
    }
    ++FFinished;
}

void TThCheckUpd::Check()
{
    THttpClient client;
    client.Request.UserAgent.clear();
    client.HandleRedirects = true;
    const TBuildUpd upd =
        TBuildUpdReader::Parse(client.FetchText(TUpdateServer::Url(TUpdateServer::BuildPath)),
                               TUpdateServer::PublicKeyHex());
    ServerBuild = upd.Build;
    ServerVersionText.Set(upd.VersionText);
    ServerPackageSha256.Set(upd.PackageSha256);
    const int running = GetFileBuild(FFileName);
    if (running < 0 || static_cast<unsigned>(running) >= upd.Build)
        return;
    FUpdateInfo = TUpdateInfoText::Decode(client.FetchText(TUpdateServer::Url(TUpdateServer::InfoPath)));
    Synchronize([this] { ShowInfo(); });
    Synchronize([this] { ShowUpdateButton(); });
}

void TThCheckUpd::ShowInfo()
{
    if (fUpdMess)
        fUpdMess->mInfo->setPlainText(QString::fromUtf8(FUpdateInfo.data(), static_cast<int>(FUpdateInfo.size())));
    QCoreApplication::processEvents();
}

void TThCheckUpd::ShowUpdateButton()
{
    if (IUpdateWindow* window = UpdateWindow())
        window->ShowUpdateButton();
    QCoreApplication::processEvents();
}
