#pragma once

#include <QString>

#include <vector>

#include "catalogue/TTreeNode.h"

class TTreeNodesObserver;

// The node collection of a tree: nodes in pre-order, absolute indices cached so that
// lookups by index stay cheap while callers add and delete nodes in loops. Window-free.
class TTreeNodes {
public:
    explicit TTreeNodes(TTreeNodesObserver* observer = nullptr);
    ~TTreeNodes();
    TTreeNodes(const TTreeNodes&) = delete;
    TTreeNodes& operator=(const TTreeNodes&) = delete;

    // Nested; the view is refreshed once when the outermost bracket closes.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    // A new last sibling of `sibling` (nullptr: a new last root).
    TTreeNode* Add(TTreeNode* sibling, const QString& text);
    // A new last child of `parent` (nullptr: a new last root).
    TTreeNode* AddChild(TTreeNode* parent, const QString& text);
    // A new node just before `before`, as its sibling (nullptr: a new last root).
    TTreeNode* Insert(TTreeNode* before, const QString& text);
    TTreeNode* GetFirstNode() const { return FFirstRoot; }
    TTreeNode* GetLastRoot() const { return FLastRoot; }
    // The last node in absolute order, nullptr when empty.
    TTreeNode* GetLastNode() const;
    int Count() const { return FCount; }
    // nullptr when out of range.
    TTreeNode* Item(int absoluteIndex) const;
    void Clear();
    void Delete(TTreeNode* node);
    // Asks the view for a full repaint.
    void Invalidate();
    // Tells the view that a node's text, state or image changed.
    void Changed(TTreeNode* node);

    int IndexOf(const TTreeNode* node) const;

    // Sorted: siblings kept in text order, new nodes placed by their text.
    bool Sorted() const { return FSorted; }
    void SetSorted(bool sorted);
    void AlphaSort();

private:
    TTreeNode* Link(TTreeNode* parent, TTreeNode* before, const QString& text);
    void EnsureOrder() const;
    void AppendSlot(TTreeNode* node) const;
    int LivePrefix(int slot) const;  // live slots before `slot`
    static void FreeSubtree(TTreeNode* node);

    TTreeNodesObserver* FObserver;
    TTreeNode* FFirstRoot = nullptr;
    TTreeNode* FLastRoot = nullptr;
    int FCount = 0;
    int FUpdateCount = 0;
    bool FSorted = false;
    // Pre-order slots, valid when FOrderValid: every node sits in slot FIndex, deleted
    // nodes leave an empty slot, and a Fenwick tree over the slots counts the live ones, so
    // index lookups and deletions are logarithmic. Appending in pre-order (what loaders and
    // builders do) keeps the slots; an insertion elsewhere makes them be rebuilt.
    mutable std::vector<TTreeNode*> FSlots;
    mutable std::vector<int> FLive;  // Fenwick tree, 1-based
    mutable bool FOrderValid = true;
    mutable int FDeadSlots = 0;
};
