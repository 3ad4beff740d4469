// Locating the library's data files: the installed data folder first, then
// the source tree's data folder (a build that has not been installed).
#pragma once

#include <fstream>
#include <string>

namespace zpk {

// Opens the named data file from the first folder that has it; the returned
// stream is not open (tests false) when no folder has the file.
std::ifstream openDataFile(const std::string& name);

}  // namespace zpk
