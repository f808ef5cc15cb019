#pragma once

#include <string>

// One extraction through the binding, as a benchmark child runs it: 0 done, 1 failed
// (the reason on stderr), 2 no format for the archive's extension.
int ExtractOnce(const std::string& library, const std::string& archive, const std::string& folder);
