#pragma once

#include <string>

// A URL split into its parts; the fragment after "#" is dropped.
class THttpUrl {
public:
    // "http://host:81/a/b.txt?x#f" -> Scheme "http", Host "host", Port "81",
    // Path "/a/", Document "b.txt?x". A bare path leaves Scheme and Host empty.
    static THttpUrl Parse(const std::string& url);

    std::string Scheme;
    std::string Host;
    std::string Port;  // as written; empty when the URL names none
    std::string Path;
    std::string Document;

    // Path + Document, "/" when both are empty, with blanks escaped. Throws EHttpError
    // for control characters, which could split the request line.
    std::string Target() const;
    // Takes the missing host and port from base and resolves a relative path against
    // base's folder, as a redirect's Location must be read.
    void InheritFrom(const THttpUrl& base);
};
