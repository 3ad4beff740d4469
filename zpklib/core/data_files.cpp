#include "core/data_files.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>

#include <filesystem>
#endif

#ifndef ZPK_BUILD_DATA_DIR
#define ZPK_BUILD_DATA_DIR "data/"
#endif
#ifndef ZPK_INSTALL_DATA_DIR
#define ZPK_INSTALL_DATA_DIR "/usr/local/share/zpk/"
#endif

namespace zpk {

std::string moduleFolder() {
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&moduleFolder), &module))
        return {};
    // GetModuleFileNameA fills the whole buffer when the name is cut.
    std::string name(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(module, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
    const std::string::size_type slash = name.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
#else
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code ec;
    const std::filesystem::path module = std::filesystem::absolute(info.dli_fname, ec);
    if (ec) return {};
    return module.parent_path().string() + "/";
#endif
}

const std::vector<std::string>& dataFolders() {
    static const std::vector<std::string> folders = [] {
        std::vector<std::string> list;
        const std::string module = moduleFolder();
        if (!module.empty()) {
#if defined(_WIN32)
            list.push_back(module + "data\\");
            list.push_back(module + "..\\share\\zpk\\");
#else
            list.push_back(module + "../share/zpk/");
#endif
        }
        list.emplace_back(ZPK_INSTALL_DATA_DIR);
        list.emplace_back(ZPK_BUILD_DATA_DIR);
        return list;
    }();
    return folders;
}

std::ifstream openDataFile(const std::string& name) {
    for (const std::string& dir : dataFolders()) {
        std::ifstream in(dir + name);
        if (in) return in;
    }
    return {};
}

} // namespace zpk
