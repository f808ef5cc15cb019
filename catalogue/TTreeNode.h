#pragma once

#include "catalogue/TRadioState.h"

#include <QString>

class QTreeWidgetItem;
class TTreeNodes;

// One node of a TTreeNodes collection. Created and destroyed only by the collection.
class TTreeNode {
public:
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    QString Text() const { return FText; }
    void SetText(const QString& text);
    // A TCheckState (csHidden .. csGrayed, or 4..9 from a catalogue line), or csUnassigned.
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int index);
    // Index into the normal image list; -1 none.
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    void* Data() const { return FData; }
    void SetData(void* data) { FData = data; }

    TTreeNodes* Owner() const { return FOwner; }
    TTreeNode* Parent() const { return FParent; }
    int Level() const { return FLevel; }
    // Position in top-to-bottom pre-order, counting from 0.
    int AbsoluteIndex() const;
    bool HasChildren() const { return FFirstChild != nullptr; }
    int ChildCount() const { return FChildCount; }
    TTreeNode* GetFirstChild() const { return FFirstChild; }
    TTreeNode* GetLastChild() const { return FLastChild; }
    TTreeNode* GetNextSibling() const { return FNextSibling; }
    TTreeNode* GetPrevSibling() const { return FPrevSibling; }
    TTreeNode* GetNext() const;  // pre-order
    TTreeNode* GetPrev() const;  // pre-order
    // Deletes the node and its descendants (their radio records are not touched).
    void Delete();

    // The view's row for this node; set by the view that shows the collection.
    QTreeWidgetItem* ViewItem() const { return FViewItem; }
    void SetViewItem(QTreeWidgetItem* item) { FViewItem = item; }

private:
    friend class TTreeNodes;
    TTreeNode(TTreeNodes* owner, TTreeNode* parent, const QString& text);
    ~TTreeNode() = default;

    TTreeNodes* FOwner;
    TTreeNode* FParent;
    TTreeNode* FFirstChild = nullptr;
    TTreeNode* FLastChild = nullptr;
    TTreeNode* FPrevSibling = nullptr;
    TTreeNode* FNextSibling = nullptr;
    QString FText;
    int FStateIndex = csUnassigned;
    int FImageIndex = -1;
    int FLevel = 0;
    int FChildCount = 0;
    mutable int FIndex = -1;  // cached absolute index, see TTreeNodes
    void* FData = nullptr;
    QTreeWidgetItem* FViewItem = nullptr;
};
