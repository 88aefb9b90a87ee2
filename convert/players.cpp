#include "players.h"

#include "paths.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace orvex {

std::vector<std::string> defaultPlayerFolders()
{
    std::vector<std::string> folders;
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data && *data == '/')
        folders.push_back(std::string(data) + "/orvex/players");
    else if (home && *home)
        folders.push_back(std::string(home) + "/.local/share/orvex/players");
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto folder = error ? std::filesystem::current_path(error) : executable.parent_path();
    folders.push_back((folder / ".." / "share" / "orvex" / "players").lexically_normal().string());
    return folders;
}

std::string locatePlayer(const std::vector<std::string>& folders, const std::string& fileName)
{
    std::string places;
    for (const std::string& folder : folders) {
        const std::string path = folder.empty() || folder.back() == '/' ? folder + fileName : folder + "/" + fileName;
        struct stat info {};
        if (folders.size() == 1 || ::lstat(path.c_str(), &info) == 0)
            return path;
        places += (places.empty() ? "" : " nor in ") + quoted(path);
    }
    throw ConversionError("Cannot read the player file " + quoted(fileName) + ": it is neither in " + places + ".");
}

PlayerCache::PlayerCache(std::vector<std::string> folders) : folders_(std::move(folders)) {}

const PlayerCache::Entry& PlayerCache::get(const std::string& fileName) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(fileName);
    if (found != entries_.end())
        return found->second;
    Entry& entry = entries_[fileName];
    try {
        const std::string path = locatePlayer(folders_, fileName);
        entry.bytes.resize(kImageSize + 1);
        const InputRead read = readInput("player file", path, 0, entry.bytes.data(), kImageSize);
        entry.bytes.resize(read.count + (read.cut ? 1 : 0));
        entry.identity = read.identity;
    } catch (const ConversionError& e) {
        entry.bytes.clear();
        entry.error = e.what();
    } catch (...) {
        entries_.erase(fileName);  // out of memory: the next save reads the file again
        throw;
    }
    return entry;
}

} // namespace orvex
