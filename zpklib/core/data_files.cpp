#include "core/data_files.h"

namespace zpk {

std::ifstream openDataFile(const std::string& name) {
    for (const char* dir : {ZPK_INSTALL_DATA_DIR, ZPK_BUILD_DATA_DIR}) {
        std::ifstream in(std::string(dir) + name);
        if (in) return in;
    }
    return {};
}

}  // namespace zpk
