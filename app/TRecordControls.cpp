#include "app/TRecordControls.h"

#include "app/CommandTexts.h"
#include "app/IWizardForm.h"
#include "app/TInstallChecks.h"
#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "archive/ERecordError.h"
#include "archive/TRecordStore.h"
#include "archive/TUninstaller.h"
#include "catalogue/TCatalogueSelection.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TConflictFinder.h"
#include "catalogue/TSelectionFile.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/Paths.h"
#include "platform/TFolderLock.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <set>

namespace {
QString CataloguePath(const TTreeNode* node)
{
    return node->Parent()->Text() + QLatin1Char(PathDelim) + node->Text();
}

QString ArchiveName(const std::string& path)
{
    return QString::fromStdString(ExtractFileName(path));
}
}

TRecordControls::TRecordControls(IWizardForm& form) : QObject(form.Controls().Window), FForm(form)
{
    BUninstall = new QPushButton(form.Controls().PathPage);
    BUninstall->setObjectName(QStringLiteral("BUninstall"));
    BUninstall->setGeometry(form.Scaled(59), form.Scaled(213), form.Scaled(220), form.Scaled(20));
    BUninstall->setAutoDefault(false);
    BUninstall->hide();

    BRestoreSel = new QPushButton(form.Controls().FilesPage);
    BRestoreSel->setObjectName(QStringLiteral("BRestoreSel"));
    BRestoreSel->setGeometry(form.Scaled(486), form.Scaled(387), form.Scaled(150), form.Scaled(25));
    BRestoreSel->setAutoDefault(false);
    BRestoreSel->hide();

    // Between the hiding box and "Last selection"; hidden while the tree has nothing to tick.
    BSaveSel = new QPushButton(form.Controls().FilesPage);
    BSaveSel->setObjectName(QStringLiteral("BSaveSel"));
    BSaveSel->setGeometry(form.Scaled(258), form.Scaled(387), form.Scaled(110), form.Scaled(25));
    BSaveSel->setAutoDefault(false);
    BSaveSel->hide();
    BLoadSel = new QPushButton(form.Controls().FilesPage);
    BLoadSel->setObjectName(QStringLiteral("BLoadSel"));
    BLoadSel->setGeometry(form.Scaled(372), form.Scaled(387), form.Scaled(110), form.Scaled(25));
    BLoadSel->setAutoDefault(false);
    BLoadSel->hide();

    LConflicts = new QLabel(form.Controls().FilesPage);
    LConflicts->setObjectName(QStringLiteral("LConflicts"));
    LConflicts->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LConflicts->setStyleSheet(QStringLiteral("color: #a03000;"));
    LConflicts->hide();

    connect(BUninstall, &QPushButton::clicked, this, [this] { BUninstallClick(); });
    connect(BRestoreSel, &QPushButton::clicked, this, [this] { BRestoreSelClick(); });
    connect(BSaveSel, &QPushButton::clicked, this, [this] { BSaveSelClick(); });
    connect(BLoadSel, &QPushButton::clicked, this, [this] { BLoadSelClick(); });
    connect(form.Controls().Folder, &QLineEdit::textChanged, this, [this] { UpdateUninstallButton(); });
    form.Controls().Tree->OnStateChange = [this](QObject*, TTreeNode*, TCheckState) { ScheduleConflicts(); };
}

void TRecordControls::ApplyLanguage()
{
    BUninstall->setText(ExtraText(etUninstallButton));
    BRestoreSel->setText(ExtraText(etRestoreSelection));
    BSaveSel->setText(CommandText(ctSaveSelection));
    BLoadSel->setText(CommandText(ctLoadSelection));
    PlaceSelectionButtons();
    if (LConflicts->isVisible() || !FConflictText.isEmpty())
        UpdateConflicts();
}

void TRecordControls::CatalogueBuilt()
{
    FLastSelection.clear();
    if (FForm.Controls().Tree->Items()->Count() > 0)
        TRecordStore().LastSelection(ProgramFolder(), FLastSelection);
    BRestoreSel->setVisible(SelectionMatchesTree());
    bool tickable = false;
    for (TTreeNode* n = FForm.Controls().Tree->Items()->GetFirstNode(); n && !tickable; n = n->GetNext())
        tickable = n->Level() > 0 && n->StateIndex() >= csUnchecked && n->StateIndex() <= csGrayed;
    BSaveSel->setVisible(tickable);
    BLoadSel->setVisible(tickable);
    PlaceSelectionButtons();
    UpdateConflicts();
}

