#include "catalogue/TNodeStateSetter.h"

#include "catalogue/TTreeNode.h"

void TNodeStateSetter::SetNodeState(TTreeNode* node, TCheckState newState)
{
    if (node)
        node->SetStateIndex(newState);
}
