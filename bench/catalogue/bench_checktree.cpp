// Times loading a catalogue of N lines (default 10,000) into a shown check tree, and one
// toggle of a radio member, whose radio scan walks every record of the tree.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "catalogue/TCheckTreeView.h"

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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

    TCheckTreeView view;
    view.CascadeChecks = false;
    view.resize(628, 350);
    view.show();
    app.processEvents();

    QElapsedTimer timer;
    timer.start();
    view.LoadFromFile(file.fileName());
    view.FullExpand();
    view.viewport()->repaint();
    const double loadMs = timer.nsecsElapsed() / 1e6;

    TTreeNode* member = view.Items()->Item(view.Items()->Count() - 1);
    timer.restart();
    view.ToggleNode(member);
    view.viewport()->repaint();
    const double toggleMs = timer.nsecsElapsed() / 1e6;
    const bool toggled = member->StateIndex() == csChecked;
    const int nodes = view.Items()->Count();

    // The catalogue builder's hide walk: every file node deleted by index, stepping back.
    timer.restart();
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
    const double deleteMs = timer.nsecsElapsed() / 1e6;

    std::printf("catalogue lines: %d, nodes: %d\n", lines, nodes);
    std::printf("load + expand + first paint: %.1f ms\n", loadMs);
    std::printf("toggle of a radio member:    %.3f ms\n", toggleMs);
    std::printf("delete all files by index:   %.1f ms (%d nodes left)\n", deleteMs, view.Items()->Count());
    return toggled ? 0 : 1;
}
