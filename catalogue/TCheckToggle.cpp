#include "catalogue/TCheckToggle.h"

#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"

#include <algorithm>

namespace {

// The node after the last descendant of `node` in pre-order.
TTreeNode* AfterSubtree(const TTreeNode* node)
{
    for (const TTreeNode* p = node; p; p = p->Parent()) {
        if (p->GetNextSibling())
            return p->GetNextSibling();
    }
    return nullptr;
}

}  // namespace

TCheckToggle::TCheckToggle(TTreeNodes& nodes, const TRadioStates& radioStates, TNodeStateSetter& setter)
    : FNodes(nodes), FRadioStates(radioStates), FSetter(setter)
{
}

bool TCheckToggle::ToggleState(TTreeNode* node) const
{
    if (!node || node->StateIndex() == csHidden)
        return false;
    if (node->StateIndex() == csChecked) {
        FSetter.SetNodeState(node, csUnchecked);
    } else {
        FSetter.SetNodeState(node, csChecked);
        UncheckRadioPartners(node);
    }
    return true;
}

void TCheckToggle::UncheckRadioPartners(TTreeNode* node) const
{
    const int own = node->AbsoluteIndex();
    if (own < 0 || static_cast<size_t>(own) >= FRadioStates.size() || !FRadioStates[own].Radio)
        return;
    const std::uint16_t group = FRadioStates[own].Group;
    // Radio indices are 16-bit: records past the last one a tree may hold are never looked at.
    const size_t n = std::min<size_t>(FRadioStates.size(), MaxTreeNodes);
    for (size_t i = 0; i < n; ++i) {
        if (static_cast<int>(i) == own || !FRadioStates[i].Radio || FRadioStates[i].Group != group)
            continue;
        TTreeNode* other = FNodes.Item(static_cast<int>(i));
        if (other && other->StateIndex() == csChecked)
            FSetter.SetNodeState(other, csUnchecked);
    }
}

void TCheckToggle::UpdateChildren(TTreeNode* node, bool checked) const
{
    const TTreeNode* end = AfterSubtree(node);
    for (TTreeNode* n = node->GetFirstChild(); n && n != end; n = n->GetNext())
        FSetter.SetNodeState(n, checked ? csChecked : csUnchecked);
}

void TCheckToggle::UpdateParents(TTreeNode* node) const
{
    for (TTreeNode* parent = node->Parent(); parent; parent = parent->Parent()) {
        int checkedCount = 0;
        int uncheckedCount = 0;
        TCheckState result = csUnchecked;
        bool mixed = false;
        for (TTreeNode* c = parent->GetFirstChild(); c; c = c->GetNextSibling()) {
            if (c->StateIndex() == csChecked)
                ++checkedCount;
            else if (c->StateIndex() == csUnchecked)
                ++uncheckedCount;
            if (c->StateIndex() == csGrayed || (checkedCount > 0 && uncheckedCount > 0)) {
                mixed = true;
                break;
            }
        }
        if (mixed)
            result = csGrayed;
        else if (checkedCount > 0)
            result = csChecked;
        FSetter.SetNodeState(parent, result);
    }
}

void TCheckToggle::Toggle(TTreeNode* node, bool cascade) const
{
    if (!ToggleState(node) || !cascade)
        return;
    const bool checked = node->StateIndex() == csChecked;
    UpdateChildren(node, checked);
    UpdateParents(node);
}
