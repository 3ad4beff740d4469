// C interface: archives of stream definitions and the data folder.
#include "archive/archive.h"
#include "core/error.h"
#include "core/thread_context.h"
#include "zpk/zpk.h"

using namespace zpk;

extern "C" {

int AFSave(const char* path) {
    return guarded("AFSave", 0, [&] {
        if (path == nullptr) core::fail("path is a null pointer");
        archive::save(path);
        return 1;
    });
}

int AFOpen(const char* path) {
    return guarded("AFOpen", 0, [&] {
        if (path == nullptr) core::fail("path is a null pointer");
        archive::open(path);
        return 1;
    });
}

char* getDATAF(void) {
    return guarded("getDATAF", static_cast<char*>(nullptr), [] {
        static thread_local std::string buf;
        return core::keepText(buf, archive::dataFolder());
    });
}

}  // extern "C"
