#include "platform/Paths.h"

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && path.back() == PathDelim)
        return path;
    return path + PathDelim;
}

std::string ExtractFilePath(const std::string& path)
{
    const auto pos = path.rfind(PathDelim);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path)
{
    const auto pos = path.rfind(PathDelim);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

static std::string::size_type ExtPos(const std::string& path)
{
    const auto dot = path.rfind('.');
    const auto delim = path.rfind(PathDelim);
    if (dot == std::string::npos || (delim != std::string::npos && dot < delim))
        return std::string::npos;
    return dot;
}

std::string ExtractFileExt(const std::string& path)
{
    const auto pos = ExtPos(path);
    return pos == std::string::npos ? std::string() : path.substr(pos);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    const auto pos = ExtPos(path);
    return (pos == std::string::npos ? path : path.substr(0, pos)) + ext;
}
