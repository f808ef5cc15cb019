#pragma once

#include "update/TSharedString.h"

#include <atomic>
#include <cstdint>
#include <string>

// Results of the update check, written by the check thread, read on the main thread.
extern std::atomic<std::uint16_t> ServerBuild;
extern TSharedString ServerVersionText;
// The digest the package must have (lower-case hex); "" when the server announced none.
extern TSharedString ServerPackageSha256;
// Where the downloaded package is saved; main thread only.
extern std::string PackagePath;

void ResetUpdateState();
