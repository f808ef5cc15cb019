#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/TRadioState.h"

class TNodeStateSetter;
class TTreeNode;
class TTreeNodes;

// What a list of catalogue paths finds in a built tree.
struct TSelectionCheck {
    std::vector<std::string> Unknown;      // no item of the catalogue has that path
    std::vector<std::string> Unavailable;  // the item is there but has no check box
    std::vector<std::pair<std::string, std::string>> Clashes;  // two items of one radio group
    bool Clean() const { return Unknown.empty() && Unavailable.empty() && Clashes.empty(); }
};

// The items of a built catalogue tree by their catalogue paths ("Folder/archive.7z": the
// folder node's text, the delimiter, the file node's text), as selections name them.
class TCatalogueSelection {
public:
    TCatalogueSelection(TTreeNodes& nodes, const TRadioStates& radioStates);

    // "" for a top-level node.
    static std::string PathOf(const TTreeNode* node);
    TTreeNode* Find(const std::string& path) const;
    TSelectionCheck Check(const std::vector<std::string>& items) const;
    // The checked items in tree order.
    std::vector<std::string> Checked() const;
    // Unticks every checked item that is not wanted through setter, then ticks each wanted
    // one that is not ticked through toggle (the user's own toggle), so radio partners go
    // off as the tree has them go off.
    void Apply(const std::vector<std::string>& items, TNodeStateSetter& setter,
               const std::function<void(TTreeNode*)>& toggle) const;

private:
    TTreeNodes& FNodes;
    const TRadioStates& FRadioStates;
};
