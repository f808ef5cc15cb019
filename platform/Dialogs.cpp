#include "platform/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {
TMessageBoxHandler& MessageHandler()
{
    static TMessageBoxHandler h;
    return h;
}
TFolderDialogHandler& FolderHandler()
{
    static TFolderDialogHandler h;
    return h;
}
TModalHandler& ModalHandler()
{
    static TModalHandler h;
    return h;
}
TDetailsBoxHandler& DetailsHandler()
{
    static TDetailsBoxHandler h;
    return h;
}
TFileDialogHandler& FileHandler()
{
    static TFileDialogHandler h;
    return h;
}
}

TMsgResult ShowMessageBox(const QString& text, TMsgButtons buttons)
{
    if (MessageHandler())
        return MessageHandler()(text, buttons);
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == TMsgButtons::YesNo)
        standard = QMessageBox::Yes | QMessageBox::No;
    else if (buttons == TMsgButtons::RetryCancelIgnore)
        standard = QMessageBox::Retry | QMessageBox::Cancel | QMessageBox::Ignore;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Setup"), text, standard, QApplication::activeWindow());
    const int r = box.exec();
    switch (buttons) {
    case TMsgButtons::Ok: return TMsgResult::Ok;
    case TMsgButtons::YesNo: return r == QMessageBox::Yes ? TMsgResult::Yes : TMsgResult::No;
    case TMsgButtons::RetryCancelIgnore:
        // Closing the box counts as Cancel.
        return r == QMessageBox::Retry ? TMsgResult::Retry : r == QMessageBox::Ignore ? TMsgResult::Ignore : TMsgResult::Cancel;
    }
    return TMsgResult::Cancel;
}

void ShowDetailsBox(const QString& text, const QString& details)
{
    if (DetailsHandler()) {
        DetailsHandler()(text, details);
        return;
    }
    if (MessageHandler() || details.isEmpty()) {
        ShowMessageBox(details.isEmpty() ? text : text + QStringLiteral("\n\n") + details, TMsgButtons::Ok);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Setup"), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setDetailedText(details);
    box.exec();
}

void ShowErrorBox(const QString& text)
{
    ShowMessageBox(text, TMsgButtons::Ok);
}

bool ShowFolderDialog(const QString& title, QString& folder)
{
    folder.clear();
    if (FolderHandler())
        return FolderHandler()(title, folder);
    const QString dir = QFileDialog::getExistingDirectory(nullptr, title, QString(),
                                                          QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return false;
    folder = dir;
    return true;
}

bool ShowFileDialog(TFileDialogKind kind, const QString& title, const QString& filter, QString& path)
{
    if (FileHandler())
        return FileHandler()(kind, title, filter, path);
    const QString chosen = kind == TFileDialogKind::Open
                               ? QFileDialog::getOpenFileName(QApplication::activeWindow(), title, path, filter)
                               : QFileDialog::getSaveFileName(QApplication::activeWindow(), title, path, filter);
    if (chosen.isEmpty())
        return false;
    path = chosen;
    return true;
}

int ShowModal(QDialog* dialog)
{
    if (ModalHandler())
        return ModalHandler()(dialog);
    return dialog->exec();
}

void SetMessageBoxHandler(TMessageBoxHandler handler)
{
    MessageHandler() = std::move(handler);
}

void SetFolderDialogHandler(TFolderDialogHandler handler)
{
    FolderHandler() = std::move(handler);
}

void SetModalHandler(TModalHandler handler)
{
    ModalHandler() = std::move(handler);
}

void SetDetailsBoxHandler(TDetailsBoxHandler handler)
{
    DetailsHandler() = std::move(handler);
}

void SetFileDialogHandler(TFileDialogHandler handler)
{
    FileHandler() = std::move(handler);
}
