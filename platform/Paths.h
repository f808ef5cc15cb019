#pragma once

#include <string>

// The folder delimiter wherever the program joins or ends folders.
inline constexpr char PathDelim = '/';

std::string IncludeTrailingPathDelimiter(const std::string& path);
// Folder part of a path, delimiter included ("" for a bare name).
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
// From the last point of the file name on, point included; "" when the name has none.
std::string ExtractFileExt(const std::string& path);
// Replaces the extension (or appends when there is none): "Setup" -> "Setup.newupdate".
std::string ChangeFileExt(const std::string& path, const std::string& ext);
