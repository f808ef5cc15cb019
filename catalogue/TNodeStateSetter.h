#pragma once

#include "catalogue/TRadioState.h"

class TTreeNode;

// Where the radio and cascade logic sends each change of a node's check state. By itself
// it just stores the state; the check tree control asks its handlers first and tells them
// afterwards.
class TNodeStateSetter {
public:
    virtual ~TNodeStateSetter() = default;
    virtual void SetNodeState(TTreeNode* node, TCheckState newState);
};
