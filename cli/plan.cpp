#include "plan.h"

#include "conversion.h"
#include "paths.h"
#include "safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <unordered_map>

namespace cli {

namespace {

std::string lowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string fileName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

std::string join(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool hasExtension(const std::string& name, const char* extension)
{
    return orvex::equalsIgnoringCase(orvex::extensionOf(name), extension);
}

// One folder's entries, read once.
struct Listing {
    struct Entry {
        std::string name;
        bool folder;
        ino_t inode;       // of a regular file, else 0
        bool hardLinked;   // a module that has other names
    };
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<Entry> entries;                               // sorted by name
    std::unordered_map<std::string, std::string> byLowerName;  // .D15 and .MD1 files

    // The file of the folder named `name` in any letter case, or nothing
    std::optional<std::string> find(const std::string& name) const
    {
        const auto found = byLowerName.find(lowerCase(name));
        return found == byLowerName.end() ? std::nullopt : std::optional(found->second);
    }
};

std::string problem(const char* what, const std::string& folder, int error)
{
    return std::string(what) + " the folder " + orvex::quoted(folder) + ": " + std::strerror(error) + ".";
}

// Reads a folder; returns "" or the message why it cannot be read or entered. What was
// read before a failure stays in `listing`.
std::string readFolder(const std::string& path, Listing& listing)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return problem("Cannot read", path, errno);
    struct stat info {};
    // "." is looked up inside the folder: this fails when the folder cannot be entered.
    if (::fstatat(fd, ".", &info, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return problem("Cannot enter", path, error);
    }
    listing.device = info.st_dev;
    listing.inode = info.st_ino;
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        const int error = errno;
        ::close(fd);
        return problem("Cannot read", path, error);
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (!entry) {
            error = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        struct stat status {};
        // A module's count of names tells whether it may be met again in another folder.
        if ((type == DT_UNKNOWN || (type == DT_REG && isModule(name)))
            && ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
        const bool isFolder = type == DT_DIR;
        listing.entries.push_back({name, isFolder, type == DT_REG ? entry->d_ino : 0, type == DT_REG && status.st_nlink > 1});
        if (!isFolder && (hasExtension(name, "d15") || hasExtension(name, "md1")))
            listing.byLowerName.emplace(lowerCase(name), name);
    }
    ::closedir(folder);
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Listing::Entry& a, const Listing::Entry& b) { return a.name < b.name; });
    return error ? problem("Cannot read", path, error) : "";
}

// The .D15 file beside an .MD1 module with its name, letter case ignored.
void findSamples(const std::string& module, const Listing* listing, const std::string& folderProblem,
                 std::optional<std::string>& samples, std::string& refusal)
{
    const std::string name = fileName(module);
    const auto found = listing ? listing->find(name.substr(0, name.size() - 4) + ".d15") : std::nullopt;
    if (found)
        samples = join(module.substr(0, module.size() - name.size()), *found);
    else if (!folderProblem.empty())
        refusal = "The module " + orvex::quoted(module) + " has no .D15 file to be found: " + folderProblem;
    else
        refusal = "The module " + orvex::quoted(module) + " has no .D15 file beside it with its name.";
}

} // namespace

std::string sapFileOf(const Job& job)
{
    return job.target.empty() ? orvex::derivedSapPath(job.module) : job.target;
}

Plan::Plan(const Options& options)
    : options_(options), names_(options, [this](dev_t device, ino_t inode) { return visited_.contains({device, inode}); })
{
    if (!options.batch()) {
        ready_.push_back({.module = options.arguments[0], .samples = options.samples, .target = options.output.value_or("")});
        total_ = 1;
        return;
    }
    if (options.recursive) {
        pending_.push_back({"", options.arguments});
        toRead_ = options.arguments.size();
        return;
    }
    // A list: each folder is read once, for the .D15 files of its .MD1 modules.
    struct Read {
        Listing listing;
        std::string problem;  // why it cannot be read, or ""
    };
    std::map<std::string, Read> folders;
    const auto listingOf = [&](const std::string& path) -> const Read& {
        const std::string folder = orvex::folderOf(path);
        auto [known, fresh] = folders.try_emplace(folder);
        if (fresh)
            known->second.problem = readFolder(folder, known->second.listing);
        return known->second;
    };
    std::vector<Module> modules;
    for (const std::string& path : options.arguments) {
        const std::string name = fileName(path);
        if (isModule(name)) {
            Module module{.path = path};
            if (hasExtension(name, "md1")) {
                const auto& [listing, problem] = listingOf(path);
                findSamples(path, &listing, problem, module.samples, module.refusal);
            }
            modules.push_back(std::move(module));
        } else if (!hasExtension(name, "d15") || !listingOf(path).listing.find(name.substr(0, name.size() - 4) + ".md1")) {
            ready_.push_back(
                {.kind = Job::Kind::Skipped, .module = path, .message = orvex::quoted(path) + " is not a module: skipped."});
        }
    }
    addJobs(modules, "");
    total_ = ready_.size();
}

bool Plan::next(Job& job)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    while (ready_.empty()) {
        if (pending_.empty())
            return false;
        Node node = std::move(pending_.back());
        pending_.pop_back();
        toRead_ -= node.folders.size();
        try {
            readNode(node);
        } catch (const std::bad_alloc&) {
            // Moved, not copied: the message is made without taking memory.
            job = Job();
            job.kind = Job::Kind::Failed;
            job.module = std::move(node.folders.front());
            job.outOfMemory = true;
            return true;
        }
    }
    job = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

void Plan::readNode(const Node& node)
{
    std::vector<Module> modules;
    std::map<std::string, std::vector<std::string>> children;
    for (const std::string& folder : node.folders) {
        Listing listing;
        const std::string problem = readFolder(folder, listing);
        if (!problem.empty())
            ready_.push_back({.kind = Job::Kind::Failed, .module = folder, .message = problem});
        // A folder given twice, or inside another one given: its modules are converted once.
        if (listing.inode == 0 || !visited_.emplace(listing.device, listing.inode).second)
            continue;
        for (const Listing::Entry& entry : listing.entries) {
            const std::string path = join(folder, entry.name);
            if (entry.folder) {
                children[entry.name].push_back(path);
            } else if (isModule(entry.name)) {
                Module module{.path = path, .hardLinked = entry.hardLinked};
                if (entry.inode != 0)
                    module.identity.emplace(listing.device, entry.inode);
                if (hasExtension(entry.name, "md1"))
                    findSamples(path, &listing, "", module.samples, module.refusal);
                modules.push_back(std::move(module));
            }
        }
    }
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        toRead_ += child->second.size();
        pending_.push_back({join(node.relative, child->first), std::move(child->second)});
    }
    addJobs(modules, node.relative);
}

