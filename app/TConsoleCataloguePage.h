#pragma once

#include "catalogue/ICataloguePage.h"

// The files page of the command line: nothing to show, only whether inaccessible files are
// left out (as the page's box, checked at start) or listed with their notes.
class TConsoleCataloguePage : public ICataloguePage {
public:
    explicit TConsoleCataloguePage(bool hideInaccessible) : FHide(hideInaccessible) {}

    bool HideInaccessible() const override { return FHide; }
    void ShowHideOption(bool) override {}
    void ShowBusyPanel(bool) override {}
    void FullExpand() override {}

private:
    bool FHide;
};
