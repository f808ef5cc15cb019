#pragma once

#include "game/TByteSource.h"
#include "game/VersionRecord.h"

// The VS_FIXEDFILEINFO of a PE/COFF file's RT_VERSION resource. Every offset and size is
// checked against the file, so damaged or hostile files give false, never a wild read.
bool ReadPeVersionRecord(const TByteSource& file, TFixedFileInfo& out);
