#include "app/TFilesPage.h"

#include "app/TFMain.h"
#include "catalogue/TCheckTreeView.h"

#include <QCheckBox>
#include <QLabel>

TFilesPage::TFilesPage(TFMain& form) : FForm(form)
{
}

bool TFilesPage::HideInaccessible() const
{
    return FForm.CBEmptyFilesHide->isChecked();
}

void TFilesPage::ShowHideOption(bool visible)
{
    FForm.CBEmptyFilesHide->setVisible(visible);
}

void TFilesPage::ShowBusyPanel(bool visible)
{
    if (!visible) {
        FForm.PFilesAnalyz->hide();
        return;
    }
    // The build blocks the event loop, so the panel is painted now or never.
    FForm.PFilesAnalyz->show();
    FForm.PFilesAnalyz->raise();
    FForm.PFilesAnalyz->repaint();
}

void TFilesPage::FullExpand()
{
    FForm.TVFiles->FullExpand();
}
