// Which models a batch merges, and which of them must wait for another.
#include <algorithm>
#include <map>

#include "cli/Batch.h"

namespace cli {

namespace {

struct Planner {
    const Options& options;
    SystemOs& os;
    std::vector<Job>& jobs;
    std::string night;  // full path of --night, or of --night-folder
};

std::string Full(SystemOs& os, const std::string& name) {
    std::string full;
    return os.FullPath(name.c_str(), &full).ok() ? full : name;
}

// Joined with "/", which every system takes; Full makes it the system's own.
std::string Join(const std::string& folder, const std::string& name) {
    const char last = folder.empty() ? '/' : folder.back();
    return folder + (last == '/' || last == '\\' ? "" : "/") + name;
}

bool IsModel(const std::string& name) {
    if (name.size() < 4) return false;
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return extension == ".dff";
}

bool IsOutputFolder(const std::string& name) {
    return name.size() == 3 && (name[0] | 32) == 'd' && (name[1] | 32) == 'f' &&
           (name[2] | 32) == 'f';
}

// relative: the model's path below the folder named as DAY, or its name.
void AddJob(Planner& p, const std::string& day, const std::string& relative, bool exact) {
    Job job;
    job.day = day;
    job.exact = exact;
    if (!p.options.night.empty()) job.night = p.night;
    if (!p.options.nightFolder.empty()) job.night = Full(p.os, Join(p.night, relative));
    p.jobs.push_back(std::move(job));
}

void AddFolder(Planner& p, const std::string& folder, const std::string& relative,
               std::vector<FolderEntry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
        const std::string path = Full(p.os, Join(folder, entry.name));
        const std::string below = relative.empty() ? entry.name : Join(relative, entry.name);
        if (!entry.isFolder) {
            if (IsModel(entry.name)) AddJob(p, path, below, entry.exact);
            continue;
        }
        // The outputs of an earlier run are no day models.
        if (!p.options.recursive || (p.options.dffFolder && IsOutputFolder(entry.name))) continue;
        std::vector<FolderEntry> inside;
        if (p.os.ListFolder(path.c_str(), &inside).ok())
            AddFolder(p, path, below, std::move(inside));
        else
            AddJob(p, path, below, entry.exact);  // its log tells why it cannot be read
    }
}

// Where a job's output goes, as the output stage will find it.
std::string OutputOf(SystemOs& os, const std::string& day, bool dffFolder) {
    if (!dffFolder) return day;
    const size_t name = os.NameStart(day.c_str());
    return Join(Join(day.substr(0, name), "dff"), day.substr(name));
}

}  // namespace

std::vector<Job> PlanJobs(const Options& options, const std::set<std::string>& inexact,
                          SystemOs& os) {
    std::vector<Job> jobs;
    Planner p{options, os, jobs, ""};
    if (!options.night.empty()) p.night = Full(os, options.night);
    if (!options.nightFolder.empty()) p.night = Full(os, options.nightFolder);
    for (const std::string& day : options.days) {
        const std::string full = Full(os, day);
        const bool exact = !inexact.count(day) && !inexact.count(options.night) &&
                           !inexact.count(options.nightFolder);
        const size_t first = jobs.size();
        std::vector<FolderEntry> entries;
        if (os.ListFolder(full.c_str(), &entries).ok())
            AddFolder(p, full, "", std::move(entries));
        else
            AddJob(p, full, full.substr(os.NameStart(full.c_str())), true);
        for (size_t i = first; i < jobs.size(); ++i) jobs[i].exact = jobs[i].exact && exact;
    }
    return jobs;
}

void OrderJobsThatShareFiles(std::vector<Job>& jobs, const Options& options, SystemOs& os) {
    struct Uses {
        size_t writer = SIZE_MAX;
        std::vector<size_t> readers;  // since the writer
    };
    std::map<std::string, Uses> files;
    for (size_t j = 0; j < jobs.size(); ++j) {
        Job& job = jobs[j];
        std::vector<std::string> reads = {os.FileIdentity(job.day.c_str())};
        if (!job.night.empty()) reads.push_back(os.FileIdentity(job.night.c_str()));
        const std::string written =
            os.FileIdentity(OutputOf(os, job.day, options.dffFolder).c_str());
        for (const std::string& file : reads)
            if (files[file].writer != SIZE_MAX) job.after.push_back(files[file].writer);
        Uses& output = files[written];
        if (output.writer != SIZE_MAX) job.after.push_back(output.writer);
        job.after.insert(job.after.end(), output.readers.begin(), output.readers.end());
        for (const std::string& file : reads) files[file].readers.push_back(j);
        output.writer = j;
        output.readers.clear();
    }
}

}  // namespace cli
