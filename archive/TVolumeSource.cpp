#include "archive/TVolumeSource.h"

#include "archive/TVolumeName.h"
#include "platform/Paths.h"
#include "platform/TFileStream.h"
#include "platform/TPathResolver.h"

void TVolumeSource::Start(const std::string& firstFile)
{
    Folder = firstFile.empty() ? std::string() : ExtractFilePath(firstFile);
    First = firstFile.empty() ? std::string() : ExtractFileName(firstFile);
    Given = 0;
}

std::unique_ptr<TFileStream> TVolumeSource::Open(const std::string& part)
{
    if (Folder.empty() || Given >= TVolumeName::MaxParts || !TVolumeName::FollowsFirst(First, part))
        return nullptr;
    const std::string path = Folder + part;
    std::unique_ptr<TFileStream> file = TPathResolver::IsRegularFile(path) ? TFileStream::OpenRead(path) : nullptr;
    if (file)
        ++Given;
    return file;
}
