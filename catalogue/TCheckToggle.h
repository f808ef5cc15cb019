#pragma once

#include "catalogue/TRadioState.h"

class TNodeStateSetter;
class TTreeNode;
class TTreeNodes;

// What a toggle of one check box does to the rest of the tree: radio exclusion across the
// whole tree and the tri-state cascade down to the children and up to the parents. Works
// on the node collection and the radio records alone, so it runs and is tested without a
// window; every change goes through the setter, which may refuse it.
class TCheckToggle {
public:
    TCheckToggle(TTreeNodes& nodes, const TRadioStates& radioStates, TNodeStateSetter& setter);

    // The toggled node's own change. A hidden box stays as it is and false is returned;
    // checked becomes unchecked; anything else becomes checked, and then the checked members
    // of the node's radio group are unchecked, whether or not the check itself was allowed.
    bool ToggleState(TTreeNode* node) const;
    // Unchecks every checked node that shares the node's radio group (none when the node
    // takes no part in radio checking).
    void UncheckRadioPartners(TTreeNode* node) const;
    // Every descendant, each child before its own children, to checked or unchecked; hidden
    // boxes included, radio groups not consulted.
    void UpdateChildren(TTreeNode* node, bool checked) const;
    // Each ancestor in turn from its children: grayed when a child is grayed or the children
    // are mixed, else checked when one is checked, else unchecked.
    void UpdateParents(TTreeNode* node) const;
    // A whole toggle: the node's own change, then both cascades when asked and the box was
    // not hidden.
    void Toggle(TTreeNode* node, bool cascade) const;

private:
    TTreeNodes& FNodes;
    const TRadioStates& FRadioStates;
    TNodeStateSetter& FSetter;
};
