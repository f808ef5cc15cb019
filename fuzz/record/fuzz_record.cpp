// Arbitrary bytes as an install record: either refused with ERecordError, or read into a
// record that writes back to a text read the same way and names only paths inside the folder.
// The bytes are tried as they are and with a checksum line that matches them, so the reader
// behind the checksum is reached.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/ERecordError.h"
#include "archive/TFileDigest.h"
#include "archive/TInstallRecord.h"

namespace {
void Check(const std::string& text)
{
    TInstallRecord j;
    try {
        j = TInstallRecord::Parse(text);
    } catch (const ERecordError&) {
        return;
    }
    for (const auto& [path, f] : j.Files) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t slash = std::min(path.find('/', start), path.size());
            const std::string part = path.substr(start, slash - start);
            if (part.empty() || part == "." || part == "..")
                std::abort();
            if (slash == path.size())
                break;
            start = slash + 1;
        }
    }
    const std::string again = j.Format();
    if (TInstallRecord::Parse(again).Format() != again)
        std::abort();
}
}

// The body followed by the checksum line the writer would put after it.
static std::string Seal(std::string body)
{
    if (!body.empty() && body.back() != '\n')
        body += '\n';
    const auto records = std::count(body.begin(), body.end(), '\n');
    return body + "end\t" + std::to_string(records) + "\t" + TFileDigest::OfBytes(body) + "\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    Check(Seal(bytes));
    Check(Seal("SetupInstallJournal\t1\n" + bytes));
    return 0;
}