void TRecordControls::PlaceSelectionButtons()
{
    // Right to left from "Last selection" (or the tree's edge), each as wide as its text needs.
    int right = BRestoreSel->isVisibleTo(FForm.Controls().FilesPage) ? BRestoreSel->geometry().left() - FForm.Scaled(4)
                                                                      : FForm.Scaled(636);
    for (QPushButton* b : {BLoadSel, BSaveSel}) {
        const int width = std::max(FForm.Scaled(110), b->sizeHint().width());
        b->setGeometry(right - width, FForm.Scaled(387), width, FForm.Scaled(25));
        right -= width + FForm.Scaled(4);
    }
}

bool TRecordControls::SelectionMatchesTree() const
{
    if (FLastSelection.empty())
        return false;
    const std::set<std::string> wanted(FLastSelection.begin(), FLastSelection.end());
    for (TTreeNode* n = FForm.Controls().Tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() > 0 && n->StateIndex() != csHidden && wanted.count(CataloguePath(n).toStdString()))
            return true;
    }
    return false;
}

void TRecordControls::BRestoreSelClick()
{
    ApplySelection(FLastSelection);
}

void TRecordControls::ApplySelection(const std::vector<std::string>& items)
{
    TCheckTreeView* tree = FForm.Controls().Tree;
    TCatalogueSelection(*tree->Items(), tree->RadioStates).Apply(items, *tree, [tree](TTreeNode* n) { tree->ToggleNode(n); });
    tree->viewport()->update();
    UpdateConflicts();
}

void TRecordControls::BSaveSelClick()
{
    TCheckTreeView* tree = FForm.Controls().Tree;
    const std::vector<std::string> items = TCatalogueSelection(*tree->Items(), tree->RadioStates).Checked();
    if (items.empty()) {
        ShowMessageBox(QString::fromUtf8(LangText(ltNothingSelected)));
        return;
    }
    QString path = QString::fromStdString(ProgramFolder()) + QStringLiteral("Setup.selection");
    const QString title = CommandText(ctSaveSelection).remove(QStringLiteral("..."));
    if (!ShowFileDialog(TFileDialogKind::Save, title, CommandText(ctSelectionFilter), path))
        return;
    if (!TSelectionFile::Write(path.toStdString(), items))
        ShowMessageBox(CommandText(ctSelectionNotSaved).arg(path));
}

void TRecordControls::BLoadSelClick()
{
    QString path = QString::fromStdString(ProgramFolder());
    const QString title = CommandText(ctLoadSelection).remove(QStringLiteral("..."));
    if (!ShowFileDialog(TFileDialogKind::Open, title, CommandText(ctSelectionFilter), path))
        return;
    std::vector<std::string> items;
    try {
        items = TSelectionFile::Read(path.toStdString());
    } catch (const ESelectionFileError& e) {
        using K = ESelectionFileError::TKind;
        switch (e.Kind) {
        case K::TooLarge: ShowMessageBox(CommandText(ctSelectionTooLarge).arg(path)); break;
        case K::Binary: ShowMessageBox(CommandText(ctSelectionBinary).arg(path)); break;
        case K::OtherFormat:
            ShowMessageBox(CommandText(ctSelectionFormat).arg(path, QString::fromUtf8(TSelectionFile::FormatLine)));
            break;
        default: ShowMessageBox(CommandText(ctSelectionUnreadable).arg(path, QString::fromUtf8(e.what()))); break;
        }
        return;
    }
    TCheckTreeView* tree = FForm.Controls().Tree;
    const TSelectionCheck check = TCatalogueSelection(*tree->Items(), tree->RadioStates).Check(items);
    ApplySelection(items);
    if (check.Clean())
        return;
    // What the file names but the tree cannot take is listed, never dropped unseen.
    QStringList details;
    auto section = [&details](const QString& heading, const QStringList& lines) {
        if (lines.isEmpty())
            return;
        if (!details.isEmpty())
            details << QString();
        details << heading << lines;
    };
    auto strings = [](const std::vector<std::string>& v) {
        QStringList l;
        for (const std::string& s : v)
            l << QStringLiteral("    ") + QString::fromStdString(s);
        return l;
    };
    section(CommandText(ctLoadedUnknown), strings(check.Unknown));
    section(CommandText(ctLoadedUnavailable), strings(check.Unavailable));
    QStringList clashes;
    for (const auto& [first, second] : check.Clashes)
        clashes << QStringLiteral("    ") + QString::fromStdString(first) + QStringLiteral(" / ") + QString::fromStdString(second);
    section(CommandText(ctLoadedClash), clashes);
    ShowDetailsBox(CommandText(ctLoadedPartly), details.join(QLatin1Char('\n')));
}

void TRecordControls::ScheduleConflicts()
{
    if (FConflictsPending)
        return;
    FConflictsPending = true;
    QTimer::singleShot(0, this, [this] {
        if (FConflictsPending)
            UpdateConflicts();
    });
}

