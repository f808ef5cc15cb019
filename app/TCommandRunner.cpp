#include "app/TCommandRunner.h"

#include "app/CommandTexts.h"
#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "app/ResourceStaging.h"
#include "shell/ShellState.h"
#include "app/TConsoleCataloguePage.h"
#include "app/TConsoleProgress.h"
#include "archive/ArchiveBinding.h"
#include "archive/ERecordError.h"
#include "archive/TInstallRecorder.h"
#include "archive/TRecordStore.h"
#include "archive/TUninstaller.h"
#include "archive/ThUnPackFiles.h"
#include "catalogue/TCatalogueBuilder.h"
#include "catalogue/TCatalogueSelection.h"
#include "catalogue/TCheckToggle.h"
#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TSelectionFile.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TFolderLock.h"
#include "platform/TSignalWatch.h"
#include "platform/TTerminal.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <set>

namespace {
void Err(const QString& text)
{
    TTerminal::WriteErr(text.toStdString() + (text.endsWith(QLatin1Char('\n')) ? "" : "\n"));
}

[[noreturn]] void Usage(const QString& text)
{
    throw EUsageError(text.toStdString());
}

QString ListOf(const std::vector<std::string>& items)
{
    QString text;
    for (const std::string& i : items)
        text += QStringLiteral("\n  ") + QString::fromStdString(i);
    return text;
}

// A note node's text holds the file name between the note's prefix and suffix.
QString NameInNote(const QString& text)
{
    const TLangText rows[][2] = {{ltNotFoundPrefix, ltNotFoundSuffix},
                                 {ltUnknownFormatPrefix, ltUnknownFormatSuffix},
                                 {ltEmptyPrefix, ltEmptySuffix}};
    for (const auto& r : rows) {
        const QString prefix = QString::fromUtf8(LangText(r[0]));
        const QString suffix = QString::fromUtf8(LangText(r[1]));
        if (text.size() > prefix.size() + suffix.size() && text.startsWith(prefix) && text.endsWith(suffix))
            return text.mid(prefix.size(), text.size() - prefix.size() - suffix.size());
    }
    return text;
}

// The bytes an archive's files take once unpacked; -1 when it cannot be read.
int64_t UnpackedSize(const std::string& path)
{
    TGUID formatId{};
    if (!FormatIdForExtension(ExtractFileExt(path), formatId))
        return -1;
    try {
        I7zReaderPtr reader = CreateArchiveReader(formatId, LibPath);
        reader->OpenArchiveFile(path);
        int64_t total = 0;
        const uint32_t count = reader->ItemCount();
        for (uint32_t i = 0; i < count; ++i) {
            if (!reader->ItemIsFolder(i))
                total += static_cast<int64_t>(reader->ItemSize(i));
        }
        return total;
    } catch (...) {
        return -1;
    }
}

QString StateName(int state)
{
    switch (state) {
    case csUnchecked: return CommandText(ctStateUnchecked);
    case csChecked: return CommandText(ctStateChecked);
    case csGrayed: return CommandText(ctStateGrayed);
    default: return CommandText(ctStateNoBox);
    }
}

// The files the program staged this run go when it ends, as when the window closes.
void DeleteStagedFiles()
{
    const std::string mine = WorkFolder + PathDelim;
    auto isStagedCopy = [&mine](const std::string& path) { return path.rfind(mine, 0) == 0; };
    if (ConfStaged && isStagedCopy(ConfPath) && FileExists(ConfPath))
        DeleteFile(ConfPath);
    if (LibStaged && isStagedCopy(LibPath) && FileExists(LibPath) && ThUnPackFiles::LiveCount() == 0)
        DeleteFile(LibPath);
}
}

TCommandRunner::TCommandRunner(const TCommandOptions& options, const std::string& startFolder)
    : FOptions(options), FStartFolder(startFolder), FNodes(std::make_unique<TTreeNodes>())
{
}

TCommandRunner::~TCommandRunner() = default;

int TCommandRunner::Main(int argc, char** argv, const std::string& startFolder)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const int lang = TCommandLine::LangOf(args);
    LangIndex = lang >= 0 ? static_cast<uint16_t>(lang) : (IsRussianSystem() ? 0 : 1);
    TCommandOptions options;
    try {
        options = TCommandLine::Parse(args);
    } catch (const EUsageError& e) {
        Err(CommandText(ctUsage).arg(QString::fromUtf8(e.what())));
        return ExitUsage;
    }
    if (options.Command == TCommandOptions::TCommand::Help) {
        TTerminal::WriteOut(CommandText(ctHelp).toStdString());
        return ExitSuccess;
    }
    TCommandRunner runner(options, startFolder);
    return runner.Run();
}

