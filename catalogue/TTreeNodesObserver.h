#pragma once

class TTreeNode;

// Told of every change of a TTreeNodes collection; the view mirrors the nodes through it.
class TTreeNodesObserver {
public:
    virtual ~TTreeNodesObserver() = default;
    virtual void NodeAdded(TTreeNode* node) = 0;
    // Before the node and its descendants go.
    virtual void NodeDeleting(TTreeNode* node) = 0;
    virtual void NodeChanged(TTreeNode* node) = 0;
    // Before all nodes go at once.
    virtual void NodesClearing() = 0;
    // The sibling order changed throughout.
    virtual void NodesReordered() = 0;
    virtual void UpdateBegun() = 0;
    virtual void UpdateEnded() = 0;
    // A full repaint is wanted.
    virtual void Invalidate() = 0;
};
