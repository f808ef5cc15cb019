#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

// Why a selection file was refused.
class ESelectionFileError : public std::runtime_error {
public:
    enum class TKind { Unreadable, TooLarge, Binary, OtherFormat };
    ESelectionFileError(TKind kind, const std::string& message) : std::runtime_error(message), Kind(kind) {}
    TKind Kind;
};

// A saved choice of catalogue items: UTF-8 text, the format line first, then one catalogue
// path ("Folder/archive.7z") per line; blank lines and lines starting with "#" are comments.
class TSelectionFile {
public:
    static const char* const FormatLine;  // "Setup selection 1"
    // Far beyond any catalogue (which holds at most 65535 nodes of short names).
    static constexpr std::size_t MaxBytes = 4u << 20;

    // The paths in file order, duplicates dropped. Raises ESelectionFileError.
    static std::vector<std::string> Parse(const std::string& text);
    static std::vector<std::string> Read(const std::string& path);
    static std::string Format(const std::vector<std::string>& items);
    // Replaces the file as a whole or not at all; false when it cannot be written.
    static bool Write(const std::string& path, const std::vector<std::string>& items);
};
