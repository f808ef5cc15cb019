#include "app/TFilesPage.h"

#include "app/IWizardForm.h"
#include "catalogue/TCheckTreeView.h"

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

TFilesPage::TFilesPage(IWizardForm& form) : FForm(form)
{
}

bool TFilesPage::HideInaccessible() const
{
    return FForm.Controls().HideInaccessible->isChecked();
}

void TFilesPage::ShowHideOption(bool visible)
{
    FForm.Controls().HideInaccessible->setVisible(visible);
}

void TFilesPage::ShowBusyPanel(bool visible)
{
    if (!visible) {
        FForm.Controls().BusyPanel->hide();
        return;
    }
    // The build blocks the event loop, so the panel is painted now or never.
    FForm.Controls().BusyPanel->show();
    FForm.Controls().BusyPanel->raise();
    FForm.Controls().BusyPanel->repaint();
}

void TFilesPage::FullExpand()
{
    FForm.Controls().Tree->FullExpand();
}
