#include "catalogue/TCheckTreeStrings.h"

#include <QFile>
#include <QIODevice>

#include "catalogue/EFOpenError.h"
#include "catalogue/ETreeViewError.h"
#include "catalogue/TCatalogueText.h"
#include "catalogue/TTreeNodes.h"

#include <string>

namespace {

TTreeNode* NodeAt(const TTreeNodes& nodes, int index)
{
    TTreeNode* node = nodes.Item(index);
    if (!node)
        throw ETreeViewError("List index out of bounds (" + std::to_string(index) + ")");
    return node;
}

[[noreturn]] void InvalidLevel(int level, const QString& text)
{
    throw ETreeViewError("Invalid level (" + std::to_string(level) + ") for item \"" + text.toStdString() + "\"");
}

}  // namespace

TCheckTreeStrings::TCheckTreeStrings(TTreeNodes& nodes, TRadioStates& radioStates)
    : FNodes(nodes), FRadioStates(radioStates)
{
}

QString TCheckTreeStrings::Get(int index) const
{
    const TTreeNode* node = NodeAt(FNodes, index);
    return QString(node->Level(), u'\t') + node->Text();
}

int TCheckTreeStrings::Count() const
{
    return FNodes.Count();
}

void* TCheckTreeStrings::GetObject(int index) const
{
    return NodeAt(FNodes, index)->Data();
}

void TCheckTreeStrings::PutObject(int index, void* data)
{
    NodeAt(FNodes, index)->SetData(data);
}

void TCheckTreeStrings::Clear()
{
    FNodes.Clear();
    FRadioStates.clear();
}

void TCheckTreeStrings::Delete(int index)
{
    FNodes.Delete(NodeAt(FNodes, index));
}

void TCheckTreeStrings::Insert(int index, const QString& text)
{
    FNodes.Insert(index == FNodes.Count() ? nullptr : NodeAt(FNodes, index), text);
}

int TCheckTreeStrings::Add(const QString& text)
{
    const int result = FNodes.Count();
    if (text.size() == 1 && text[0] == QChar(0x1A))
        return result;
    QString rest;
    const int level = TCatalogueText::SkipIndent(text, rest);
    TTreeNode* parent = FNodes.GetLastNode();
    const int oldLevel = parent ? parent->Level() : 0;
    if (!parent || level > oldLevel) {
        if (level - oldLevel > 1)
            throw ETreeViewError("Invalid item level assignment");
    } else {
        for (int i = oldLevel; i >= level; --i) {
            parent = parent->Parent();
            if (!parent && i - level > 0)
                throw ETreeViewError("Invalid item level assignment");
        }
    }
    FNodes.AddChild(parent, rest);
    return result;
}

void TCheckTreeStrings::SetUpdateState(bool updating)
{
    if (updating)
        FNodes.BeginUpdate();
    else
        FNodes.EndUpdate();
}

void TCheckTreeStrings::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError("Cannot open file " + fileName.toStdString());
    LoadFromStream(file);
}

void TCheckTreeStrings::LoadFromStream(QIODevice& stream)
{
    LoadFromBytes(stream.readAll());
}

void TCheckTreeStrings::LoadFromBytes(const QByteArray& bytes)
{
    SetUpdateState(true);
    try {
        Clear();
        const QStringList lines = TCatalogueText::SplitLines(TCatalogueText::Decode(bytes));
        TTreeNode* prev = nullptr;
        for (int i = 0; i < lines.size(); ++i) {
            TCatalogueItem item;
            if (!TCatalogueText::ParseLine(lines[i], i + 1, item))
                continue;
            TTreeNode* node;
            if (!prev) {
                node = FNodes.AddChild(nullptr, item.Text);
            } else if (prev->Level() == item.Level) {
                node = FNodes.Add(prev, item.Text);
            } else if (prev->Level() + 1 == item.Level) {
                node = FNodes.AddChild(prev, item.Text);
            } else if (prev->Level() > item.Level) {
                TTreeNode* ancestor = prev->Parent();
                while (ancestor->Level() > item.Level)
                    ancestor = ancestor->Parent();
                node = FNodes.AddChild(ancestor->Parent(), item.Text);
            } else {
                InvalidLevel(item.Level, item.Text);
            }
            node->SetStateIndex(item.State);
            FRadioStates.push_back(TRadioState{item.Radio, item.Group});
            prev = node;
        }
    } catch (...) {
        SetUpdateState(false);
        FNodes.Invalidate();
        throw;
    }
    SetUpdateState(false);
}
