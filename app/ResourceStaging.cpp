#include "app/ResourceStaging.h"

#include "shell/ShellState.h"
#include "platform/EmbeddedResources.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <fstream>

void SaveResourceToFile(const std::string& type, const std::string& name, const std::string& path)
{
    const std::string folder = ExtractFilePath(path);
    if (!folder.empty() && !ForceDirectories(folder))
        return;
    TResourceData res;
    if (!FindEmbeddedResource(type, name, res))
        return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return;
    out.write(reinterpret_cast<const char*>(res.Data), static_cast<std::streamsize>(res.Size));
}

void StageResource(const std::string& type, const std::string& name, std::string& path, bool& staged)
{
    if (FileExists(ProgramFolder() + path))
        return;
    path = WorkFolder + PathDelim + path;
    SaveResourceToFile(type, name, path);
    staged = true;
}

bool EnterProgramFolder()
{
    return SetCurrentDir(ProgramFolder());
}
