#include "sap_names.h"

#include "conversion.h"
#include "paths.h"
#include "safe_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace cli {

namespace fs = std::filesystem;

namespace {

std::string fileName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// A path made absolute and normal, as it is given; and where its links lead
fs::path asGiven(const std::string& path)
{
    std::error_code error;
    return fs::absolute(path, error).lexically_normal();
}

fs::path found(const fs::path& path)
{
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return error ? path : canonical;
}

} // namespace

bool isModule(const std::string& name)
{
    const std::string extension = orvex::extensionOf(name);
    return std::any_of(orvex::FormatTable.begin(), orvex::FormatTable.end(),
                       [&](const orvex::FormatRow& row) { return orvex::equalsIgnoringCase(extension, row.extension); });
}

SapNames::SapNames(const Options& options, std::function<bool(dev_t, ino_t)> read)
    : options_(options), read_(std::move(read))
{
    if (options.output) {
        outputAsGiven_ = asGiven(*options.output);
        outputFound_ = found(outputAsGiven_);
    }
}

const SapNames::Folder& SapNames::folder(const std::string& path)
{
    auto [known, fresh] = folders_.try_emplace(path);
    if (fresh) {
        struct stat status {};
        known->second.key = ::stat(path.c_str(), &status) == 0
                                ? std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino)
                                : "path " + asGiven(path).string();
        // Below -o, a folder whose path a link leads elsewhere
        const fs::path below = asGiven(path).lexically_relative(outputAsGiven_);
        known->second.linked = options_.output && !below.empty() && below != "."
                               && found(asGiven(path)) != (fs::path(outputFound_) / below).lexically_normal();
    }
    return known->second;
}

SapNames::Name SapNames::of(const std::string& target)
{
    struct stat info {};
    bool exists = false;
    Name name;
    try {
        name.resolved = orvex::followLinks(target, info, exists);
    } catch (const orvex::ConversionError&) {
        name.key = "as given " + target;  // the save names the problem
        return name;
    }
    const Folder& known = folder(orvex::folderOf(name.resolved));
    name.key = known.key + "/" + fileName(name.resolved);
    name.linked = name.resolved != target || folder(orvex::folderOf(target)).linked;
    return name;
}

// The module of a folder the plan has read whose SAP file is `sapName` beside it, or "".
std::string SapNames::writerIn(const std::string& folder, const std::string& sapName) const
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !read_(status.st_dev, status.st_ino))
        return "";
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (isModule(name) && orvex::derivedSapPath(name) == sapName)
            return entry->path().lexically_normal().string();
    }
    return "";
}

std::string SapNames::otherWriter(const Name& name) const
{
    if (const auto known = linked_.find(name.key); known != linked_.end())
        return known->second;
    if (!name.linked)
        return "";
    // The modules whose SAP files go to the folder it leads to: beside them, or with -o
    // in the folders at the same place below each folder converted.
    const std::string folder = orvex::folderOf(name.resolved), sapName = fileName(name.resolved);
    if (!options_.output)
        return writerIn(folder, sapName);
    const fs::path below = found(asGiven(folder)).lexically_relative(outputFound_);
    if (below.empty() || *below.begin() == "..")
        return "";
    for (const std::string& root : options_.arguments) {
        if (std::string writer = writerIn((fs::path(root) / below).lexically_normal().string(), sapName); !writer.empty())
            return writer;
    }
    return "";
}

void SapNames::add(const Name& name, const std::string& module)
{
    if (name.linked)
        linked_.try_emplace(name.key, module);
}

} // namespace cli
