#pragma once

#include <QWidget>

#include <string>

#include "archive/tFilesArray.h"
#include "app/IWizardForm.h"
#include "platform/TFolderLock.h"
#include "update/IUpdateWindow.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class TCheckTreeView;
class TRecordControls;
class TModPreview;
class TSpaceLabels;

// The wizard's main window: five pages in one page control and the bottom button row.
class TFMain : public QWidget, public IUpdateWindow, public IWizardForm {
    Q_OBJECT

public:
    explicit TFMain(QWidget* parent = nullptr);
    ~TFMain() override;

    // Pages of PCFrames.
    enum { PageLang = 0, PageFiles = 1, PagePath = 2, PageProgress = 3, PageDone = 4 };

    // Controls, named as their objectName.
    QFrame* PanelTop = nullptr;
    QStackedWidget* PCFrames = nullptr;
    QWidget* TSLang = nullptr;
    QLabel* LChLang = nullptr;
    QComboBox* CBChLang = nullptr;
    QPushButton* BUpdate = nullptr;
    QWidget* TSFiles = nullptr;
    QLabel* LChFiles = nullptr;
    TCheckTreeView* TVFiles = nullptr;
    QCheckBox* CBEmptyFilesHide = nullptr;
    QLabel* PFilesAnalyz = nullptr;
    QWidget* TSPath = nullptr;
    QLabel* LChDir = nullptr;
    QLineEdit* EDir = nullptr;
    QPushButton* BChDir = nullptr;
    QCheckBox* CBRWFiles = nullptr;
    QWidget* TSProgress = nullptr;
    QLabel* LMainProgress = nullptr;
    QProgressBar* PBMain = nullptr;
    QLabel* LFileProgress = nullptr;
    QProgressBar* PBFile = nullptr;
    QWidget* TSCancel = nullptr;
    QLabel* LUPCancel = nullptr;
    QFrame* PanelBottom = nullptr;
    QLabel* LCopy = nullptr;
    QPushButton* BBack = nullptr;
    QPushButton* BNext = nullptr;
    QPushButton* BCancel = nullptr;
    // The install record's controls (owned by RecordControls).
    QPushButton* BUninstall = nullptr;
    QPushButton* BRestoreSel = nullptr;
    QLabel* LConflicts = nullptr;
    TRecordControls* RecordControls = nullptr;
    // The space labels and the archive preview (owned by their parents).
    QLabel* LSpaceNeeded = nullptr;
    QLabel* LFreeSpace = nullptr;
    TSpaceLabels* Space = nullptr;
    TModPreview* Preview = nullptr;
    // The game executable the last detection found; "" when none.
    std::string GameExe;  // the detected game's executable, for the running-game question

    // Event handlers.
    void FormShow();
    void FormClose();
    void BNextClick();
    void BBackClick();
    void BCancelClick();
    void CBChLangChange();
    void BChDirClick();
    void CBEmptyFilesHideClick();
    void BUpdateClick();

    void GoNextPage();
    void GoPrevPage();
    void ApplyLanguage(uint16_t index);
    void BuildFileTree();
    static bool SelectFolder(const QString& title, QString& folder);

    // IUpdateWindow
    void ShowUpdateButton() override;
    void CloseAfterUpdate() override;
    void SetUpdateBusy(bool busy) override;
    bool UpdateWindowClosed() const override;

    const TControls& Controls() const override { return FControls; }
    std::string GameExePath() const override { return GameExe; }
    void SetSystemMenu(bool on) override;
    bool HasSystemMenu() const;

    tFilesArray CheckedItemList() const override;
    // The item list of the last installation started, as handed to the worker.
    tFilesArray LastItemList;

    // Hands the item list and the target folder, exactly as typed, to the unpack worker,
    // with the folder's lock, which it holds until it ends.
    void StartInstaller(const tFilesArray& files, const std::string& targetFolder, TFolderLock targetLock = {});
    int Scaled(int v) const override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateControls();
    void PlaceLabel(QLabel* label, int left, int top);
    QRect Geometry(int left, int top, int width, int height) const;
    void RelayoutLabels();
    void ShowPage(int index);
    // A worker is installing and has not been told to stop.
    bool InstallationRunning() const;
    // Pauses the worker and asks whether to cancel; true when the user said Yes (the worker
    // is then told to stop). Runs the worker on again either way.
    bool ConfirmCancelInstall();

    double FScale = 1.0;
    bool FShown = false;
    bool FPainted = false;
    bool FAsking = false;  // the cancel question is open
    TControls FControls;
};

// The running main window.
extern TFMain* FMain;
