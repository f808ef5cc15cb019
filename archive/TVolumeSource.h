#pragma once

#include <memory>
#include <string>

class TFileStream;

// The further parts of a volume set, as the library asks for them while it opens the
// first: only parts of this set, beside the first part, and a bounded number of them.
class TVolumeSource {
public:
    // The opened file; an empty name (a caller's stream) gives no parts.
    void Start(const std::string& firstFile);
    // The first part's name, from which the library makes the others'; empty for a stream.
    const std::string& FirstName() const { return First; }
    // The named part, or null when it is not one of this set or cannot be read.
    std::unique_ptr<TFileStream> Open(const std::string& part);

private:
    std::string Folder;
    std::string First;
    unsigned Given = 0;
};
