#pragma once

class QCheckBox;
class QWidget;
class TCheckTreeView;

// Fills the files page's tree from the catalogue or from an analysis of the program's folder.
class TCatalogueBuilder {
public:
    TCatalogueBuilder(TCheckTreeView* tree, QWidget* analyzPanel, QCheckBox* emptyFilesHide);
    // Errors of the catalogue loader and of creating an archive reader propagate.
    void Build();

private:
    TCheckTreeView* FTree;
    QWidget* FPanel;
    QCheckBox* FEmptyFilesHide;
};
