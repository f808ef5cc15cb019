#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Files as mods carry them: scripts and XML that compress (two of three), textures and models
// that do not; sizes spread from a few bytes to twice the mean. Names are
// <folder><prefix><i>.xml|.dds, the folders taken in turn.
void WriteModFiles(const std::string& dir, int files, int64_t totalBytes, std::mt19937_64& rng,
                   const std::vector<std::string>& folders, const std::string& prefix);
