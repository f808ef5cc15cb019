#include "catalogue/TTreeNodes.h"

#include "catalogue/ETreeViewError.h"
#include "catalogue/TRadioState.h"
#include "catalogue/TTreeNodesObserver.h"

#include <algorithm>
#include <string>

TTreeNodes::TTreeNodes(TTreeNodesObserver* observer) : FObserver(observer) {}

TTreeNodes::~TTreeNodes()
{
    FObserver = nullptr;
    Clear();
}

void TTreeNodes::BeginUpdate()
{
    if (FUpdateCount++ == 0 && FObserver)
        FObserver->UpdateBegun();
}

void TTreeNodes::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0 && FObserver)
        FObserver->UpdateEnded();
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const QString& text)
{
    return Link(sibling ? sibling->FParent : nullptr, nullptr, text);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const QString& text)
{
    return Link(parent, nullptr, text);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* before, const QString& text)
{
    return Link(before ? before->FParent : nullptr, before, text);
}

TTreeNode* TTreeNodes::GetLastNode() const
{
    TTreeNode* n = FLastRoot;
    while (n && n->FLastChild)
        n = n->FLastChild;
    return n;
}

TTreeNode* TTreeNodes::Link(TTreeNode* parent, TTreeNode* before, const QString& text)
{
    if (FCount >= MaxTreeNodes)
        throw ETreeViewError("The tree cannot hold more than " + std::to_string(MaxTreeNodes) + " items");
    if (FSorted && !before) {
        before = parent ? parent->FFirstChild : FFirstRoot;
        while (before && QString::localeAwareCompare(before->FText, text) <= 0)
            before = before->FNextSibling;
    }
    auto* node = new TTreeNode(this, parent, text);
    TTreeNode*& first = parent ? parent->FFirstChild : FFirstRoot;
    TTreeNode*& last = parent ? parent->FLastChild : FLastRoot;
    if (before) {
        node->FNextSibling = before;
        node->FPrevSibling = before->FPrevSibling;
        if (before->FPrevSibling)
            before->FPrevSibling->FNextSibling = node;
        else
            first = node;
        before->FPrevSibling = node;
    } else {
        node->FPrevSibling = last;
        if (last)
            last->FNextSibling = node;
        else
            first = node;
        last = node;
    }
    if (parent)
        ++parent->FChildCount;
    ++FCount;

    if (FOrderValid) {
        TTreeNode* pred = node->GetPrev();
        if (pred == (FOrder.empty() ? nullptr : FOrder.back())) {
            // Appending in pre-order, the loader's and the builder's usual case.
            node->FIndex = static_cast<int>(FOrder.size());
            if (FIndexValidTo == node->FIndex)
                ++FIndexValidTo;
            FOrder.push_back(node);
        } else {
            const int pos = pred ? IndexOf(pred) + 1 : 0;
            FOrder.insert(FOrder.begin() + pos, node);
            node->FIndex = pos;
            FIndexValidTo = std::min(FIndexValidTo, pos);
        }
    }
    if (FObserver)
        FObserver->NodeAdded(node);
    return node;
}

void TTreeNodes::EnsureOrder() const
{
    if (FOrderValid)
        return;
    FOrder.clear();
    FOrder.reserve(FCount);
    for (TTreeNode* n = FFirstRoot; n; n = n->GetNext()) {
        n->FIndex = static_cast<int>(FOrder.size());
        FOrder.push_back(n);
    }
    FIndexValidTo = static_cast<int>(FOrder.size());
    FOrderValid = true;
}

int TTreeNodes::IndexOf(const TTreeNode* node) const
{
    if (!node || node->FOwner != this)
        return -1;
    EnsureOrder();
    if (node->FIndex >= 0 && node->FIndex < FIndexValidTo && FOrder[node->FIndex] == node)
        return node->FIndex;
    const int size = static_cast<int>(FOrder.size());
    for (int i = FIndexValidTo; i < size; ++i)
        FOrder[i]->FIndex = i;
    FIndexValidTo = size;
    return node->FIndex;
}

