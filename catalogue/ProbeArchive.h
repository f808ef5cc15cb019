#pragma once

#include <cstdint>
#include <string>

#include "catalogue/TFileNameList.h"

class QString;

// Codes of a probe's result.
constexpr std::uint16_t pcUsable = 0;
constexpr std::uint16_t pcNotFound = 1;
constexpr std::uint16_t pcUnknownFormat = 2;  // also unreadable
constexpr std::uint16_t pcEmpty = 3;

// What probing one archive found.
struct TProbeResult {
    bool Usable = false;
    std::uint16_t Code = pcUsable;
    // pcNotFound for an entry that exists but leads out of the program's folder (through a
    // link): refused rather than missing.
    bool Refused = false;
};

// Opens the archive at a full path once, through a reader on LibPath, and counts its
// items. A path that does not lie inside the program's folder counts as not found and is
// never opened. Errors of creating the reader (the library) propagate; errors of opening
// or counting give pcUnknownFormat. With files given, a usable archive's file paths (below the
// folder it would be extracted to, folders and unsafe paths left out) are put there.
TProbeResult ProbeArchive(const std::string& path, TFileNameList* files = nullptr);

// The note that replaces a node's text for an unusable code, in the current language.
QString ProbeNote(std::uint16_t code, const QString& text);
