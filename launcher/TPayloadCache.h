#pragma once

#include "launcher/TPayloadTrailer.h"

#include <string>

// The folder of the user's cache that holds the unpacked program, one sub-folder per payload
// hash. A sub-folder is unpacked under a temporary name and renamed into place whole, so a
// reader sees it complete or not at all; it is used only while nobody but its owner (or root)
// can write to it or to any folder above it.
class TPayloadCache {
public:
    explicit TPayloadCache(std::string root);

    // $XDG_CACHE_HOME/Setup, or ~/.cache/Setup; "" when neither can be told.
    static std::string DefaultRoot();
    // Every folder from path up to / is a folder (not a link) owned by this user or root,
    // and writable by nobody else unless it is sticky (as /tmp is).
    static bool Trusted(const std::string& path);
    static bool RemoveTree(const std::string& path);

    // The folder holding this payload, unpacked now when it is not there yet; "" with Error()
    // when that cannot be done safely here.
    std::string Prepare(int selfFd, const TPayloadTrailer& trailer);
    // Unpacks into a new private folder under parent; "" with Error() on failure.
    std::string UnpackFresh(const std::string& parent, const std::string& prefix, int selfFd,
                            const TPayloadTrailer& trailer);
    const std::string& Error() const { return FError; }

    // The list written last into an unpacked folder: the hash, then "size name" per file.
    static constexpr const char* ManifestName = ".payload";
    // Folders of other payloads not started for this long are removed after an unpack.
    static constexpr long StaleSeconds = 14L * 24 * 3600;

private:
    bool Complete(const std::string& folder, const std::string& hash) const;
    void RemoveStale(const std::string& keep) const;
    std::string Fail(const std::string& what);

    std::string FRoot;
    std::string FError;
};
