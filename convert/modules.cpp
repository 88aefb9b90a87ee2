#include "modules.h"

#include <dlfcn.h>

#include <filesystem>

namespace orvex {

void* moduleEntry(const char* name, const char* symbol, std::string& error)
{
    std::error_code unread;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", unread).parent_path();
    const std::string path = (program / ORVEX_MODULE_FOLDER / name).lexically_normal().string();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);  // loaded once: dlopen counts, and the module stays
    void* entry = module ? ::dlsym(module, symbol) : nullptr;
    if (!entry)
        error = ::dlerror();
    return entry;
}

} // namespace orvex
