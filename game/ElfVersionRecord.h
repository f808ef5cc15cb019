#pragma once

#include "game/TByteSource.h"
#include "game/VersionRecord.h"

// The record in the VersionRecordSection section of an ELF file (the program's own
// executable), found through the section headers; bounded against the file like the PE
// reader.
bool ReadElfVersionRecord(const TByteSource& file, TFixedFileInfo& out);