std::string TCommandRunner::Absolute(const std::string& path) const
{
    if (path.empty() || path.front() == PathDelim)
        return path;
    return IncludeTrailingPathDelimiter(FStartFolder) + path;
}

int TCommandRunner::Run()
{
    using C = TCommandOptions::TCommand;
    WorkFolder = GetTempDir() + NewGuidString();
    StageResource("EXEFILE", "SCONF", ConfPath, ConfStaged);
    StageResource("EXEFILE", "S7ZDLL", LibPath, LibStaged);
    int rc = ExitFailed;
    try {
        switch (FOptions.Command) {
        case C::List: rc = List(); break;
        case C::Install: rc = Install(); break;
        case C::Uninstall: rc = Uninstall(); break;
        case C::SaveSelection: rc = SaveOnly(); break;
        default: break;
        }
    } catch (const EUsageError& e) {
        Err(CommandText(ctUsage).arg(QString::fromUtf8(e.what())));
        rc = ExitUsage;
    } catch (const std::exception& e) {
        // Errors of the catalogue and the archive library, as the window's error box shows them.
        Err(CommandText(ctCatalogueError).arg(QString::fromUtf8(e.what())));
        rc = ExitFailed;
    }
    DeleteStagedFiles();
    return rc;
}

void TCommandRunner::BuildCatalogue(bool hideInaccessible)
{
    TConsoleCataloguePage page(hideInaccessible);
    FRadioStates.clear();
    TCatalogueBuilder builder(*FNodes, FRadioStates, page);
    builder.SetListings(&FListings);
    builder.Build();
}

int TCommandRunner::List()
{
    // Inaccessible files are listed with their notes, as the page shows them with its
    // hiding box cleared, so whoever packs the mods sees what is wrong.
    BuildCatalogue(false);
    const std::string programFolder = ProgramFolder();
    QJsonArray items;
    struct TRow {
        QString Path, State, Group, Size, Note;
    };
    std::vector<TRow> rows;
    for (TTreeNode* n = FNodes->GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() == 0)
            continue;
        const std::string path = TCatalogueSelection::PathOf(n);
        const bool usable = FListings.count(programFolder + path) > 0;
        const QString name = usable ? n->Text() : NameInNote(n->Text());
        const QString folder = n->Parent()->Text();
        const QString itemPath = folder + QLatin1Char(PathDelim) + name;
        const int index = n->AbsoluteIndex();
        const TRadioState radio = index < static_cast<int>(FRadioStates.size()) ? FRadioStates[index] : TRadioState{};
        const int64_t size = usable ? UnpackedSize(programFolder + path) : -1;
        const QString state = usable ? StateName(n->StateIndex()) : CommandText(ctStateUnavailable);
        QJsonObject o;
        o.insert(QStringLiteral("path"), itemPath);
        o.insert(QStringLiteral("folder"), folder);
        o.insert(QStringLiteral("name"), name);
        o.insert(QStringLiteral("state"), state);
        o.insert(QStringLiteral("radioGroup"), radio.Radio ? QJsonValue(int(radio.Group)) : QJsonValue());
        o.insert(QStringLiteral("size"), size >= 0 ? QJsonValue(double(size)) : QJsonValue());
        o.insert(QStringLiteral("note"), usable ? QJsonValue() : QJsonValue(n->Text()));
        items.append(o);
        rows.push_back({itemPath, state, radio.Radio ? QString::number(radio.Group) : QStringLiteral("-"),
                        size >= 0 ? QString::number(size) : QStringLiteral("-"), usable ? QString() : n->Text()});
    }
    if (FOptions.Json) {
        QJsonObject root;
        root.insert(QStringLiteral("items"), items);
        TTerminal::WriteOut(QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString());
        return ExitSuccess;
    }
    qsizetype width = 0;
    for (const TRow& r : rows)
        width = std::max(width, r.Path.size());
    std::string out;
    for (const TRow& r : rows) {
        QString line = r.Path.leftJustified(width) + QStringLiteral("  ") + r.State.leftJustified(11) +
                       QStringLiteral("  ") + r.Group.rightJustified(3) + QStringLiteral("  ") + r.Size.rightJustified(12);
        if (!r.Note.isEmpty())
            line += QStringLiteral("  ") + r.Note;
        out += line.toStdString() + "\n";
    }
    TTerminal::WriteOut(out);
    return ExitSuccess;
}

