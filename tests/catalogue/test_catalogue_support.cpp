#include "test_catalogue_support.h"

#include "shell/ShellState.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {
std::string Dir(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

const char* TypeSwitch(const std::string& name)
{
    return QString::fromStdString(name).endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive) ? "-tzip" : "-t7z";
}
}

bool Run7z(const QStringList& args, const std::string& cwd)
{
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(cwd));
    p.start(QStringLiteral("7z"), args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TCatalogueFolder::TCatalogueFolder()
{
    char tmpl[] = "/tmp/setup-catalogue-XXXXXX";
    if (!::mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp");
    Root = tmpl;
    Program = Root + "/prog/";
    ForceDirectories(Program);
    ForceDirectories(Root + "/src");
    ResetShellState();
    SetExecutablePathOverride(Program + "Setup");
    Write("Setup", "not really a program");
    ConfPath = Program + "Setup.conf";
    LibPath = Root + "/Setup.dll";
    if (!QFile::copy(QStringLiteral(SETUP_TEST_7Z_LIBRARY), QString::fromStdString(LibPath)))
        throw std::runtime_error("cannot copy 7z.so");
}

TCatalogueFolder::~TCatalogueFolder()
{
    SetExecutablePathOverride("");
    ResetShellState();
    QDir(QString::fromStdString(Root)).removeRecursively();
}

void TCatalogueFolder::Write(const std::string& relative, const std::string& bytes) const
{
    const std::string path = Program + relative;
    ForceDirectories(Dir(path));
    std::ofstream(path, std::ios::binary) << bytes;
}

void TCatalogueFolder::Folder(const std::string& relative) const
{
    ForceDirectories(Program + relative);
}

void TCatalogueFolder::Archive(const std::string& relative) const
{
    const std::string src = Root + "/src";
    std::ofstream(src + "/readme.txt", std::ios::binary) << "content of " << relative << '\n';
    const std::string out = Program + relative;
    ForceDirectories(Dir(out));
    if (!Run7z({QStringLiteral("a"), QStringLiteral("-bd"), QStringLiteral("-y"), QString::fromLatin1(TypeSwitch(relative)),
                QString::fromStdString(out), QStringLiteral("readme.txt")},
               src))
        throw std::runtime_error("7z a failed for " + out);
}

void TCatalogueFolder::EmptyArchive(const std::string& relative) const
{
    Archive(relative);
    if (!Run7z({QStringLiteral("d"), QStringLiteral("-bd"), QString::fromStdString(Program + relative),
                QStringLiteral("readme.txt")},
               Root))
        throw std::runtime_error("7z d failed for " + relative);
}

void TCatalogueFolder::DamagedArchive(const std::string& relative) const
{
    Archive(relative);
    std::fstream f(Program + relative, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(0);
    f.write("\x13\x37\x13\x37\x13\x37", 6);
}
