#pragma once

#include <functional>

#include <QString>

class QDialog;
class QWidget;

// Every message box, folder dialog and modal show of the program passes through here, so
// tests can answer them.
enum class TMsgButtons { Ok, YesNo, RetryCancelIgnore };
enum class TMsgResult { Ok, Yes, No, Retry, Cancel, Ignore };

using TMessageBoxHandler = std::function<TMsgResult(const QString& text, TMsgButtons buttons)>;
using TFolderDialogHandler = std::function<bool(const QString& title, QString& folder)>;
using TModalHandler = std::function<int(QDialog* dialog)>;
using TDetailsBoxHandler = std::function<void(const QString& text, const QString& details)>;
enum class TFileDialogKind { Open, Save };
using TFileDialogHandler =
    std::function<bool(TFileDialogKind kind, const QString& title, const QString& filter, QString& path)>;

// Caption "Setup", no icon.
TMsgResult ShowMessageBox(const QString& text, TMsgButtons buttons = TMsgButtons::Ok);
// An OK box whose details (a long list) open on request. Without a handler of its own, a
// test's message box handler gets the text and the details joined by an empty line.
void ShowDetailsBox(const QString& text, const QString& details);
// The platform's error box for an error that reached the event dispatch.
void ShowErrorBox(const QString& text);
// Directories only; true and the chosen folder when confirmed.
bool ShowFolderDialog(const QString& title, QString& folder);
int ShowModal(QDialog* dialog);
// A file to open or to save (the save dialog asks before replacing); true and its path
// when confirmed. filter in QFileDialog's form.
bool ShowFileDialog(TFileDialogKind kind, const QString& title, const QString& filter, QString& path);

void SetMessageBoxHandler(TMessageBoxHandler handler);   // empty restores the real one
void SetFolderDialogHandler(TFolderDialogHandler handler);
void SetModalHandler(TModalHandler handler);
void SetDetailsBoxHandler(TDetailsBoxHandler handler);
void SetFileDialogHandler(TFileDialogHandler handler);
