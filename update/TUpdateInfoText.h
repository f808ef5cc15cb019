#pragma once

#include <string>

// The notice text of the server as UTF-8: taken as it is when it is valid UTF-8 (a byte
// order mark dropped), else read as Windows-1251, the code page of the original servers.
// A zero byte ends the text.
class TUpdateInfoText {
public:
    static std::string Decode(const std::string& bytes);
    static bool IsValidUtf8(const std::string& bytes);
    static std::string FromWindows1251(const std::string& bytes);
};
