#pragma once

#include <string>

// Writes a resource of the program's own module to a file, creating its folder first;
// gives up without a message when the folder cannot be made.
void SaveResourceToFile(const std::string& type, const std::string& name, const std::string& path);
// Stages a resource when the program's folder holds no file of that name: the path
// variable becomes the copy's full path in the working folder and the flag is set.
void StageResource(const std::string& type, const std::string& name, std::string& path, bool& staged);
// Makes the program's folder the current folder. Launchers and file managers seldom start
// the program there, yet Setup.conf, Setup.dll, the update's files and a relative target
// are named bare and meant to be found beside the program.
bool EnterProgramFolder();
