#include "modules.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

namespace orvex {

const ModuleEntry& moduleEntry(const char* name, const char* symbol)
{
    static std::mutex mutex;
    static std::map<std::pair<std::string, std::string>, ModuleEntry> loaded;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto [at, fresh] = loaded.try_emplace({name, symbol});
    if (!fresh)
        return at->second;
    std::error_code unread;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", unread).parent_path();
    const std::string path = (program / ORVEX_MODULE_FOLDER / name).lexically_normal().string();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);  // and it stays
    at->second.entry = module ? ::dlsym(module, symbol) : nullptr;
    if (!at->second.entry)
        at->second.error = ::dlerror();
    return at->second;
}

} // namespace orvex
