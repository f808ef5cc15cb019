#pragma once

#include <string>

// Checks an item path from an archive before anything is written for it. Both '/' and
// '\' separate components (a zip made on Windows may carry "..\..\x"). A path that is
// absolute, starts with a drive ("C:") or has a ".." component would lead out of the
// destination: false. Otherwise relative gets the path's non-empty components other
// than "." joined by '/' (possibly empty).
bool MakeSafeRelativePath(const std::wstring& itemPath, std::wstring& relative);
