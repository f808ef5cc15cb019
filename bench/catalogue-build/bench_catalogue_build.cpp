// Builds the catalogue of 300 small archives in 30 folders (the folder analysis, every
// archive probed: library loaded, archive opened and counted, library unloaded) and
// compares the cost per archive with one `7z l` process per archive, measured in the
// same run on the same files. Then compares the build that also keeps every archive's
// file names (for the conflict note) with the one that does not, on those archives and
// on ten archives of 3,000 files each. The compared sides take turns, medians and ranges
// are reported. Usage: bench_catalogue_build [pairs=5]; honours TMPDIR.
#include "BenchRun.h"
#include "TScratchFolder.h"
#include "TSeries.h"
#include "shell/ShellState.h"
#include "catalogue/ICataloguePage.h"
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
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr int Folders = 30;
constexpr int PerFolder = 10;

// The files page in miniature: the real tree control, the panel and the hiding box.
class TBenchPage : public ICataloguePage {
public:
    TBenchPage(TCheckTreeView* tree, QLabel* panel, QCheckBox* hide) : FTree(tree), FPanel(panel), FHide(hide) {}
    bool HideInaccessible() const override { return FHide->isChecked(); }
    void ShowHideOption(bool visible) override { FHide->setVisible(visible); }
    void ShowBusyPanel(bool visible) override
    {
        FPanel->setVisible(visible);
        if (visible)
            FPanel->repaint();
    }
    void FullExpand() override { FTree->FullExpand(); }

private:
    TCheckTreeView* FTree;
    QLabel* FPanel;
    QCheckBox* FHide;
};

TCatalogueBuilder Builder(TCheckTreeView* tree, TBenchPage& page)
{
    return TCatalogueBuilder(*tree->Items(), tree->RadioStates, page);
}

using Clock = std::chrono::steady_clock;

// Build times without and with the file names kept, taking turns so that both see the
// same state of the machine.
void TimeNames(TCheckTreeView* tree, TBenchPage& page, int pairs, TSeries& without, TSeries& with)
{
    TArchiveListings listings;
    for (int r = 0; r < pairs; ++r)
        for (int side : RoundOrder(r, 2)) {
            const auto t0 = Clock::now();
            TCatalogueBuilder builder = Builder(tree, page);
            if (side == 1)
                builder.SetListings(&listings);
            builder.Build();
            (side == 1 ? with : without).Add(SecondsSince(t0));
        }
}

void PrintNames(const TSeries& without, const TSeries& with)
{
    std::printf("  without %s ms  with %s ms  ratio %.3f (target <= 1.10)\n", without.Text(1e3, 1).c_str(),
                with.Text(1e3, 1).c_str(), with.Median() / without.Median());
}

bool Run7z(const QStringList& args, const QString& cwd)
{
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("7z"), args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

int Compare(int pairs, const std::string& root)
{
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
    TBenchPage benchPage(tree, panel, hide);
    page.resize(640, 420);
    page.show();

    // One build first so both sides start with the files in the page cache.
    Builder(tree, benchPage).Build();
    const int nodes = tree->Items()->Count();
    if (nodes != Folders * (PerFolder + 1)) {
        std::fprintf(stderr, "unexpected tree: %d nodes\n", nodes);
        return 1;
    }
    TSeries build, cli;
    for (int r = 0; r < pairs; ++r)
        for (int side : RoundOrder(r, 2)) {
            const auto t0 = Clock::now();
            if (side == 0) {
                Builder(tree, benchPage).Build();
                build.Add(SecondsSince(t0));
                continue;
            }
            for (const std::string& a : archives)
                if (!Run7z({"l", "-bd", QString::fromStdString(a)}, QString::fromStdString(root)))
                    return 1;
            cli.Add(SecondsSince(t0));
        }

    const double n = static_cast<double>(archives.size());
    std::printf("catalogue build: %zu archives in %d folders, %d pairs taking turns; load average %.2f\n",
                archives.size(), Folders, pairs, LoadAverage());
    std::printf("  build        %s ms total, %7.3f ms per archive at the median\n", build.Text(1e3, 1).c_str(),
                build.Median() * 1e3 / n);
    std::printf("  7z l each    %s ms total, %7.3f ms per archive at the median\n", cli.Text(1e3, 1).c_str(),
                cli.Median() * 1e3 / n);
    std::printf("  ratio build / 7z l = %.3f (target <= 0.5), range %.3f-%.3f\n", build.Median() / cli.Median(),
                build.Min() / cli.Max(), build.Max() / cli.Min());

    TSeries smallWithout, smallWith;
    TimeNames(tree, benchPage, pairs * 3, smallWithout, smallWith);
    std::printf("file names kept for the conflict note, %zu small archives:\n", archives.size());
    PrintNames(smallWithout, smallWith);

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
    Builder(tree, benchPage).Build();
    TSeries bigWithout, bigWith;
    TimeNames(tree, benchPage, pairs * 3, bigWithout, bigWith);
    std::printf("file names kept, 10 archives of 3,000 files:\n");
    PrintNames(bigWithout, bigWith);

    SetExecutablePathOverride("");
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        TScratchFolder scratch("setup-bench-catalogue");
        // Qt's runtime folder and anything else temporary go with the scratch folder.
        ::setenv("TMPDIR", scratch.Path().c_str(), 1);
        QApplication app(argc, argv);
        return Compare(argc > 1 ? std::max(1, std::atoi(argv[1])) : 5, scratch.Path());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
