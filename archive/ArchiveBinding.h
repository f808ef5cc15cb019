#pragma once

#include <string>

#include "archive/ArchiveFormats.h"
#include "archive/ArchiveInterfaces.h"
#include "archive/EArchiveError.h"
#include "archive/I7zReader.h"

// Loads libPath anew and gives a reader for formatId. Raises EArchiveError:
// "Error loading library %s", "%s is not a 7z library", "%s is not a Format library".
I7zReaderPtr CreateArchiveReader(const TGUID& formatId, const std::string& libPath);
