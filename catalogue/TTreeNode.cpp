#include "catalogue/TTreeNode.h"

#include "catalogue/TTreeNodes.h"

TTreeNode::TTreeNode(TTreeNodes* owner, TTreeNode* parent, const QString& text)
    : FOwner(owner), FParent(parent), FText(text), FLevel(parent ? parent->FLevel + 1 : 0)
{
}

void TTreeNode::SetText(const QString& text)
{
    FText = text;
    FOwner->Changed(this);
}

void TTreeNode::SetStateIndex(int index)
{
    if (FStateIndex == index)
        return;
    FStateIndex = index;
    FOwner->Changed(this);
}

void TTreeNode::SetImageIndex(int index)
{
    if (FImageIndex == index)
        return;
    FImageIndex = index;
    FOwner->Changed(this);
}

int TTreeNode::AbsoluteIndex() const
{
    return FOwner->IndexOf(this);
}

TTreeNode* TTreeNode::GetNext() const
{
    if (FFirstChild)
        return FFirstChild;
    for (const TTreeNode* n = this; n; n = n->FParent) {
        if (n->FNextSibling)
            return n->FNextSibling;
    }
    return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const
{
    if (!FPrevSibling)
        return FParent;
    TTreeNode* n = FPrevSibling;
    while (n->FLastChild)
        n = n->FLastChild;
    return n;
}

void TTreeNode::Delete()
{
    FOwner->Delete(this);
}
