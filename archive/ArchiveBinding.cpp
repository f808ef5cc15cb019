#include "archive/ArchiveBinding.h"

#include "archive/T7zReader.h"

I7zReaderPtr CreateArchiveReader(const TGUID& formatId, const std::string& libPath)
{
    I7zReaderPtr reader(static_cast<I7zReader*>(new T7zReader(libPath)));
    reader->SetFormatId(formatId);
    return reader;
}
