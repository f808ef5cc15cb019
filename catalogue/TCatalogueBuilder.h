#pragma once

#include <cstdint>
#include <string>

#include "catalogue/TArchiveListings.h"
#include "catalogue/TRadioState.h"

class ICataloguePage;
class TTreeNode;
class TTreeNodes;

// Fills the files page's tree from the catalogue or from an analysis of the program's folder.
class TCatalogueBuilder {
public:
    // The nodes and their radio records (one per node), and the page they are shown on.
    TCatalogueBuilder(TTreeNodes& nodes, TRadioStates& radioStates, ICataloguePage& page);
    // Errors of the catalogue loader and of creating an archive reader propagate.
    void Build();
    // Also keeps the file names of every usable archive, for the conflict note. Not owned.
    void SetListings(TArchiveListings* listings) { FListings = listings; }

private:
    void AnalyseProgramFolder();
    // Adds the folder's node and its files; false (and no node) when none was added.
    bool AnalyseFolder(const std::string& name, std::uint16_t group);
    void CheckCatalogue();
    // Probes the file a level-1 (or deeper) node names, taking on the names' case from disk.
    bool ProbeNode(TTreeNode* node, std::uint16_t& code);
    // Deletes the node with its descendants, and their radio records.
    void DeleteNode(TTreeNode* node);
    bool HideInaccessible() const;

    TTreeNodes& FNodes;
    TRadioStates& FRadioStates;
    ICataloguePage& FPage;
    std::string FProgramFolder;
    bool FInaccessible = false;
    TArchiveListings* FListings = nullptr;
};
