#pragma once

#include <QString>
#include <QStringList>

#include <string>

class QWidget;

// A folder laid out as a user would: a program folder (with a fake executable path), a
// temporary folder for staging and a home without any game.
class TProgramFolder {
public:
    TProgramFolder();
    ~TProgramFolder();
    TProgramFolder(const TProgramFolder&) = delete;
    TProgramFolder& operator=(const TProgramFolder&) = delete;

    std::string Root;     // holds everything, removed at the end
    std::string Program;  // the program's folder, ending in '/'
    std::string Temp;     // TMPDIR
    std::string Home;     // HOME
    std::string Data;     // XDG_DATA_HOME: install records and backups

    void WriteFile(const std::string& relative, const std::string& bytes) const;
    // An archive made by the 7z tool holding the given files (name=content pairs).
    void MakeArchive(const std::string& relative, const QStringList& files) const;
    std::string ReadFile(const std::string& path) const;

private:
    std::string FOldCwd;
};

// Records every message box and answers it.
class TMessageRecorder {
public:
    explicit TMessageRecorder(bool answerYes = false);
    ~TMessageRecorder();
    QStringList Texts;
};

std::string ReadWholeFile(const std::string& path);
std::string ExpectedDefaultCatalogue();
// Saves a picture of the widget under the build folder's screenshots/.
void SaveScreenshot(QWidget* widget, const QString& name);
