#pragma once

#include <QObject>

class QLabel;
class IWizardForm;
class TRecordControls;

// The space the ticked archives need, on the files page, and the free space of the target's
// file system, on the path page. Each stays hidden while it has nothing to say.
class TSpaceLabels : public QObject {
    Q_OBJECT

public:
    TSpaceLabels(IWizardForm& form, TRecordControls& recordControls);

    QLabel* LSpaceNeeded = nullptr;
    QLabel* LFreeSpace = nullptr;

    // After a toggle (many nodes change at once): once the current event is handled.
    void ScheduleNeeded();
    void UpdateNeeded();
    void UpdateFree();
    void ApplyLanguage();

private:
    IWizardForm& FForm;
    TRecordControls& FRecordControls;
    bool FPending = false;
};
