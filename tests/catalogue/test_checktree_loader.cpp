// The catalogue line loader and the node collection, without a window.
#include <gtest/gtest.h>

#include <random>

#include "catalogue/EConvertError.h"
#include "catalogue/ETreeViewError.h"
#include "catalogue/TCatalogueText.h"
#include "catalogue/TCheckTreeStrings.h"
#include "catalogue/TTreeNodes.h"
#include "tests/support/ErrorOf.h"

namespace {

struct Loaded {
    TTreeNodes nodes;
    TRadioStates radio;
    TCheckTreeStrings strings{nodes, radio};

    void Load(const QByteArray& text) { strings.LoadFromBytes(text); }
    // "level state radio group text" per node, in absolute order.
    std::vector<std::string> Dump() const
    {
        std::vector<std::string> out;
        for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext()) {
            const TRadioState& r = radio.at(n->AbsoluteIndex());
            out.push_back(std::to_string(n->Level()) + " " + std::to_string(n->StateIndex()) + " " +
                          (r.Radio ? "T" : "F") + std::to_string(r.Group) + " " + n->Text().toStdString());
        }
        return out;
    }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(CheckTreeLoader, ExamplesOfTheLineFormat)
{
    Loaded l;
    l.Load("2F00a\r\n\t1T07b\r\n\t1T07c");
    EXPECT_EQ(l.Dump(), (Lines{"0 2 F0 a", "1 1 T7 b", "1 1 T7 c"}));

    l.Load("2t05x\n2F05x\n2T99 lead\n  # indented comment\n\t#tab comment\n9F00nine\n");
    EXPECT_EQ(l.Dump(), (Lines{"0 2 F0 x", "0 2 F0 x", "0 2 T99  lead", "0 9 F0 nine"}));

    // An indented first line still becomes a root; going back up climbs to the right parent.
    l.Load("\t\t0F00root\n\t1F00kid\n\t\t1F00grandkid\n0F00second\n");
    EXPECT_EQ(l.Dump(), (Lines{"0 0 F0 root", "1 1 F0 kid", "2 1 F0 grandkid", "0 0 F0 second"}));
}

TEST(CheckTreeLoader, RejectedLinesKeepWhatWasReadBefore)
{
    Loaded l;
    EXPECT_EQ(ErrorOf<ETreeViewError>([&] { l.Load("2F00a\n\t\t\t2F00d\n1F00never"); }), "Invalid level (3) for item \"d\"");
    EXPECT_EQ(l.Dump(), (Lines{"0 2 F0 a"}));

    EXPECT_EQ(ErrorOf<EConvertError>([&] { l.Load("1F00ok\n  x1F00name"); }), "'x' is not a valid integer value");
    EXPECT_EQ(l.Dump(), (Lines{"0 1 F0 ok"}));
    EXPECT_EQ(ErrorOf<EConvertError>([&] { l.Load("1T0xname"); }), "'0x' is not a valid integer value");
    // Signs and blanks are no group digits.
    EXPECT_EQ(ErrorOf<EConvertError>([&] { l.Load("1T-5name"); }), "'-5' is not a valid integer value");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { l.Load("1T 5name"); }), "' 5' is not a valid integer value");

    const std::string shortLine = ErrorOf<ETreeViewError>([&] { l.Load("1F00a\n\n   \n\t1F0\n"); });
    EXPECT_NE(shortLine.find("Line 4"), std::string::npos) << shortLine;
    EXPECT_NE(shortLine.find("\"\t1F0\""), std::string::npos) << shortLine;
    EXPECT_EQ(l.Dump(), (Lines{"0 1 F0 a"}));
}

TEST(CheckTreeLoader, LineEndsBlankLinesAndEncodings)
{
    Loaded l;
    l.Load("1F00a\r1F00b\n\n \t \r\n1F00c\r\n\r\n");
    EXPECT_EQ(l.Dump(), (Lines{"0 1 F0 a", "0 1 F0 b", "0 1 F0 c"}));

    // Windows-1251 bytes (not valid UTF-8) and UTF-8 with a BOM give the same Russian name.
    l.Load("1F00\xCF\xF0\xE8\xF6\xE5\xEB\xFB.7z");
    EXPECT_EQ(l.nodes.Item(0)->Text(), QString::fromUtf8("Прицелы.7z"));
    l.Load("\xEF\xBB\xBF" "1F00\xD0\x9F\xD1\x80\xD0\xB8\xD1\x86\xD0\xB5\xD0\xBB\xD1\x8B.7z");
    EXPECT_EQ(l.nodes.Item(0)->Text(), QString::fromUtf8("Прицелы.7z"));

    // A 1 MB name is just a long name.
    l.Load("1F00" + QByteArray(1 << 20, 'n'));
    EXPECT_EQ(l.nodes.Item(0)->Text().size(), 1 << 20);

    // NUL bytes are plain characters, not the end of the text.
    l.Load(QByteArray("1F00a\0b\n1F00c", 13));
    ASSERT_EQ(l.nodes.Count(), 2);
    EXPECT_EQ(l.nodes.Item(0)->Text().size(), 3);
}

TEST(CheckTreeLoader, DefaultCatalogueHasNoItems)
{
    QByteArray text = "#\r\n# The configuration files items:\r\n#\r\n# Prefix: XBYY\r\n#  X = 0..3\r\n"
                      "#       \r\n#  Remark:      \r\n#";
    Loaded l;
    l.Load("1F00old");
    l.radio.push_back({true, 3});
    l.Load(text);
    EXPECT_EQ(l.nodes.Count(), 0);
    EXPECT_TRUE(l.radio.empty());
}