TTreeNode* TTreeNodes::Item(int absoluteIndex) const
{
    if (absoluteIndex < 0 || absoluteIndex >= FCount)
        return nullptr;
    EnsureOrder();
    return FOrder[absoluteIndex];
}

void TTreeNodes::Clear()
{
    if (FObserver && FFirstRoot)
        FObserver->NodesClearing();
    TTreeNode* n = FFirstRoot;
    while (n) {
        TTreeNode* next = n->FNextSibling;
        FreeSubtree(n);
        n = next;
    }
    FFirstRoot = FLastRoot = nullptr;
    FCount = 0;
    FOrder.clear();
    FOrderValid = true;
    FIndexValidTo = 0;
}

void TTreeNodes::Delete(TTreeNode* node)
{
    if (!node || node->FOwner != this)
        return;
    // The subtree runs in pre-order up to the next node that is not a descendant.
    TTreeNode* end = nullptr;
    for (TTreeNode* p = node; p && !end; p = p->FParent)
        end = p->FNextSibling;
    int size = 0;
    for (TTreeNode* n = node; n != end; n = n->GetNext())
        ++size;
    const int pos = FOrderValid ? IndexOf(node) : -1;
    if (FObserver)
        FObserver->NodeDeleting(node);

    TTreeNode* parent = node->FParent;
    TTreeNode*& first = parent ? parent->FFirstChild : FFirstRoot;
    TTreeNode*& last = parent ? parent->FLastChild : FLastRoot;
    if (node->FPrevSibling)
        node->FPrevSibling->FNextSibling = node->FNextSibling;
    else
        first = node->FNextSibling;
    if (node->FNextSibling)
        node->FNextSibling->FPrevSibling = node->FPrevSibling;
    else
        last = node->FPrevSibling;
    if (parent)
        --parent->FChildCount;
    FCount -= size;
    if (pos >= 0) {
        FOrder.erase(FOrder.begin() + pos, FOrder.begin() + pos + size);
        FIndexValidTo = std::min(FIndexValidTo, pos);
    }
    FreeSubtree(node);
}

void TTreeNodes::FreeSubtree(TTreeNode* node)
{
    // Iterative: catalogue chains may nest thousands of levels deep.
    std::vector<TTreeNode*> stack{node};
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        for (TTreeNode* c = n->FFirstChild; c; c = c->FNextSibling)
            stack.push_back(c);
        delete n;
    }
}

void TTreeNodes::Invalidate()
{
    if (FObserver)
        FObserver->Invalidate();
}

void TTreeNodes::Changed(TTreeNode* node)
{
    if (FObserver)
        FObserver->NodeChanged(node);
}

void TTreeNodes::SetSorted(bool sorted)
{
    if (FSorted == sorted)
        return;
    FSorted = sorted;
    if (sorted)
        AlphaSort();
}

void TTreeNodes::AlphaSort()
{
    std::vector<TTreeNode*> lists{nullptr};  // nullptr: the roots
    for (TTreeNode* n = FFirstRoot; n; n = n->GetNext()) {
        if (n->FFirstChild)
            lists.push_back(n);
    }
    std::vector<TTreeNode*> siblings;
    for (TTreeNode* parent : lists) {
        TTreeNode*& first = parent ? parent->FFirstChild : FFirstRoot;
        TTreeNode*& last = parent ? parent->FLastChild : FLastRoot;
        siblings.clear();
        for (TTreeNode* c = first; c; c = c->FNextSibling)
            siblings.push_back(c);
        std::stable_sort(siblings.begin(), siblings.end(), [](const TTreeNode* a, const TTreeNode* b) {
            return QString::localeAwareCompare(a->FText, b->FText) < 0;
        });
        for (size_t i = 0; i < siblings.size(); ++i) {
            siblings[i]->FPrevSibling = i ? siblings[i - 1] : nullptr;
            siblings[i]->FNextSibling = i + 1 < siblings.size() ? siblings[i + 1] : nullptr;
        }
        first = siblings.empty() ? nullptr : siblings.front();
        last = siblings.empty() ? nullptr : siblings.back();
    }
    FOrderValid = false;
    if (FObserver)
        FObserver->NodesReordered();
}
