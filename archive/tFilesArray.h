#pragma once

#include <string>
#include <vector>

// The ordered full paths of the archives to install.
using tFilesArray = std::vector<std::string>;