TEST(CheckTreeLoader, RefusesMoreNodesThanIndicesHold)
{
    Loaded l;
    QByteArray text;
    for (int i = 0; i < MaxTreeNodes; ++i)
        text += "1T01n\n";
    l.Load(text);
    EXPECT_EQ(l.nodes.Count(), MaxTreeNodes);
    EXPECT_EQ(l.radio.size(), size_t(MaxTreeNodes));
    text += "1F00one too many\n";
    const std::string error = ErrorOf<ETreeViewError>([&] { l.Load(text); });
    EXPECT_NE(error.find("65535"), std::string::npos) << error;
    EXPECT_EQ(l.nodes.Count(), MaxTreeNodes);
    EXPECT_FALSE(l.nodes.Updating());
}

TEST(CheckTreeStrings, AddPlacesByIndentation)
{
    Loaded l;
    EXPECT_EQ(l.strings.Add("a"), 0);
    EXPECT_EQ(l.strings.Add("\tb"), 1);
    EXPECT_EQ(l.strings.Add("\t\tc"), 2);
    EXPECT_EQ(l.strings.Add("\td"), 3);
    EXPECT_EQ(l.strings.Add(QString(QChar(0x1A))), 4);
    EXPECT_EQ(l.strings.Add("e"), 4);
    EXPECT_THROW(l.strings.Add("\t\t\tf"), ETreeViewError);
    ASSERT_EQ(l.strings.Count(), 5);
    EXPECT_EQ(l.strings.Get(2), "\t\tc");
    EXPECT_EQ(l.strings.Get(3), "\td");
    EXPECT_EQ(l.nodes.Item(3)->Parent(), l.nodes.Item(0));
    EXPECT_TRUE(l.radio.empty());  // the view's add keeps no radio records

    try {
        Loaded empty;
        empty.strings.Add("\t\tdeep");
        FAIL();
    } catch (const ETreeViewError& e) {
        EXPECT_STREQ(e.what(), "Invalid item level assignment");
    }
}

// Absolute indices stay right while nodes are added, inserted and deleted in any order.
TEST(TreeNodes, AbsoluteIndicesFollowEveryChange)
{
    TTreeNodes nodes;
    std::mt19937 rng(7);
    std::vector<TTreeNode*> expected;
    auto check = [&] {
        expected.clear();
        for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext())
            expected.push_back(n);
        ASSERT_EQ(int(expected.size()), nodes.Count());
        for (int i = 0; i < nodes.Count(); ++i) {
            ASSERT_EQ(nodes.Item(i), expected[i]) << i;
            ASSERT_EQ(expected[i]->AbsoluteIndex(), i);
            ASSERT_EQ(expected[i]->GetNext(), i + 1 < nodes.Count() ? expected[i + 1] : nullptr);
            ASSERT_EQ(expected[i]->GetPrev(), i ? expected[i - 1] : nullptr);
        }
    };
    for (int step = 0; step < 600; ++step) {
        TTreeNode* some = nodes.Count() ? nodes.Item(int(rng() % nodes.Count())) : nullptr;
        switch (rng() % 5) {
        case 0: nodes.AddChild(some, "c"); break;
        case 1: nodes.Add(some, "s"); break;
        case 2: nodes.Insert(some, "i"); break;
        case 3: if (some) { some->AbsoluteIndex(); nodes.Delete(some); } break;
        default: if (some) some->Delete(); break;
        }
        if (step % 20 == 0)
            check();
    }
    check();
    nodes.Clear();
    EXPECT_EQ(nodes.Count(), 0);
    EXPECT_EQ(nodes.Item(0), nullptr);
}

// The builder's hide walk: note the index, step back, delete, carry on; past the point
// where the index cache compacts itself.
TEST(TreeNodes, DeletingByIndexInALoop)
{
    TTreeNodes nodes;
    for (int f = 0; f < 100; ++f) {
        TTreeNode* folder = nodes.AddChild(nullptr, "folder");
        for (int i = 0; i < 99; ++i)
            nodes.AddChild(folder, i % 3 ? "drop" : "keep");
    }
    for (TTreeNode* n = nodes.GetFirstNode(); n;) {
        if (n->Text() != "drop") {
            n = n->GetNext();
            continue;
        }
        const int index = n->AbsoluteIndex();
        n = index ? n->GetPrev() : n->GetNext();
        nodes.Item(index)->Delete();
        ASSERT_EQ(n->AbsoluteIndex(), index - 1);
    }
    ASSERT_EQ(nodes.Count(), 100 * 34);
    int i = 0;
    for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext(), ++i) {
        ASSERT_EQ(nodes.Item(i), n);
        ASSERT_EQ(n->AbsoluteIndex(), i);
    }
}

TEST(TreeNodes, SortedSiblingsByText)
{
    TTreeNodes nodes;
    TTreeNode* b = nodes.AddChild(nullptr, "b");
    nodes.AddChild(nullptr, "a");
    nodes.AddChild(b, "z");
    nodes.AddChild(b, "y");
    nodes.SetSorted(true);
    nodes.AddChild(nullptr, "c");
    std::string order;
    for (TTreeNode* n = nodes.GetFirstNode(); n; n = n->GetNext())
        order += n->Text().toStdString();
    EXPECT_EQ(order, "abyzc");
}
