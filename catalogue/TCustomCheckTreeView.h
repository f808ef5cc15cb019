#pragma once

#include <QTreeWidget>

#include <functional>
#include <memory>

#include "catalogue/TImageList.h"
#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TRadioState.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "catalogue/TTreeNodesObserver.h"

class QIODevice;
class TCheckToggle;

enum class TSortType { stNone, stText };

using TCheckTreeChangingEvent =
    std::function<void(QObject* Sender, TTreeNode* Node, TCheckState NewState, bool& AllowChange)>;
using TCheckTreeChangeEvent = std::function<void(QObject* Sender, TTreeNode* Node, TCheckState NewState)>;
using TNotifyEvent = std::function<void(QObject* Sender)>;

// A tree with a flat check box before every node (hidden, unchecked, checked, grayed),
// radio groups across the whole tree, optional cascading to children and parents, and a
// loader for indented catalogue text. What a toggle does to other nodes is decided by
// TCheckToggle; the control adds the pointer and key input and its events.
class TCustomCheckTreeView : public QTreeWidget, public TNodeStateSetter, protected TTreeNodesObserver {
    Q_OBJECT

public:
    explicit TCustomCheckTreeView(QWidget* parent = nullptr);
    ~TCustomCheckTreeView() override;

    TTreeNodes* Items() const { return FItems.get(); }

    // Throws EFOpenError "Cannot open file %s" when the file cannot be read.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream);

    void AddRadioState(const TRadioState& state);
    void DeleteRadioState(std::uint16_t index);
    void ClearRadioStates();

    // The user's toggle, as by a click on the box or the space bar.
    void ToggleNode(TTreeNode* node);
    // Asks OnStateChanging, sets the state, tells OnStateChange.
    void SetNodeState(TTreeNode* node, TCheckState newState) override;

    bool ShowCheckImage() const { return FShowCheckImage; }
    void SetShowCheckImage(bool value);
    TImageList* Images() const { return FImages; }
    // Not owned.
    void SetImages(TImageList* images);

    TSortType SortType() const { return FSortType; }
    void SetSortType(TSortType type);
    void FullExpand();
    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* node);
    // Node shown at a point of the viewport, nullptr if none.
    TTreeNode* GetNodeAt(const QPoint& pos) const;
    // The row and label rectangles of a node, in viewport coordinates.
    QRect NodeRect(TTreeNode* node) const;
    QRect TextRect(TTreeNode* node) const;
    // Width reserved before the label: the check band (when boxes show) and the image.
    int LabelOffset() const;

    int CheckWidth = 0;
    bool CascadeChecks = true;
    bool ClickPending = false;
    std::unique_ptr<TImageList> CheckImages;
    int ImagesWidth = 0;
    int ClickIndex = -1;
    TCheckTreeChangingEvent OnStateChanging;
    TCheckTreeChangeEvent OnStateChange;
    TNotifyEvent OnUpdateChildren;
    TRadioStates RadioStates;

    static TTreeNode* NodeOfItem(const QTreeWidgetItem* item);

protected:
    virtual void LoadCheckImages();
    virtual void UpdateChildren(TTreeNode* node, bool checked);
    virtual void UpdateImagesWidth();
    virtual void UpdateParents(TTreeNode* node, bool checked);
    virtual bool DoStateChanging(TTreeNode* node, TCheckState newState);
    virtual void DoStateChange(TTreeNode* node, TCheckState newState);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // TTreeNodesObserver
    void NodeAdded(TTreeNode* node) override;
    void NodeDeleting(TTreeNode* node) override;
    void NodeChanged(TTreeNode* node) override;
    void NodesClearing() override;
    void NodesReordered() override;
    void UpdateBegun() override;
    void UpdateEnded() override;
    void Invalidate() override;

private:
    // The radio and cascade logic over this control's nodes, changing them through SetNodeState.
    TCheckToggle Toggle();
    bool OnCheckBand(const QPoint& pos) const;
    void RelayoutRows();

    void AddRow(TTreeNode* node);

    std::unique_ptr<TTreeNodes> FItems;
    // Inside an update bracket the rows are taken out of the widget, so that adding and
    // deleting them costs no model signals and no relayout of the expanded tree.
    bool FDetached = false;
    QList<QTreeWidgetItem*> FDetachedTops;
    TTreeNode* FSavedCurrent = nullptr;
    bool FShowCheckImage = true;
    bool FMayHaveUnset = false;
    TImageList* FImages = nullptr;
    TSortType FSortType = TSortType::stNone;
};
