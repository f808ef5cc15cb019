// Stand-ins for areas not yet in the tree; each block goes when its area lands.
#include "app/TFMain.h"
#include "catalogue/TCatalogueBuilder.h"
#include "update/SelfUpdateHooks.h"

#ifndef SETUP_HAVE_CATALOGUE
#include "app/ShellState.h"
#include "catalogue/TCheckTreeView.h"

TCatalogueBuilder::TCatalogueBuilder(TCheckTreeView* tree, QWidget* analyzPanel, QCheckBox* emptyFilesHide)
    : FTree(tree), FPanel(analyzPanel), FEmptyFilesHide(emptyFilesHide)
{
}

void TCatalogueBuilder::Build()
{
    FTree->LoadFromFile(QString::fromStdString(ConfPath));
}
#endif

#ifndef SETUP_HAVE_SELFUPDATE
void CleanUpAfterUpdate(const std::string&) {}
bool CompletePendingUpdate(const std::string&) { return false; }
void StartUpdateCheck(const std::string&) {}
void RunUpdateDownload(TFMain&) {}
#endif
