#pragma once

#include "archive/IInstallControls.h"

#include <QPointer>

class QProgressBar;
class QPushButton;
class QStackedWidget;
class IWizardForm;
class QWidget;

// The main window's progress page as the installation sees it. Guarded pointers: the
// worker may outlive the window.
class TProgressPage : public IInstallControls {
public:
    explicit TProgressPage(IWizardForm& form);

    int BarMax(TBar bar) const override;
    int BarPosition(TBar bar) const override;
    void SetBarRange(TBar bar, int max) override;
    void SetBarPosition(TBar bar, int position) override;
    void ShowDonePage() override;
    void SetCancelCaption(const QString& text) override;
    void SetSystemMenu(bool on) override;
    void ShowFailure(const QString& text, const QString& details) override;

private:
    QProgressBar* Bar(TBar bar) const;

    IWizardForm& FForm;
    QPointer<QWidget> FWindow;
    QPointer<QProgressBar> FMainBar;
    QPointer<QProgressBar> FFileBar;
    QPointer<QStackedWidget> FPages;
    QPointer<QPushButton> FCancel;
    int FDonePage = 0;
};
