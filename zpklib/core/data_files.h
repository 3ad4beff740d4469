// Locating the library's data files.  The folders searched, in order:
//  1. beside the library's own module: on Windows "<folder of zpk.dll>\data\"
//     and "<folder of zpk.dll>\..\share\zpk\" (a copied or relocated
//     installation), elsewhere "<folder of libzpk>/../share/zpk/";
//  2. the installation's data folder (ZPK_INSTALL_DATA_DIR);
//  3. the source tree's data folder (a build that has not been installed).
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace zpk {

// The candidate folders in search order, each ending with a path separator.
// Computed once; the list is the same for every thread.
const std::vector<std::string>& dataFolders();

// The folder of the module (DLL, shared library or program) that holds this
// code, ending with a path separator; empty when the platform cannot tell.
std::string moduleFolder();

// Opens the named data file from the first folder that has it; the returned
// stream is not open (tests false) when no folder has the file.
std::ifstream openDataFile(const std::string& name);

} // namespace zpk
