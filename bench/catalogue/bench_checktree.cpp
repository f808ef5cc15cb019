// Times loading a catalogue of N lines (default 10,000) into a shown check tree, one toggle
// of a radio member, whose radio scan walks every record of the tree, and the catalogue
// builder's hide walk; each round in a fresh tree. Usage: bench_checktree [lines] [rounds=5].
#include "BenchRun.h"
#include "TScratchFolder.h"
#include "TSeries.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "catalogue/TCheckTreeView.h"

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's runtime folder and the catalogue file go with the scratch folder.
    TScratchFolder scratch("setup-bench-checktree");
    ::setenv("TMPDIR", scratch.Path().c_str(), 1);
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 10000;

    // Folders of 99 archives each; every folder is one radio group, the first file checked.
    QTemporaryDir dir;
    QFile file(dir.filePath("Setup.conf"));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    int written = 0;
    for (int folder = 0; written < lines; ++folder) {
        file.write(QByteArray("0F00Folder ") + QByteArray::number(folder) + "\r\n");
        ++written;
        for (int f = 0; f < 99 && written < lines; ++f, ++written) {
            const QByteArray group = QByteArray::number(folder % 100).rightJustified(2, '0');
            file.write("\t" + QByteArray(f == 0 ? "2T" : "1T") + group + "Archive " + QByteArray::number(f) + ".7z\r\n");
        }
    }
    file.close();

    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    TSeries load, toggle, remove;
    bool toggled = true;
    int nodes = 0, left = 0;
    for (int round = 0; round < rounds; ++round) {
        TCheckTreeView view;
        view.CascadeChecks = false;
        view.resize(628, 350);
        view.show();
        app.processEvents();

        auto t0 = std::chrono::steady_clock::now();
        view.LoadFromFile(file.fileName());
        view.FullExpand();
        view.viewport()->repaint();
        load.Add(SecondsSince(t0));

        TTreeNode* member = view.Items()->Item(view.Items()->Count() - 1);
        t0 = std::chrono::steady_clock::now();
        view.ToggleNode(member);
        view.viewport()->repaint();
        toggle.Add(SecondsSince(t0));
        toggled = toggled && member->StateIndex() == csChecked;
        nodes = view.Items()->Count();

        // Every file node deleted by index, stepping back.
        t0 = std::chrono::steady_clock::now();
        view.Items()->BeginUpdate();
        for (TTreeNode* n = view.Items()->GetFirstNode(); n;) {
            if (n->Level() == 0) {
                n = n->GetNext();
                continue;
            }
            const int index = n->AbsoluteIndex();
            n = index ? n->GetPrev() : n->GetNext();
            view.Items()->Item(index)->Delete();
            view.DeleteRadioState(static_cast<std::uint16_t>(index));
        }
        view.Items()->EndUpdate();
        view.viewport()->repaint();
        remove.Add(SecondsSince(t0));
        left = view.Items()->Count();
    }

    std::printf("catalogue lines: %d, nodes: %d; %d rounds, median (range)\n", lines, nodes, rounds);
    std::printf("load + expand + first paint: %s ms\n", load.Text(1e3, 1).c_str());
    std::printf("toggle of a radio member:    %s ms\n", toggle.Text(1e3, 3).c_str());
    std::printf("delete all files by index:   %s ms (%d nodes left)\n", remove.Text(1e3, 1).c_str(), left);
    return toggled ? 0 : 1;
}
