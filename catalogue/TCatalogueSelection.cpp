#include "catalogue/TCatalogueSelection.h"

#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Paths.h"

#include <map>
#include <set>

TCatalogueSelection::TCatalogueSelection(TTreeNodes& nodes, const TRadioStates& radioStates)
    : FNodes(nodes), FRadioStates(radioStates)
{
}

std::string TCatalogueSelection::PathOf(const TTreeNode* node)
{
    if (!node || node->Level() == 0 || !node->Parent())
        return {};
    return node->Parent()->Text().toStdString() + PathDelim + node->Text().toStdString();
}

TTreeNode* TCatalogueSelection::Find(const std::string& path) const
{
    for (TTreeNode* n = FNodes.GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() > 0 && PathOf(n) == path)
            return n;
    }
    return nullptr;
}

TSelectionCheck TCatalogueSelection::Check(const std::vector<std::string>& items) const
{
    std::map<std::string, TTreeNode*> byPath;
    for (TTreeNode* n = FNodes.GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() > 0)
            byPath.emplace(PathOf(n), n);
    }
    TSelectionCheck result;
    std::map<std::uint16_t, std::string> groupOwner;
    for (const std::string& item : items) {
        const auto it = byPath.find(item);
        if (it == byPath.end()) {
            result.Unknown.push_back(item);
            continue;
        }
        TTreeNode* node = it->second;
        if (node->StateIndex() < csUnchecked || node->StateIndex() > csGrayed) {
            result.Unavailable.push_back(item);
            continue;
        }
        const int index = node->AbsoluteIndex();
        if (index < 0 || index >= static_cast<int>(FRadioStates.size()) || !FRadioStates[index].Radio)
            continue;
        const auto [owner, added] = groupOwner.emplace(FRadioStates[index].Group, item);
        if (!added)
            result.Clashes.emplace_back(owner->second, item);
    }
    return result;
}

std::vector<std::string> TCatalogueSelection::Checked() const
{
    std::vector<std::string> items;
    for (TTreeNode* n = FNodes.GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() > 0 && n->StateIndex() == csChecked)
            items.push_back(PathOf(n));
    }
    return items;
}

void TCatalogueSelection::Apply(const std::vector<std::string>& items, TNodeStateSetter& setter,
                                const std::function<void(TTreeNode*)>& toggle) const
{
    const std::set<std::string> wanted(items.begin(), items.end());
    auto isWanted = [&wanted](TTreeNode* n) { return n->Level() > 0 && wanted.count(PathOf(n)) > 0; };
    for (TTreeNode* n = FNodes.GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() > 0 && n->StateIndex() == csChecked && !isWanted(n))
            setter.SetNodeState(n, csUnchecked);
    }
    for (TTreeNode* n = FNodes.GetFirstNode(); n; n = n->GetNext()) {
        if (isWanted(n) && (n->StateIndex() == csUnchecked || n->StateIndex() == csGrayed))
            toggle(n);
    }
}
