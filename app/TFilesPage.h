#pragma once

#include "catalogue/ICataloguePage.h"

class IWizardForm;

// The main window's files page as the catalogue builder sees it.
class TFilesPage : public ICataloguePage {
public:
    explicit TFilesPage(IWizardForm& form);

    bool HideInaccessible() const override;
    void ShowHideOption(bool visible) override;
    void ShowBusyPanel(bool visible) override;
    void FullExpand() override;

private:
    IWizardForm& FForm;
};
