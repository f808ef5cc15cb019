#include "catalogue/TCatalogueBuilder.h"

#include "shell/ShellState.h"
#include "archive/TVolumeName.h"
#include "catalogue/ICataloguePage.h"
#include "catalogue/ProbeArchive.h"
#include "catalogue/TCheckTreeStrings.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFolderSearch.h"
#include "platform/TPathResolver.h"

#include <algorithm>

namespace {
std::string Utf8(const QString& s)
{
    return s.toStdString();
}

int SubtreeSize(TTreeNode* node)
{
    int n = 1;
    for (TTreeNode* c = node->GetFirstChild(); c; c = c->GetNextSibling())
        n += SubtreeSize(c);
    return n;
}

std::string LastComponent(std::string& path)
{
    const auto pos = path.rfind(PathDelim);
    std::string last = path.substr(pos + 1);
    path.erase(pos == std::string::npos ? 0 : pos);
    return last;
}

// One component: the last two components of a resolved path are then the two texts.
bool IsPlainName(const QString& s)
{
    return !s.isEmpty() && !s.contains(QLatin1Char(PathDelim)) && s != QLatin1String(".") &&
           s != QLatin1String("..");
}

// Takes on the spelling found on disk for names that differ only in case.
void AdoptDiskName(TTreeNode* node, const std::string& diskName)
{
    const QString disk = QString::fromStdString(diskName);
    if (disk != node->Text() && disk.compare(node->Text(), Qt::CaseInsensitive) == 0)
        node->SetText(disk);
}
}

TCatalogueBuilder::TCatalogueBuilder(TTreeNodes& nodes, TRadioStates& radioStates, ICataloguePage& page)
    : FNodes(nodes), FRadioStates(radioStates), FPage(page)
{
}

bool TCatalogueBuilder::HideInaccessible() const
{
    return FPage.HideInaccessible();
}

void TCatalogueBuilder::Build()
{
    FPage.ShowBusyPanel(true);
    FNodes.BeginUpdate();
    FInaccessible = false;
    FProgramFolder = ProgramFolder();
    if (FListings)
        FListings->clear();
    try {
        TCheckTreeStrings(FNodes, FRadioStates).LoadFromFile(QString::fromStdString(ConfPath));
        if (FNodes.Count() > 0) {
            CheckCatalogue();
        } else {
            AnalyseProgramFolder();
        }
    } catch (...) {
        // Keep what was read and leave the page usable; the window shows the error.
        FNodes.EndUpdate();
        FPage.ShowBusyPanel(false);
        throw;
    }
    FNodes.EndUpdate();
    FPage.ShowBusyPanel(false);
    FPage.ShowHideOption(FInaccessible);
}

void TCatalogueBuilder::AnalyseProgramFolder()
{
    std::uint16_t kept = 0;
    TFolderSearch search(FProgramFolder);
    TSearchEntry entry;
    // Files in the program's folder itself, the executable among them, are never offered.
    while (search.Next(entry) && FNodes.Count() < MaxTreeNodes) {
        if (entry.IsFolder && AnalyseFolder(entry.Name, static_cast<std::uint16_t>(kept + 1)))
            ++kept;
    }
    FPage.FullExpand();
}

