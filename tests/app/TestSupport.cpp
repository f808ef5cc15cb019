#include "TestSupport.h"

#include "shell/ShellState.h"
#include "platform/Dialogs.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

TProgramFolder::TProgramFolder()
{
    char tmpl[] = "/tmp/setup-app-XXXXXX";
    const char* r = ::mkdtemp(tmpl);
    if (!r)
        throw std::runtime_error("mkdtemp");
    Root = r;
    Program = Root + "/prog/";
    Temp = Root + "/tmp";
    Home = Root + "/home";
    Data = Root + "/data";
    ForceDirectories(Program);
    ForceDirectories(Temp);
    ForceDirectories(Home);
    // The program is a copy of this test executable, so its version record is real.
    QFile::copy(QCoreApplication::applicationFilePath(), QString::fromStdString(Program + "Setup"));
    SetExecutablePathOverride(Program + "Setup");
    ::setenv("TMPDIR", Temp.c_str(), 1);
    ::setenv("HOME", Home.c_str(), 1);
    // Installations keep their records here, never in the real user's data folder.
    ::setenv("XDG_DATA_HOME", Data.c_str(), 1);
    ::unsetenv("WINEPREFIX");
    FOldCwd = GetCurrentDir();
    if (::chdir(Program.c_str()) != 0)
        throw std::runtime_error("chdir");
    ResetShellState();
}

TProgramFolder::~TProgramFolder()
{
    if (::chdir(FOldCwd.c_str()) != 0) {
    }
    SetExecutablePathOverride("");
    ResetShellState();
    QDir(QString::fromStdString(Root)).removeRecursively();
}

void TProgramFolder::WriteFile(const std::string& relative, const std::string& bytes) const
{
    const std::string path = Program + relative;
    ForceDirectories(path.substr(0, path.rfind('/')));
    std::ofstream(path, std::ios::binary) << bytes;
}

void TProgramFolder::MakeArchive(const std::string& relative, const QStringList& files) const
{
    const QString src = QString::fromStdString(Root) + QStringLiteral("/archive-src");
    QDir(src).removeRecursively();
    QDir().mkpath(src);
    for (const QString& f : files) {
        const QString name = f.section(QLatin1Char('='), 0, 0);
        const QString content = f.section(QLatin1Char('='), 1);
        const QString path = src + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).path());
        std::ofstream(path.toStdString(), std::ios::binary) << content.toStdString();
    }
    const std::string out = Program + relative;
    ForceDirectories(out.substr(0, out.rfind('/')));
    const QString type = QString::fromStdString(out).endsWith(QStringLiteral(".zip")) ? QStringLiteral("-tzip")
                                                                                      : QStringLiteral("-t7z");
    QProcess p;
    p.setWorkingDirectory(src);
    p.start(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-bd"), QStringLiteral("-y"), type,
                                   QString::fromStdString(out), QStringLiteral(".")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error("7z a failed for " + out);
}

std::string TProgramFolder::ReadFile(const std::string& path) const
{
    return ReadWholeFile(path);
}

TMessageRecorder::TMessageRecorder(bool answerYes)
{
    SetMessageBoxHandler([this, answerYes](const QString& text, TMsgButtons buttons) {
        Texts << text;
        if (buttons == TMsgButtons::YesNo)
            return answerYes ? TMsgResult::Yes : TMsgResult::No;
        return TMsgResult::Ok;
    });
}

TMessageRecorder::~TMessageRecorder()
{
    SetMessageBoxHandler({});
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ExpectedDefaultCatalogue()
{
    // Written out independently of the build's generator: 18 lines, CR LF, none at the end.
    const char* lines[] = {
        "#",
        "# The configuration files items:",
        "#",
        "# Prefix: XBYY",
        "#  X = 0..3 - State of the checkbox by default:",
        "#               0 - no visible",
        "#               1 - visible and unchecked",
        "#               2 - visible and checked",
        "#  B = (T;F) - Enable radio checking for current item",
        "#               T - true",
        "#               F - false",
        "#  YY = 00..99 - Number of radio cheking group",
        "#       ",
        "#  Remark:      ",
        "#  - Only one level of file attachments",
        "#  - If the file is empty then the Setup automatically analyzes the entire directory",
        "#",
        "#",
    };
    std::string s;
    for (size_t i = 0; i < std::size(lines); ++i) {
        if (i)
            s += "\r\n";
        s += lines[i];
    }
    return s;
}

bool SaveScreenshot(QWidget* widget, const QString& name)
{
    const QString dir = QStringLiteral(SETUP_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void SaveNextMessageBox(const QString& name, QString* text)
{
    // The box runs its own event loop; a timer looks in on it from there.
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        *text = SaveScreenshot(box, name) ? box->text() : QStringLiteral("(picture not written)");
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
    });
    poll->start(10);
}
