#include "app/TSpaceLabels.h"

#include "shell/ExtraTexts.h"
#include "app/IWizardForm.h"
#include "app/TRecordControls.h"
#include "catalogue/TSpaceEstimate.h"
#include "platform/TDiskSpace.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TSpaceLabels::TSpaceLabels(IWizardForm& form, TRecordControls& recordControls)
    : QObject(form.Controls().Window), FForm(form), FRecordControls(recordControls)
{
    LSpaceNeeded = new QLabel(form.Controls().FilesPage);
    LSpaceNeeded->setObjectName(QStringLiteral("LSpaceNeeded"));
    LSpaceNeeded->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LSpaceNeeded->hide();

    LFreeSpace = new QLabel(form.Controls().PathPage);
    LFreeSpace->setObjectName(QStringLiteral("LFreeSpace"));
    LFreeSpace->setGeometry(form.Scaled(59), form.Scaled(240), form.Scaled(529), form.Scaled(17));
    LFreeSpace->hide();

    connect(form.Controls().Folder, &QLineEdit::textChanged, this, [this] { UpdateFree(); });
}

void TSpaceLabels::ApplyLanguage()
{
    UpdateNeeded();
    UpdateFree();
}

void TSpaceLabels::ScheduleNeeded()
{
    if (FPending)
        return;
    FPending = true;
    QTimer::singleShot(0, this, [this] {
        if (FPending)
            UpdateNeeded();
    });
}

void TSpaceLabels::UpdateNeeded()
{
    FPending = false;
    const tFilesArray files = FForm.CheckedItemList();
    if (files.empty()) {
        LSpaceNeeded->hide();
        FRecordControls.SetHeadingRight(FForm.Scaled(636));
        return;
    }
    const uint64_t needed = TSpaceEstimate::SelectionSize(FRecordControls.Listings, files);
    LSpaceNeeded->setText(ExtraText(etSpaceNeeded).arg(SizeText(needed)));
    // On the heading's line, at the tree's right edge; the note on clashing archives keeps left of it.
    const QRect heading = FForm.Controls().FilesHeading->geometry();
    const int right = FForm.Scaled(636);
    const int width = LSpaceNeeded->fontMetrics().horizontalAdvance(LSpaceNeeded->text()) + FForm.Scaled(4);
    LSpaceNeeded->setGeometry(right - width, heading.top(), width, heading.height());
    LSpaceNeeded->show();
    FRecordControls.SetHeadingRight(right - width - FForm.Scaled(12));
}

void TSpaceLabels::UpdateFree()
{
    const std::string dir = FForm.Controls().Folder->text().toStdString();
    const TFileSystemSpace space = dir.empty() ? TFileSystemSpace() : TDiskSpace::Query(dir);
    if (!space.Known) {
        LFreeSpace->hide();
        return;
    }
    LFreeSpace->setText(ExtraText(etSpaceFree).arg(SizeText(space.Free)));
    LFreeSpace->show();
}
