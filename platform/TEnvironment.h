#pragma once

#include <string>

// Value of an environment variable; "" when it is not set.
std::string GetEnvironmentVar(const std::string& name);
// The user's home folder without a trailing delimiter: $HOME, else the password database.
std::string GetHomeFolder();
// The user's data folder ($XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share), without a trailing delimiter.
std::string GetUserDataFolder();