bool TCatalogueBuilder::AnalyseFolder(const std::string& name, std::uint16_t group)
{
    TTreeNode* folderNode = FNodes.Add(nullptr, QString::fromStdString(name));
    folderNode->SetStateIndex(csHidden);
    FRadioStates.push_back(TRadioState{false, 0});
    int fileCount = 0;
    try {
        TFolderSearch search(FProgramFolder + name);
        TSearchEntry entry;
        while (search.Next(entry) && FNodes.Count() < MaxTreeNodes) {
            if (entry.IsFolder || entry.IsHidden)
                continue;
            const std::string path = FProgramFolder + name + PathDelim + entry.Name;
            // A volume set is one item, its first part; the later parts come with it.
            std::string firstPart;
            if (TVolumeName::LaterPart(path, firstPart) && FileExists(firstPart))
                continue;
            TFileNameList files;
            const TProbeResult probe = ProbeArchive(path, FListings ? &files : nullptr);
            if (probe.Usable && FListings)
                (*FListings)[path] = std::move(files);
            if (!probe.Usable)
                FInaccessible = true;
            // A file the search found but the probe refused (a link out of the program's
            // folder) is shown with the not-found note rather than dropped unseen.
            const bool add = probe.Usable || ((probe.Code != pcNotFound || probe.Refused) && !HideInaccessible());
            if (!add)
                continue;
            const QString text = QString::fromStdString(entry.Name);
            TTreeNode* node = FNodes.AddChild(folderNode, text);
            if (probe.Usable) {
                node->SetStateIndex(fileCount == 0 ? csChecked : csUnchecked);
            } else {
                node->SetStateIndex(csHidden);
                node->SetText(ProbeNote(probe.Code, text));
            }
            FRadioStates.push_back(TRadioState{true, group});
            ++fileCount;
        }
    } catch (...) {
        if (fileCount == 0)
            DeleteNode(folderNode);
        throw;
    }
    if (fileCount == 0) {
        DeleteNode(folderNode);
        return false;
    }
    return true;
}

void TCatalogueBuilder::CheckCatalogue()
{
    FPage.FullExpand();
    TTreeNode* node = FNodes.GetFirstNode();
    while (node) {
        if (node->Level() >= 1) {
            std::uint16_t code = pcUsable;
            if (ProbeNode(node, code)) {
                node = node->GetNext();
                continue;
            }
            FInaccessible = true;
            if (HideInaccessible()) {
                // The predecessor is visited again, so a folder whose last file went is
                // seen once more and removed as empty.
                TTreeNode* moveTo = node->AbsoluteIndex() == 0 ? node->GetNext() : node->GetPrev();
                DeleteNode(node);
                node = moveTo;
            } else {
                node->SetStateIndex(csHidden);
                node->SetText(ProbeNote(code, node->Text()));
                node = node->GetNext();
            }
        } else if (!node->HasChildren()) {
            TTreeNode* moveTo = node->GetNext();
            DeleteNode(node);
            node = moveTo;
        } else {
            // A folder's own state stays as the catalogue set it.
            node = node->GetNext();
        }
    }
}

bool TCatalogueBuilder::ProbeNode(TTreeNode* node, std::uint16_t& code)
{
    TTreeNode* parent = node->Parent();
    const std::string path = FProgramFolder + Utf8(parent->Text()) + PathDelim + Utf8(node->Text());
    TFileNameList files;
    const TProbeResult probe = ProbeArchive(path, FListings ? &files : nullptr);
    code = probe.Code;
    // The installation joins the same texts again, so they must name the files on disk.
    std::string resolved;
    if (probe.Usable && node->Level() == 1 && IsPlainName(parent->Text()) && IsPlainName(node->Text()) &&
        TPathResolver::ResolveInside(FProgramFolder, path, resolved)) {
        AdoptDiskName(node, LastComponent(resolved));
        AdoptDiskName(parent, LastComponent(resolved));
    }
    // Under the name the installation will be handed, which the lines above may have changed.
    if (probe.Usable && FListings)
        (*FListings)[FProgramFolder + Utf8(parent->Text()) + PathDelim + Utf8(node->Text())] = std::move(files);
    return probe.Usable;
}

void TCatalogueBuilder::DeleteNode(TTreeNode* node)
{
    const int index = node->AbsoluteIndex();
    const int count = SubtreeSize(node);
    FNodes.Delete(node);
    // One record per node went with the subtree; the later records shift down.
    if (index < static_cast<int>(FRadioStates.size()))
        FRadioStates.erase(FRadioStates.begin() + index,
                           FRadioStates.begin() + std::min<int>(index + count, static_cast<int>(FRadioStates.size())));
}