std::vector<std::string> TCommandRunner::ResolveSelection()
{
    std::vector<std::string> wanted;
    bool explicitSource = true;
    if (FOptions.HasSelect) {
        wanted = FOptions.Select;
    } else if (!FOptions.SelectionFile.empty()) {
        const std::string file = Absolute(FOptions.SelectionFile);
        const QString name = QString::fromStdString(FOptions.SelectionFile);
        try {
            wanted = TSelectionFile::Read(file);
        } catch (const ESelectionFileError& e) {
            using K = ESelectionFileError::TKind;
            switch (e.Kind) {
            case K::TooLarge: Usage(CommandText(ctSelectionTooLarge).arg(name));
            case K::Binary: Usage(CommandText(ctSelectionBinary).arg(name));
            case K::OtherFormat: Usage(CommandText(ctSelectionFormat).arg(name, QString::fromUtf8(TSelectionFile::FormatLine)));
            default: Usage(CommandText(ctSelectionUnreadable).arg(name, QString::fromUtf8(e.what())));
            }
        }
    } else if (FOptions.Last) {
        if (!TRecordStore().LastSelection(ProgramFolder(), wanted))
            Usage(CommandText(ctNoLast));
    } else {
        explicitSource = false;
    }
    TCatalogueSelection selection(*FNodes, FRadioStates);
    if (!explicitSource)
        return selection.Checked();
    const TSelectionCheck check = selection.Check(wanted);
    if (!check.Unknown.empty())
        Usage(CommandText(ctUnknownItems).arg(ListOf(check.Unknown)));
    if (!check.Unavailable.empty())
        Usage(CommandText(ctUnavailableItems).arg(ListOf(check.Unavailable)));
    if (!check.Clashes.empty())
        Usage(CommandText(ctRadioClash).arg(QString::fromStdString(check.Clashes.front().first),
                                            QString::fromStdString(check.Clashes.front().second)));
    TNodeStateSetter setter;
    TCheckToggle toggle(*FNodes, FRadioStates, setter);
    selection.Apply(wanted, setter, [&toggle](TTreeNode* n) { toggle.Toggle(n, false); });
    return selection.Checked();
}

bool TCommandRunner::SaveSelectionFile(const std::vector<std::string>& items)
{
    const QString name = QString::fromStdString(FOptions.SaveSelection);
    if (!TSelectionFile::Write(Absolute(FOptions.SaveSelection), items))
        return false;
    Err(CommandText(ctSelectionSaved).arg(name));
    return true;
}

int TCommandRunner::SaveOnly()
{
    BuildCatalogue(true);
    const std::vector<std::string> items = ResolveSelection();
    if (!SaveSelectionFile(items))
        Usage(CommandText(ctSelectionNotSaved).arg(QString::fromStdString(FOptions.SaveSelection)));
    return ExitSuccess;
}

bool TCommandRunner::Ask(const QString& question, bool withoutTerminal) const
{
    if (FOptions.Yes)
        return true;
    if (!TTerminal::IsTerminal(0) || !TTerminal::IsTerminal(2))
        return withoutTerminal;
    Err(question + CommandText(ctAskYes));
    std::string answer;
    if (!TTerminal::ReadLine(answer))
        return false;
    const QString a = QString::fromStdString(answer).trimmed().toLower();
    return a.startsWith(QLatin1Char('y')) || a.startsWith(QChar(0x0434));  // "д"
}

bool TCommandRunner::ConfirmOverwrite(const std::string& target, const std::vector<std::string>& items)
{
    TUninstaller record{TRecordStore(), target};
    std::set<std::string> changed;
    try {
        if (!record.Load())
            return true;
        for (const TUninstallStep& step : record.Plan()) {
            if (step.Action == TUninstallAction::Keep)
                changed.insert(step.Path);
        }
    } catch (const ERecordError&) {
        return true;  // the installation sets such a record aside, as the window's does
    }
    if (changed.empty())
        return true;
    std::vector<std::string> hit;
    const std::string programFolder = ProgramFolder();
    for (const std::string& item : items) {
        auto it = FListings.find(programFolder + item);
        if (it == FListings.end())
            continue;
        for (std::size_t i = 0; i < it->second.size(); ++i) {
            const std::string file(it->second[i]);
            if (changed.erase(file))
                hit.push_back(file);
        }
    }
    if (hit.empty())
        return true;
    Err(CommandText(ctChangedFiles) + ListOf(hit));
    if (Ask(CommandText(ctOverwriteQuestion), false))
        return true;
    Err(CommandText(ctNotOverwritten));
    return false;
}

