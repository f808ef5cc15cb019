#pragma once

#include <QString>

#include <string>

// A picture and a description a pack may put beside an archive: Name.png or Name.jpg and
// Name.txt next to Name.7z.
class TModPreviewFiles {
public:
    // A description is shown in part: no one reads further, and a huge one must not stall.
    static constexpr std::size_t MaxTextBytes = 16 * 1024;
    // Pictures larger than this are not read at all.
    static constexpr std::size_t MaxPictureBytes = 8u << 20;

    std::string Picture;  // "" when none
    std::string Text;     // "" when none
    bool Empty() const { return Picture.empty() && Text.empty(); }

    // The files beside an archive (its full path); names match without regard to case.
    static TModPreviewFiles Find(const std::string& archivePath);
    // The description's start, decoded as the catalogue is (UTF-8, else Windows-1251), an
    // ellipsis where it was cut; false when it cannot be read.
    static bool ReadText(const std::string& path, QString& text);
};
