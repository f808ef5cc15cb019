#pragma once

#include <QObject>
#include <QString>

#include <string>
#include <vector>

#include "catalogue/TArchiveListings.h"

class QLabel;
class QPushButton;
class IWizardForm;

// The controls built on the install record: "Uninstall mods..." on the path page, "Last
// selection" and the note on archives that write the same files on the files page. Each is
// hidden while it has nothing to offer, so the pages look as they always did until then.
class TRecordControls : public QObject {
    Q_OBJECT

public:
    explicit TRecordControls(IWizardForm& form);

    QPushButton* BUninstall = nullptr;
    QPushButton* BRestoreSel = nullptr;
    // "Save selection..." and "Load selection...", beside "Last selection".
    QPushButton* BSaveSel = nullptr;
    QPushButton* BLoadSel = nullptr;
    QLabel* LConflicts = nullptr;
    // Filled by the catalogue build: the files of every usable archive.
    TArchiveListings Listings;

    void ApplyLanguage();
    // After every build of the tree (and after it was cleared).
    void CatalogueBuilt();
    // Recomputes the note once the current event is handled (a toggle changes many nodes).
    void ScheduleConflicts();
    void UpdateConflicts();
    // Shows the uninstall button when the folder in EDir has something recorded.
    void UpdateUninstallButton();

    void BUninstallClick();
    void BRestoreSelClick();
    void BSaveSelClick();
    void BLoadSelClick();

    // Where the heading line's note must end (something else may stand right of it).
    void SetHeadingRight(int right);

private:
    void PlaceConflictNote();
    void PlaceSelectionButtons();
    bool SelectionMatchesTree() const;
    // Ticks exactly these catalogue items, as the user's own toggles would.
    void ApplySelection(const std::vector<std::string>& items);

    IWizardForm& FForm;
    std::vector<std::string> FLastSelection;
    QString FConflictText;
    bool FConflictsPending = false;
    int FHeadingRight = -1;  // -1: the tree's right edge
};