int TCommandRunner::Install()
{
    BuildCatalogue(true);
    const std::vector<std::string> items = ResolveSelection();
    if (items.empty())
        Usage(CommandText(ctNothingSelected));
    const std::string target = Absolute(FOptions.Target);
    if (!ForceDirectories(target))
        Usage(CommandText(ctTargetUnavailable).arg(QString::fromStdString(FOptions.Target)));
    if (!FOptions.SaveSelection.empty() && !SaveSelectionFile(items))
        Usage(CommandText(ctSelectionNotSaved).arg(QString::fromStdString(FOptions.SaveSelection)));
    // Another copy installing into or uninstalling from this folder: leave it be.
    TFolderLock lock;
    if (!lock.TryAcquire(target)) {
        Err(ExtraText(etFolderBusy).arg(QString::fromStdString(target)));
        return ExitFailed;
    }
    if (!ConfirmOverwrite(target, items))
        return ExitCancelled;
    return RunInstaller(target, items, std::move(lock));
}

int TCommandRunner::RunInstaller(const std::string& target, const std::vector<std::string>& items, TFolderLock lock)
{
    const std::string programFolder = ProgramFolder();
    tFilesArray files;
    for (const std::string& item : items)
        files.push_back(programFolder + item);
    auto progress = std::make_shared<TConsoleProgress>(items, TTerminal::IsTerminal(2));
    bool cancelled = false;
    TSignalWatch watch([&cancelled, progress](int) {
        if (cancelled)
            return;
        // As Exit answered Yes: the worker is told to stop and the program ends; the
        // ending waits for the worker to leave the target and its record in order.
        cancelled = true;
        InstallFinished = true;
        progress->EndLine();
        Err(CommandText(ctCancelling));
        QCoreApplication::exit(ExitCancelled);
    });

    auto* worker = new ThUnPackFiles(true, target, files, progress);
    worker->SetTargetLock(std::move(lock));
    worker->SetRecorder(std::make_unique<TInstallRecorder>(TRecordStore(), target, programFolder, files));
    Installer = worker;
    worker->SetFreeOnTerminate(true);
    worker->Resume();

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (ThUnPackFiles::LiveCount() == 0)
            QCoreApplication::exit(ExitSuccess);
    });
    poll.start(50);
    QCoreApplication::exec();
    if (cancelled) {
        Err(CommandText(ctCancelled));
        return ExitCancelled;
    }
    if (progress->Failed())
        return ExitFailed;
    return progress->Done() ? ExitSuccess : ExitFailed;
}

int TCommandRunner::Uninstall()
{
    const std::string folder = Absolute(FOptions.Target);
    if (!DirectoryExists(folder))
        Usage(CommandText(ctTargetMissing).arg(QString::fromStdString(FOptions.Target)));
    TFolderLock lock;
    if (!lock.TryAcquire(folder)) {
        Err(ExtraText(etFolderBusy).arg(QString::fromStdString(folder)));
        return ExitFailed;
    }
    TUninstaller uninstaller{TRecordStore(), folder};
    try {
        if (!uninstaller.Load() || uninstaller.Record().Files.empty()) {
            Err(ExtraText(etNothingRecorded));
            return ExitSuccess;
        }
    } catch (const ERecordError& e) {
        Err(ExtraText(e.Kind == ERecordError::TKind::Newer ? etRecordNewer : etRecordDamaged) +
            QLatin1Char('\n') + QString::fromUtf8(e.what()));
        return ExitFailed;
    }
    // The command itself is the order; only a person at a terminal is asked again.
    if (!Ask(ExtraText(etUninstallQuestion), true))
        return ExitCancelled;
    const TUninstallResult result = uninstaller.Execute(uninstaller.Plan());
    QStringList lines{ExtraText(etUninstallDone), ExtraText(etRemoved).arg(result.Removed),
                      ExtraText(etRestored).arg(result.Restored)};
    if (!result.Kept.empty())
        lines << ExtraText(etKept).arg(result.Kept.size());
    if (!result.Failed.empty())
        lines << ExtraText(etFailed).arg(result.Failed.size());
    if (result.Unrecorded > 0)
        lines << ExtraText(etUnrecorded).arg(result.Unrecorded);
    if (!result.Kept.empty())
        lines << ExtraText(etKeptHeading) + ListOf(result.Kept);
    if (!result.Failed.empty())
        lines << ExtraText(etFailedHeading) + ListOf(result.Failed);
    if (!result.RecordError.empty())
        lines << QString::fromStdString(result.RecordError);
    Err(lines.join(QLatin1Char('\n')));
    return result.Failed.empty() && result.RecordError.empty() ? ExitSuccess : ExitFailed;
}
