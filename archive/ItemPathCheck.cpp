#include "archive/ItemPathCheck.h"

#include <cwctype>

bool MakeSafeRelativePath(const std::wstring& itemPath, std::wstring& relative)
{
    relative.clear();
    if (itemPath.empty())
        return true;
    if (itemPath[0] == L'/' || itemPath[0] == L'\\')
        return false;
    if (itemPath.size() >= 2 && itemPath[1] == L':' && std::iswalpha(static_cast<wint_t>(itemPath[0])))
        return false;
    size_t start = 0;
    while (start <= itemPath.size()) {
        size_t end = itemPath.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = itemPath.size();
        const std::wstring part = itemPath.substr(start, end - start);
        if (part == L"..")
            return false;
        if (part.find(L'\0') != std::wstring::npos)
            return false;
        if (!part.empty() && part != L".") {
            if (!relative.empty())
                relative += L'/';
            relative += part;
        }
        start = end + 1;
    }
    return true;
}