void TRecordControls::UpdateConflicts()
{
    FConflictsPending = false;
    const tFilesArray files = FForm.CheckedItemList();
    std::vector<const TFileNameList*> lists;
    lists.reserve(files.size());
    for (const std::string& f : files) {
        auto it = Listings.find(f);
        lists.push_back(it == Listings.end() ? nullptr : &it->second);
    }
    const std::vector<TConflict> conflicts = TConflictFinder::Find(lists);
    if (conflicts.empty()) {
        FConflictText.clear();
        LConflicts->clear();
        LConflicts->setToolTip(QString());
        LConflicts->hide();
        return;
    }
    auto line = [&files](const TConflict& c) {
        return ExtraText(etConflict).arg(ArchiveName(files[c.Winner]), FilesCountText(c.Count), ArchiveName(files[c.Loser]));
    };
    FConflictText = line(conflicts.front());
    if (conflicts.size() > 1)
        FConflictText += ExtraText(etConflictMore).arg(conflicts.size() - 1);
    QStringList tip;
    for (const TConflict& c : conflicts) {
        tip << line(c);
        for (const std::string& e : c.Examples)
            tip << QStringLiteral("    ") + QString::fromStdString(e);
        if (c.Count > c.Examples.size())
            tip << QStringLiteral("    ...");
    }
    LConflicts->setToolTip(tip.join(QLatin1Char('\n')));
    PlaceConflictNote();
    LConflicts->show();
}

void TRecordControls::SetHeadingRight(int right)
{
    FHeadingRight = right;
    if (LConflicts->isVisibleTo(FForm.Controls().FilesPage))
        PlaceConflictNote();
}

void TRecordControls::PlaceConflictNote()
{
    // On the heading's line, right of it, up to the tree's right edge.
    const QRect heading = FForm.Controls().FilesHeading->geometry();
    const int left = std::max(FForm.Scaled(240), heading.right() + FForm.Scaled(12));
    const int right = FHeadingRight >= 0 ? FHeadingRight : FForm.Scaled(636);
    LConflicts->setGeometry(left, heading.top(), std::max(0, right - left), heading.height());
    LConflicts->setText(LConflicts->fontMetrics().elidedText(FConflictText, Qt::ElideMiddle, LConflicts->width()));
}

void TRecordControls::UpdateUninstallButton()
{
    BUninstall->setVisible(TRecordStore().HasRecord(FForm.Controls().Folder->text().toStdString()));
}

void TRecordControls::BUninstallClick()
{
    const std::string folder = FForm.Controls().Folder->text().toStdString();
    if (!TInstallChecks::GameClosed(FForm.GameExePath(), folder))
        return;
    // Another copy installing into or uninstalling from this folder: leave it be.
    TFolderLock lock;
    if (!lock.TryAcquire(folder)) {
        ShowMessageBox(ExtraText(etFolderBusy).arg(QString::fromStdString(folder)));
        return;
    }
    TUninstaller uninstaller{TRecordStore(), folder};
    try {
        if (!uninstaller.Load() || uninstaller.Record().Files.empty()) {
            ShowMessageBox(ExtraText(etNothingRecorded));
            UpdateUninstallButton();
            return;
        }
    } catch (const ERecordError& e) {
        ShowDetailsBox(ExtraText(e.Kind == ERecordError::TKind::Newer ? etRecordNewer : etRecordDamaged),
                       QString::fromStdString(e.what()));
        return;
    }
    if (ShowMessageBox(ExtraText(etUninstallQuestion), TMsgButtons::YesNo) != TMsgResult::Yes)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TUninstallResult result = uninstaller.Execute(uninstaller.Plan());
    QApplication::restoreOverrideCursor();

    QStringList lines{ExtraText(etUninstallDone), ExtraText(etRemoved).arg(result.Removed),
                      ExtraText(etRestored).arg(result.Restored)};
    QStringList details;
    // One count line and one listed section per kind of file left behind.
    auto section = [&lines, &details](const std::vector<std::string>& paths, TExtraText count, TExtraText heading) {
        if (paths.empty())
            return;
        lines << ExtraText(count).arg(paths.size());
        if (!details.isEmpty())
            details << QString();
        details << ExtraText(heading);
        for (const std::string& p : paths)
            details << QString::fromStdString(p);
    };
    section(result.Kept, etKept, etKeptHeading);
    section(result.Outside, etOutside, etOutsideHeading);
    section(result.Failed, etFailed, etFailedHeading);
    if (result.Unrecorded > 0)
        lines << ExtraText(etUnrecorded).arg(result.Unrecorded);
    if (!result.RecordError.empty())
        details << QString::fromStdString(result.RecordError);
    ShowDetailsBox(lines.join(QLatin1Char('\n')), details.join(QLatin1Char('\n')));
    UpdateUninstallButton();
}
