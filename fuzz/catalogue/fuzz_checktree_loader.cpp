// Loads arbitrary bytes as a catalogue, then checks the tree it left behind.
#include <cstdint>
#include <cstdlib>

#include <QByteArrayList>

#include "catalogue/TCheckTreeStrings.h"
#include "catalogue/TTreeNodes.h"
#include "platform/Exception.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TTreeNodes nodes;
    TRadioStates radio;
    TCheckTreeStrings strings(nodes, radio);
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        strings.LoadFromBytes(bytes);
    } catch (const Exception&) {
        // A rejected line: what was read before it stays.
    }
    Require(!nodes.Updating());
    Require(radio.size() == static_cast<size_t>(nodes.Count()));
    int index = 0;
    TTreeNode* prev = nullptr;
    for (TTreeNode* n = nodes.GetFirstNode(); n; prev = n, n = n->GetNext(), ++index) {
        Require(n->AbsoluteIndex() == index && nodes.Item(index) == n);
        Require(n->GetPrev() == prev);
        Require(n->Level() == (n->Parent() ? n->Parent()->Level() + 1 : 0));
        Require(n->StateIndex() >= csHidden && n->StateIndex() <= 9);
        Require(!radio[index].Radio || radio[index].Group <= 99);
        Require(strings.Get(index).endsWith(n->Text()));
    }
    Require(index == nodes.Count());

    // The same bytes once more through the view's add, line by line.
    strings.Clear();
    for (const QByteArray& line : bytes.split('\n')) {
        try {
            strings.Add(QString::fromLatin1(line));
        } catch (const Exception&) {
        }
    }
    Require(nodes.Count() == 0 || nodes.Item(nodes.Count() - 1) == nodes.GetLastNode());
    return 0;
}
