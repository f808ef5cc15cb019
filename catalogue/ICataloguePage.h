#pragma once

// The files page as the catalogue builder sees it, besides the nodes and radio records it
// fills: the hiding flag, the busy panel and the tree's expansion.
class ICataloguePage {
public:
    // Inaccessible files are left out rather than shown with a note.
    virtual bool HideInaccessible() const = 0;
    // The hiding option is offered only when a file was inaccessible.
    virtual void ShowHideOption(bool visible) = 0;
    // Shown, the panel is painted at once: the build blocks the event loop.
    virtual void ShowBusyPanel(bool visible) = 0;
    virtual void FullExpand() = 0;

protected:
    ~ICataloguePage() = default;
};