std::string Plan::targetOf(const std::string& module, const std::string& relative) const
{
    if (!options_.output)
        return orvex::derivedSapPath(module);
    return (std::filesystem::path(*options_.output) / relative / orvex::derivedSapPath(fileName(module))).lexically_normal().string();
}

// The jobs of modules whose SAP files go to the same folders: a module found twice is
// converted once, and modules that would write the same SAP file are refused together;
// one that would write the SAP file of another folder's module is refused alone.
void Plan::addJobs(std::vector<Module>& modules, const std::string& relative)
{
    std::set<std::pair<dev_t, ino_t>> seen;
    struct Writers {
        SapNames::Name name;
        std::vector<std::size_t> jobs;
    };
    std::map<std::string, Writers> byTarget;
    names_.newFolders();
    for (Module& module : modules) {
        struct stat info {};
        if (!module.identity && ::stat(module.path.c_str(), &info) == 0)
            module.identity.emplace(info.st_dev, info.st_ino);
        if (module.identity && (!seen.insert(*module.identity).second
                                || (module.hardLinked && !hardLinked_.insert(*module.identity).second)))
            continue;
        Job job{.kind = module.refusal.empty() ? Job::Kind::Convert : Job::Kind::Failed, .module = std::move(module.path),
                .samples = std::move(module.samples), .message = std::move(module.refusal)};
        const std::string target = targetOf(job.module, relative);
        if (options_.output) {
            job.target = target;
            job.makeFolder = !relative.empty();
        }
        SapNames::Name name = names_.of(target);
        Writers& writers = byTarget[name.key];
        writers.name = std::move(name);
        writers.jobs.push_back(ready_.size());
        ready_.push_back(std::move(job));
    }
    for (const auto& [key, writers] : byTarget) {
        Job& job = ready_[writers.jobs.front()];
        if (writers.jobs.size() > 1) {
            refuseTogether(writers.jobs);
        } else if (const std::string other = names_.otherWriter(writers.name); !other.empty()) {
            job.kind = Job::Kind::Failed;
            job.message = "The module " + orvex::quoted(job.module) + " would write the SAP file " + orvex::quoted(sapFileOf(job))
                          + ", which the module " + orvex::quoted(other) + " writes; it is not converted.";
        } else if (job.kind == Job::Kind::Convert) {
            names_.add(writers.name, job.module);
        }
    }
}

void Plan::refuseTogether(const std::vector<std::size_t>& clashing)
{
    std::string named;
    for (const std::size_t i : clashing)
        named += (named.empty() ? "" : ", ") + orvex::quoted(ready_[i].module);
    for (const std::size_t i : clashing) {
        Job& job = ready_[i];
        job.kind = Job::Kind::Failed;
        job.message = "The modules " + named + " would all write the SAP file " + orvex::quoted(sapFileOf(job))
                      + "; none of them is converted.";
        job.silent = i != clashing.front();
    }
}

} // namespace cli
