// Builds the catalogue of 300 small archives in 30 folders (the folder analysis, every
// archive probed: library loaded, archive opened and counted, library unloaded) and
// compares the cost per archive with one `7z l` process per archive, measured in the
// same run on the same files. Then compares the build that also keeps every archive's
// file names (for the conflict note) with the one that does not, on those archives and
// on ten archives of 3,000 files each.
#include "app/ShellState.h"
#include "catalogue/TArchiveListings.h"
#include "catalogue/TCatalogueBuilder.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TTreeNodes.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr int Folders = 30;
constexpr int PerFolder = 10;

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Best build time without and with the file names kept, rounds interleaved so that both
// see the same state of the machine.
std::pair<double, double> TimeNames(TCheckTreeView* tree, QLabel* panel, QCheckBox* hide, int rounds)
{
    double without = 1e9, with = 1e9;
    TArchiveListings listings;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        TCatalogueBuilder(tree, panel, hide).Build();
        without = std::min(without, Seconds(std::chrono::steady_clock::now() - t0));
        t0 = std::chrono::steady_clock::now();
        TCatalogueBuilder builder(tree, panel, hide);
        builder.SetListings(&listings);
        builder.Build();
        with = std::min(with, Seconds(std::chrono::steady_clock::now() - t0));
    }
    return {without, with};
}

bool Run7z(const QStringList& args, const QString& cwd)
{
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("7z"), args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    char tmpl[] = "/tmp/setup-bench-catalogue-XXXXXX";
    if (!::mkdtemp(tmpl))
        return 1;
    const std::string root = tmpl;
    const std::string program = root + "/prog/";
    const std::string src = root + "/src";
    ForceDirectories(src);
    std::ofstream(src + "/readme.txt") << "a small mod file\n";
    std::ofstream(src + "/settings.xml") << "<root><value>1</value></root>\n";

    std::vector<std::string> archives;
    for (int f = 0; f < Folders; ++f) {
        const std::string folder = program + "Mod" + std::to_string(f) + "/";
        ForceDirectories(folder);
        for (int i = 0; i < PerFolder; ++i) {
            const bool zip = i % 2 == 1;
            const std::string path = folder + "variant" + std::to_string(i) + (zip ? ".zip" : ".7z");
            if (!Run7z({"a", "-bd", "-y", zip ? "-tzip" : "-t7z", QString::fromStdString(path), "readme.txt",
                        "settings.xml"},
                       QString::fromStdString(src))) {
                std::fprintf(stderr, "7z a failed\n");
                return 1;
            }
            archives.push_back(path);
        }
    }

    ResetShellState();
    SetExecutablePathOverride(program + "Setup");
    std::ofstream(program + "Setup.conf") << "# comments only: analyse the folder\r\n";
    ConfPath = program + "Setup.conf";
    LibPath = root + "/Setup.dll";
    QFile::copy(QStringLiteral("/usr/lib/p7zip/7z.so"), QString::fromStdString(LibPath));

    QWidget page;
    auto* tree = new TCheckTreeView(&page);
    auto* panel = new QLabel(QStringLiteral("The files analysis..."), &page);
    auto* hide = new QCheckBox(&page);
    hide->setChecked(true);
    page.resize(640, 420);
    page.show();

    // One build first so both sides start with the files in the page cache.
    TCatalogueBuilder(tree, panel, hide).Build();
    const int nodes = tree->Items()->Count();
    if (nodes != Folders * (PerFolder + 1)) {
        std::fprintf(stderr, "unexpected tree: %d nodes\n", nodes);
        return 1;
    }
    double build = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        TCatalogueBuilder(tree, panel, hide).Build();
        build = std::min(build, Seconds(std::chrono::steady_clock::now() - t0));
    }

    double cli = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (const std::string& a : archives)
            if (!Run7z({"l", "-bd", QString::fromStdString(a)}, QString::fromStdString(root)))
                return 1;
        cli = std::min(cli, Seconds(std::chrono::steady_clock::now() - t0));
    }

    const double n = static_cast<double>(archives.size());
    std::printf("catalogue build: %zu archives in %d folders, best of %d rounds\n", archives.size(), Folders, rounds);
    std::printf("  build        %8.1f ms total  %7.3f ms per archive\n", build * 1e3, build * 1e3 / n);
    std::printf("  7z l each    %8.1f ms total  %7.3f ms per archive\n", cli * 1e3, cli * 1e3 / n);
    std::printf("  ratio build / 7z l = %.3f (target <= 0.5)\n", build / cli);


    const auto [smallWithout, smallWith] = TimeNames(tree, panel, hide, rounds * 3);
    std::printf("file names kept for the conflict note, %zu small archives:\n", archives.size());
    std::printf("  without %8.1f ms  with %8.1f ms  ratio %.3f (target <= 1.10)\n", smallWithout * 1e3,
                smallWith * 1e3, smallWith / smallWithout);

    // Ten archives of 3,000 files: the names cost per item, the open per archive.
    const std::string big = root + "/big/";
    const std::string bigProgram = root + "/prog2/";
    ForceDirectories(big);
    for (int i = 0; i < 3000; ++i) {
        const std::string folder = big + "f" + std::to_string(i % 30) + "/";
        ForceDirectories(folder);
        std::ofstream(folder + "item" + std::to_string(i) + ".xml") << "<item>" << i << "</item>\n";
    }
    const std::string bigArchive = root + "/big.7z";
    if (!Run7z({"a", "-bd", "-y", "-t7z", QString::fromStdString(bigArchive), "."}, QString::fromStdString(big)))
        return 1;
    for (int i = 0; i < 10; ++i) {
        ForceDirectories(bigProgram + "Pack" + std::to_string(i));
        QFile::copy(QString::fromStdString(bigArchive),
                    QString::fromStdString(bigProgram + "Pack" + std::to_string(i) + "/pack.7z"));
    }
    SetExecutablePathOverride(bigProgram + "Setup");
    TCatalogueBuilder(tree, panel, hide).Build();
    const auto [bigWithout, bigWith] = TimeNames(tree, panel, hide, rounds * 3);
    std::printf("file names kept, 10 archives of 3,000 files:\n");
    std::printf("  without %8.1f ms  with %8.1f ms  ratio %.3f (target <= 1.10)\n", bigWithout * 1e3, bigWith * 1e3,
                bigWith / bigWithout);

    SetExecutablePathOverride("");
    QDir(QString::fromStdString(root)).removeRecursively();
    return 0;
}
