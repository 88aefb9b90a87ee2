#include "jobs.h"

#include "conversion.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace cli {

namespace {

bool isModule(const fs::path& path)
{
    const std::string extension = orvex::extensionOf(path.filename().string());
    return std::any_of(orvex::FormatTable.begin(), orvex::FormatTable.end(),
                       [&](const orvex::FormatRow& row) { return orvex::equalsIgnoringCase(extension, row.extension); });
}

// The .D15 file beside an .MD1 module with its name, letter case ignored
std::optional<std::string> samplesBeside(const fs::path& module)
{
    const std::string wanted = module.stem().string() + ".d15";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(module.parent_path().empty() ? "." : module.parent_path(), error)) {
        if (orvex::equalsIgnoringCase(entry.path().filename().string(), wanted))
            return (module.parent_path() / entry.path().filename()).string();
    }
    return std::nullopt;
}

} // namespace

std::vector<std::pair<std::string, std::string>> modulesBelow(const std::vector<std::string>& folders,
                                                              std::vector<std::string>& problems)
{
    std::vector<std::pair<std::string, std::string>> modules;
    for (const std::string& folder : folders) {
        std::error_code error;
        auto it = fs::recursive_directory_iterator(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file(error) && isModule(it->path()))
                modules.emplace_back(folder, it->path().string());
        }
        if (error)
            problems.push_back("Cannot read the folder " + orvex::quoted(folder) + ": " + error.message() + ".");
    }
    std::sort(modules.begin(), modules.end());
    return modules;
}

std::vector<Job> plan(const std::vector<std::pair<std::string, std::string>>& modules,
                      const std::optional<std::string>& outputFolder)
{
    std::vector<Job> jobs;
    std::map<std::string, std::vector<std::size_t>> byTarget;
    const fs::path here = fs::current_path();
    for (const auto& [root, module] : modules) {
        Job job;
        job.module = module;
        const std::string derived = module.size() >= 4 ? module.substr(0, module.size() - 4) + ".SAP" : ".SAP";
        if (!outputFolder) {
            job.target = derived;
        } else {
            const fs::path below = root.empty() ? fs::path() : fs::path(module).parent_path().lexically_relative(root);
            job.target = (fs::path(*outputFolder) / below / fs::path(derived).filename()).lexically_normal().string();
            job.makeFolder = !below.empty();
        }
        if (orvex::equalsIgnoringCase(orvex::extensionOf(module), "md1")) {
            job.samples = samplesBeside(module);
            if (!job.samples)
                job.refusal = "The module " + orvex::quoted(module) + " has no .D15 file beside it with its name.";
        }
        byTarget[(here / job.target).lexically_normal().string()].push_back(jobs.size());
        jobs.push_back(std::move(job));
    }
    for (const auto& [target, clashing] : byTarget) {
        if (clashing.size() < 2)
            continue;
        std::string named;
        for (const std::size_t i : clashing)
            named += (named.empty() ? "" : ", ") + orvex::quoted(jobs[i].module);
        for (const std::size_t i : clashing) {
            jobs[i].refusal = "The modules " + named + " would all write the SAP file " + orvex::quoted(jobs[i].target)
                              + "; none of them is converted.";
            jobs[i].silent = i != clashing.front();
        }
    }
    return jobs;
}

} // namespace cli
