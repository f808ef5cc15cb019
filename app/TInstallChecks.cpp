#include "app/TInstallChecks.h"

#include "shell/ExtraTexts.h"
#include "catalogue/TSpaceEstimate.h"
#include "game/TGameProcessFinder.h"
#include "platform/Dialogs.h"

#include <QStringList>

bool TInstallChecks::SpaceSuffices(const TArchiveListings& listings, const tFilesArray& files,
                                   const std::string& folder)
{
    const QString name = QString::fromStdString(folder);
    const TSpaceCheck space = TSpaceEstimate::Check(listings, files, folder);
    if (space.ReadOnly) {
        ShowMessageBox(ExtraText(etReadOnlyTarget).arg(name));
        return false;
    }
    if (space.Short()) {
        ShowMessageBox(ExtraText(etSpaceShort).arg(name, SizeText(space.Needed), SizeText(space.Free)));
        return false;
    }
    return true;
}

bool TInstallChecks::GameClosed(const std::string& gameExe, const std::string& folder)
{
    const TGameProcessFinder finder(gameExe, folder);
    for (;;) {
        const std::vector<TRunningGame> running = finder.Find();
        if (running.empty())
            return true;
        QStringList names;
        for (const TRunningGame& g : running)
            names << QString::fromStdString(g.Name) + QStringLiteral(" (") + QString::number(g.Pid) + QLatin1Char(')');
        names.removeDuplicates();
        switch (ShowMessageBox(ExtraText(etGameRunning).arg(names.join(QLatin1Char('\n'))),
                               TMsgButtons::RetryCancelIgnore)) {
        case TMsgResult::Retry: continue;
        case TMsgResult::Ignore: return true;
        default: return false;
        }
    }
}
