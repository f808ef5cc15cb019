#pragma once

#include "shell/TFailReason.h"

#include <string>

// The details part of the installation's failure message: which archive, which item and
// why, in the current language. UTF-8. text is the binding's own message, shown when no
// more specific reason is known.
std::string InstallErrorDetails(const std::string& archive, const std::string& item, TFailReason reason,
                                const std::string& text);
