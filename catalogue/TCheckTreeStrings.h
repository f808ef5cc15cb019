#pragma once

#include <QByteArray>
#include <QString>

#include "catalogue/TRadioState.h"

class QIODevice;
class TTreeNodes;

// The nodes of one tree seen as a list of lines: line i is node i in absolute order,
// one TAB per level and then its text. Window-free; made for one load and dropped.
class TCheckTreeStrings {
public:
    TCheckTreeStrings(TTreeNodes& nodes, TRadioStates& radioStates);

    QString Get(int index) const;
    int Count() const;
    void* GetObject(int index) const;
    void PutObject(int index, void* data);
    // Deletes every node and every radio record.
    void Clear();
    // Deletes node `index` (its radio record is not touched).
    void Delete(int index);
    // A node with that text before node `index`, as its sibling.
    void Insert(int index, const QString& text);
    // Places a node by the text's indentation after the last node; returns the count
    // before the add. The lone character 0x1A (end-of-file mark) is ignored.
    int Add(const QString& text);
    void SetUpdateState(bool updating);

    // The catalogue loader: replaces all nodes and radio records by the catalogue's items.
    void LoadFromStream(QIODevice& stream);
    // Throws EFOpenError "Cannot open file %s" when the file cannot be read.
    void LoadFromFile(const QString& fileName);
    void LoadFromBytes(const QByteArray& bytes);

private:
    TTreeNodes& FNodes;
    TRadioStates& FRadioStates;
};
