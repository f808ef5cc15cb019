#include "app/TProgressPage.h"

#include "app/IWizardForm.h"
#include "platform/Dialogs.h"

#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

TProgressPage::TProgressPage(IWizardForm& form)
    : FForm(form), FWindow(form.Controls().Window), FMainBar(form.Controls().MainBar),
      FFileBar(form.Controls().FileBar), FPages(form.Controls().Pages), FCancel(form.Controls().Cancel),
      FDonePage(form.Controls().DonePage)
{
}

QProgressBar* TProgressPage::Bar(TBar bar) const
{
    return bar == MainBar ? FMainBar.data() : FFileBar.data();
}

int TProgressPage::BarMax(TBar bar) const
{
    const QProgressBar* b = Bar(bar);
    return b ? b->maximum() : 0;
}

int TProgressPage::BarPosition(TBar bar) const
{
    const QProgressBar* b = Bar(bar);
    return b ? b->value() : 0;
}

void TProgressPage::SetBarRange(TBar bar, int max)
{
    if (QProgressBar* b = Bar(bar))
        b->setRange(0, max);
}

void TProgressPage::SetBarPosition(TBar bar, int position)
{
    if (QProgressBar* b = Bar(bar))
        b->setValue(position);
}

void TProgressPage::ShowDonePage()
{
    if (FPages)
        FPages->setCurrentIndex(FDonePage);
}

void TProgressPage::SetCancelCaption(const QString& text)
{
    if (FCancel)
        FCancel->setText(text);
}

void TProgressPage::SetSystemMenu(bool on)
{
    if (FWindow)
        FForm.SetSystemMenu(on);
}

void TProgressPage::ShowFailure(const QString& text, const QString& details)
{
    ShowDetailsBox(text, details);
}
