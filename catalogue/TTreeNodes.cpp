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
    TTreeNode* oldLast = FOrderValid ? GetLastNode() : nullptr;
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
        if (node->GetPrev() == oldLast)
            AppendSlot(node);  // appending in pre-order, the usual case
        else
            FOrderValid = false;
    }
    if (FObserver)
        FObserver->NodeAdded(node);
    return node;
}

void TTreeNodes::AppendSlot(TTreeNode* node) const
{
    node->FIndex = static_cast<int>(FSlots.size());
    FSlots.push_back(node);
    // Fenwick node m covers slots (m - lowbit(m), m]: this slot plus the live count of the rest.
    const int m = static_cast<int>(FSlots.size());
    const int low = m & -m;
    FLive.push_back(1 + LivePrefix(m - 1) - LivePrefix(m - low));
}

int TTreeNodes::LivePrefix(int slot) const
{
    int sum = 0;
    for (int i = slot; i > 0; i -= i & -i)
        sum += FLive[i - 1];
    return sum;
}

void TTreeNodes::EnsureOrder() const
{
    if (FOrderValid)
        return;
    FSlots.clear();
    FLive.clear();
    FSlots.reserve(FCount);
    FLive.reserve(FCount);
    for (TTreeNode* n = FFirstRoot; n; n = n->GetNext())
        AppendSlot(n);
    FDeadSlots = 0;
    FOrderValid = true;
}

int TTreeNodes::IndexOf(const TTreeNode* node) const
{
    if (!node || node->FOwner != this)
        return -1;
    EnsureOrder();
    return LivePrefix(node->FIndex);
}

TTreeNode* TTreeNodes::Item(int absoluteIndex) const
{
    if (absoluteIndex < 0 || absoluteIndex >= FCount)
        return nullptr;
    EnsureOrder();
    // Descend the Fenwick tree to the slot holding the (absoluteIndex + 1)-th live node.
    int pos = 0;
    int remaining = absoluteIndex + 1;
    int step = 1;
    while (step * 2 <= static_cast<int>(FLive.size()))
        step *= 2;
    for (; step > 0; step /= 2) {
        if (pos + step <= static_cast<int>(FLive.size()) && FLive[pos + step - 1] < remaining) {
            pos += step;
            remaining -= FLive[pos - 1];
        }
    }
    return FSlots[pos];
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
    FSlots.clear();
    FLive.clear();
    FOrderValid = true;
    FDeadSlots = 0;
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
    for (TTreeNode* n = node; n != end; n = n->GetNext()) {
        ++size;
        if (FOrderValid) {
            FSlots[n->FIndex] = nullptr;
            for (int i = n->FIndex + 1; i <= static_cast<int>(FLive.size()); i += i & -i)
                --FLive[i - 1];
        }
    }
    FDeadSlots += size;
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
    // Compact once most slots are empty.
    if (FDeadSlots > 4096 && FDeadSlots > FCount)
        FOrderValid = false;
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
