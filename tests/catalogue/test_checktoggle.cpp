// Radio exclusion and the cascade of a toggle, on the node collection alone: no window.
#include <gtest/gtest.h>

#include "catalogue/TCheckToggle.h"
#include "catalogue/TCheckTreeStrings.h"
#include "catalogue/TNodeStateSetter.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"

#include <set>

namespace {

// Stores every change it allows and writes down each request as "text=state".
class TRecordingSetter : public TNodeStateSetter {
public:
    void SetNodeState(TTreeNode* node, TCheckState newState) override
    {
        Asked.push_back(node->Text().toStdString() + "=" + std::to_string(newState));
        if (!Refused.count(node->Text().toStdString()))
            TNodeStateSetter::SetNodeState(node, newState);
    }
    std::vector<std::string> Asked;
    std::set<std::string> Refused;
};

struct TTree {
    TTreeNodes nodes;
    TRadioStates radio;
    TRecordingSetter setter;
    TCheckToggle toggle{nodes, radio, setter};

    explicit TTree(const QByteArray& catalogue) { TCheckTreeStrings(nodes, radio).LoadFromBytes(catalogue); }
    TTreeNode* Node(int i) const { return nodes.Item(i); }
    std::string States() const
    {
        std::string s;
        for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext())
            s += n->StateIndex() < 0 ? "-" : std::to_string(n->StateIndex());
        return s;
    }
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(CheckToggle, RadioGroupsSpanTheTreeAndSpareEveryoneElse)
{
    TTree t("0F00P1\n\t2T05a\n\t1T05b\n\t2F00n\n0F00P2\n\t1T05c\n\t2T06d\n\t3T05g\n\t2F00x\n");
    t.radio[3] = TRadioState{false, 5};  // group 5 written down, but no radio member
    t.toggle.Toggle(t.Node(5), false);
    EXPECT_EQ(t.States(), "011202232");
    t.toggle.Toggle(t.Node(5), false);  // unchecking leaves the group with none checked
    EXPECT_EQ(t.States(), "011201232");
    t.toggle.Toggle(t.Node(7), false);  // grayed becomes checked, and the group applies
    EXPECT_EQ(t.States(), "011201222");
    t.toggle.Toggle(t.Node(0), true);   // a hidden box: nothing at all, no cascade either
    EXPECT_EQ(t.States(), "011201222");
    EXPECT_FALSE(t.toggle.ToggleState(t.Node(0)));

    // States without an image of their own, and no state yet, count as unchecked.
    t.Node(1)->SetStateIndex(7);
    t.Node(2)->SetStateIndex(csUnassigned);
    t.toggle.Toggle(t.Node(2), false);
    EXPECT_EQ(t.States(), "072201212");
    t.toggle.Toggle(t.Node(1), false);
    EXPECT_EQ(t.States(), "021201212");

    // A node past the end of the radio records checks alone.
    t.radio.resize(3);
    t.toggle.Toggle(t.Node(5), false);
    EXPECT_EQ(t.States(), "021202212");
}

TEST(CheckToggle, CascadeDownThenUpInRequestOrder)
{
    TTree t("1F00root\n\t1F00a\n\t0F00hidden\n\t1F00b\n\t\t1F00b1\n\t\t1F00b2\n1F00other\n");
    t.toggle.Toggle(t.Node(0), true);
    EXPECT_EQ(t.States(), "2222221");  // hidden boxes are checked by the cascade down
    EXPECT_EQ(t.setter.Asked, (Calls{"root=2", "a=2", "hidden=2", "b=2", "b1=2", "b2=2"}));

    t.setter.Asked.clear();
    t.toggle.Toggle(t.Node(4), true);  // b1 off: b mixed, and so is root
    EXPECT_EQ(t.States(), "3223121");
    EXPECT_EQ(t.setter.Asked, (Calls{"b1=1", "b=3", "root=3"}));
    t.toggle.Toggle(t.Node(5), true);  // b2 off too: b unchecked, root still mixed
    EXPECT_EQ(t.States(), "3221111");
    t.toggle.Toggle(t.Node(3), true);  // b on again: b1 and b2 follow, root whole again
    EXPECT_EQ(t.States(), "2222221");
    t.toggle.Toggle(t.Node(1), true);
    EXPECT_EQ(t.States(), "3122221");
    t.toggle.Toggle(t.Node(0), true);  // a grayed root becomes checked, everything below follows
    EXPECT_EQ(t.States(), "2222221");

    // A grayed child makes its parent grayed whatever the others say; children that all
    // have hidden boxes leave their parent unchecked.
    TTree g("2F00p\n\t3F00g\n\t2F00c\n2F00q\n\t0F00h1\n\t0F00h2\n\t\t1F00deep\n");
    g.toggle.UpdateParents(g.Node(2));
    EXPECT_EQ(g.States(), "3322001");
    g.toggle.UpdateParents(g.Node(5));
    EXPECT_EQ(g.States(), "3321001");
}

TEST(CheckToggle, RefusedChangesStayRefused)
{
    TTree t("1T01a\n2T01b\n1F00r\n\t1F00p\n\t\t1T01c\n\t\t2F00d\n");
    t.setter.Refused = {"a"};
    t.toggle.Toggle(t.Node(0), false);
    EXPECT_EQ(t.States(), "111112");  // a refused, yet its partner was asked and unchecked
    EXPECT_EQ(t.setter.Asked, (Calls{"a=2", "b=1"}));

    // A refused parent keeps its state, and its own parent is judged by what it kept.
    t.setter.Asked.clear();
    t.setter.Refused = {"p"};
    t.toggle.Toggle(t.Node(4), true);
    EXPECT_EQ(t.States(), "111122");
    EXPECT_EQ(t.setter.Asked, (Calls{"c=2", "p=2", "r=1"}));
}
