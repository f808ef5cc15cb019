#include "app/TConsoleProgress.h"

#include "app/CommandTexts.h"
#include "shell/LangTexts.h"
#include "platform/TTerminal.h"

namespace {
// Redraws of the bar line at most this often: a terminal is slow to write to.
constexpr auto DrawInterval = std::chrono::milliseconds(100);
}

TConsoleProgress::TConsoleProgress(std::vector<std::string> names, bool terminal)
    : FNames(std::move(names)), FTerminal(terminal)
{
}

int TConsoleProgress::BarMax(TBar bar) const
{
    return FMax[bar];
}

int TConsoleProgress::BarPosition(TBar bar) const
{
    return FPos[bar];
}

void TConsoleProgress::SetBarRange(TBar bar, int max)
{
    FMax[bar] = max;
    if (bar == FileBar)
        Draw(false);
}

void TConsoleProgress::SetBarPosition(TBar bar, int position)
{
    FPos[bar] = position;
    if (bar == MainBar) {
        if (position < FMax[MainBar] && position != FStarted)
            ArchiveStarted(position);
    } else {
        Draw(false);
    }
}

void TConsoleProgress::ArchiveStarted(int index)
{
    FStarted = index;
    const QString name = index < static_cast<int>(FNames.size()) ? QString::fromStdString(FNames[index]) : QString();
    if (!FTerminal) {
        TTerminal::WriteErr(CommandText(ctInstalling).arg(index + 1).arg(FMax[MainBar]).arg(name).toStdString() + "\n");
        return;
    }
    Draw(true);
}

void TConsoleProgress::Draw(bool force)
{
    if (!FTerminal || FStarted < 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - FLastDraw < DrawInterval)
        return;
    FLastDraw = now;
    const int columns = TTerminal::Columns();
    const int width = 24;
    const double part = FMax[FileBar] > 0 ? double(FPos[FileBar]) / FMax[FileBar] : 0.0;
    const int filled = std::min(width, std::max(0, static_cast<int>(part * width)));
    QString line = QStringLiteral("[") + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-')) +
                   QStringLiteral("] ") + QString::number(FStarted + 1) + QLatin1Char('/') +
                   QString::number(FMax[MainBar]) + QLatin1Char(' ');
    const QString name = FStarted < static_cast<int>(FNames.size()) ? QString::fromStdString(FNames[FStarted]) : QString();
    line += name;
    if (line.size() > columns - 1)
        line = line.left(columns - 2) + QChar(0x2026);
    TTerminal::WriteErr("\r" + line.toStdString() + "\x1b[K");
    FLineOpen = true;
}

void TConsoleProgress::EndLine()
{
    if (FLineOpen)
        TTerminal::WriteErr("\n");
    FLineOpen = false;
}

void TConsoleProgress::ShowDonePage()
{
    EndLine();
    TTerminal::WriteErr(std::string(LangText(ltInstallSuccessful)) + "\n");
    FDone = true;
}

void TConsoleProgress::ShowFailure(const QString& text, const QString& details)
{
    EndLine();
    std::string out = text.toStdString() + "\n";
    if (!details.isEmpty())
        out += details.toStdString() + "\n";
    TTerminal::WriteErr(out);
    FFailed = true;
}
