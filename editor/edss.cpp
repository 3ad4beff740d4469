// The exported entry point of libzpkx.
#include <iostream>

#include "editor.h"
#include "zpk/zpkx.h"

extern "C" ZPKX_API int edSS(void) {
    try {
        zpkx::StreamEditor editor(std::cin, std::cout);
        const int result = editor.run();
        std::cout.flush();
        return result;
    } catch (...) {
        // Nothing may escape into a C caller.
        return 0;
    }
}
