// Builds a tree from the first bytes, then runs the rest as a sequence of toggles and
// checks after each one what a toggle promises, whatever the tree and its radio records.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "catalogue/TCheckToggle.h"
#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

class TByteReader {
public:
    TByteReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    bool More() const { return FPos < FSize; }
    uint8_t Next() { return FPos < FSize ? FData[FPos++] : 0; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

// Refuses every change of the nodes marked in Refused.
class TRefusingSetter : public TNodeStateSetter {
public:
    void SetNodeState(TTreeNode* node, TCheckState newState) override
    {
        if (!Refused.at(node->AbsoluteIndex()))
            TNodeStateSetter::SetNodeState(node, newState);
    }
    std::vector<bool> Refused;
};

bool IsInside(const TTreeNode* node, const TTreeNode* ancestor)
{
    for (const TTreeNode* p = node->Parent(); p; p = p->Parent()) {
        if (p == ancestor)
            return true;
    }
    return false;
}

// What the walk up makes of a parent from its children.
int FromChildren(const TTreeNode* parent)
{
    bool checked = false;
    bool unchecked = false;
    for (const TTreeNode* c = parent->GetFirstChild(); c; c = c->GetNextSibling()) {
        checked |= c->StateIndex() == csChecked;
        unchecked |= c->StateIndex() == csUnchecked;
        if (c->StateIndex() == csGrayed)
            return csGrayed;
    }
    return checked && unchecked ? csGrayed : checked ? csChecked : csUnchecked;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TByteReader in(data, size);
    TTreeNodes nodes;
    TRadioStates radio;
    TRefusingSetter setter;

    // The tree: per node a shape byte (how far up from the last node, or one down) and a
    // state byte (state -1..9, radio flag, one of four groups, refused or not).
    const int count = 1 + in.Next() % 48;
    TTreeNode* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const uint8_t shape = in.Next();
        const uint8_t bits = in.Next();
        TTreeNode* parent = last ? last->Parent() : nullptr;
        if (last && shape % 3 == 0)
            parent = last;
        for (int up = shape / 3 % 4; up > 0 && parent; --up)
            parent = parent->Parent();
        last = nodes.AddChild(parent, QString::number(i));
        last->SetStateIndex(static_cast<int>(bits % 11) - 1);
        radio.push_back(TRadioState{(bits & 0x10) != 0, static_cast<uint16_t>(bits >> 5 & 3)});
        setter.Refused.push_back(bits >= 0xF0);
    }
    // Builders may leave the records short of the nodes.
    radio.resize(radio.size() - in.Next() % 3 % radio.size());
    const TCheckToggle toggle(nodes, radio, setter);

    while (in.More()) {
        const uint8_t op = in.Next();
        TTreeNode* node = nodes.Item(op % 64 % count);
        const bool cascade = (op & 0x40) != 0;
        std::vector<int> before;
        for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext())
            before.push_back(n->StateIndex());
        const int own = node->AbsoluteIndex();
        const bool inRadio = static_cast<size_t>(own) < radio.size() && radio[own].Radio;

        toggle.Toggle(node, cascade);

        const int was = before[own];
        if (was == csHidden) {
            for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext())
                Require(n->StateIndex() == before[n->AbsoluteIndex()]);
            continue;
        }
        const bool checking = was != csChecked;
        const bool allowed = !setter.Refused[own];
        const int now = allowed ? (checking ? csChecked : csUnchecked) : was;
        for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext()) {
            const int i = n->AbsoluteIndex();
            const int state = n->StateIndex();
            if (setter.Refused[i]) {
                Require(state == before[i]);
            } else if (n == node) {
                Require(state == now);
            } else if (cascade && IsInside(n, node)) {
                Require(state == (now == csChecked ? csChecked : csUnchecked));
            } else if (cascade && IsInside(node, n)) {
                Require(state == FromChildren(n));
            } else if (checking && inRadio && static_cast<size_t>(i) < radio.size() && radio[i].Radio &&
                       radio[i].Group == radio[own].Group && before[i] == csChecked) {
                Require(state == csUnchecked);
            } else {
                Require(state == before[i]);
            }
        }
    }
    return 0;
}
