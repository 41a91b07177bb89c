// Which models a batch merges, the files it reads and writes, and which of
// them must wait for another.
#include <algorithm>
#include <map>

#include "cli/Batch.h"
#include "merge/Paths.h"
#include "preview/Picture.h"

namespace cli {

namespace {

struct Planner {
    const Options& options;
    merge::Os& os;
    std::vector<Job>& jobs;
    std::string night;   // full path of --night, or of --night-folder
    std::string output;  // full path of --output
};

std::string Full(merge::Os& os, const std::string& name) {
    std::string full;
    return os.FullPath(name.c_str(), &full).ok() ? full : name;
}

// A listed name joined to its folder as it is, never rewritten.
std::string Join(merge::Os& os, const std::string& folder, const std::string& name) {
    const bool separated = !folder.empty() && os.NameStart(folder.c_str()) == folder.size();
    return separated ? folder + name : folder + os.Separator() + name;
}

bool IsModel(const std::string& name) {
    return name.size() >= 4 && merge::LowerAscii(name.substr(name.size() - 4)) == ".dff";
}

// relative: the model's path below the folder named as DAY, or its name.
void AddJob(Planner& p, const std::string& day, const std::string& relative, bool exact) {
    Job job;
    job.day = day;
    job.label = relative;
    job.exact = exact;
    job.output = p.output.empty() ? merge::OutputPathFor(p.os, day, p.options.dffFolder)
                                  : Join(p.os, p.output, relative);
    if (!p.options.night.empty()) job.night = p.night;
    if (!p.options.nightFolder.empty()) job.night = Join(p.os, p.night, relative);
    merge::FileStamp stamp;
    if (!p.options.nightFolder.empty() && p.options.unpaired != Options::Unpaired::Error &&
        p.os.StampAt(job.night.c_str(), &stamp).Is(merge::Problem::Absent)) {
        job.missingNight = job.night;
        job.night.clear();
    }
    p.jobs.push_back(std::move(job));
}

void AddFolder(Planner& p, const std::string& folder, const std::string& relative,
               std::vector<merge::FolderEntry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const merge::FolderEntry& a, const merge::FolderEntry& b) {
                  return a.name < b.name;
              });
    for (const merge::FolderEntry& entry : entries) {
        const std::string path = Join(p.os, folder, entry.name);
        const std::string below = relative.empty() ? entry.name : Join(p.os, relative, entry.name);
        if (!entry.isFolder) {
            if (IsModel(entry.name)) AddJob(p, path, below, entry.exact);
            continue;
        }
        // The outputs of an earlier run are no day models.
        if (!p.options.recursive ||
            (p.options.dffFolder && merge::ComparedName(p.os, entry.name) == merge::OutputFolder) ||
            (!p.output.empty() && merge::FileIdentity(p.os, path) ==
                                      merge::FileIdentity(p.os, p.output)))
            continue;
        std::vector<merge::FolderEntry> inside;
        if (p.os.ListFolder(path.c_str(), &inside).ok())
            AddFolder(p, path, below, std::move(inside));
        else
            AddJob(p, path, below, entry.exact);  // its log tells why it cannot be read
    }
}

// The plan of the run, before any model is touched: no output lands on a
// night model (but the model's own, in place), nor with an output elsewhere
// on a day model; no page of a picture on any file the run reads or writes,
// nor on what no file can replace. The usage error, or empty.
std::string CheckFiles(const std::vector<Job>& jobs, const Options& options, merge::Os& os) {
    if (options.list) return "";
    std::map<std::string, std::string> days, nights, outputs;
    std::multimap<std::string, const Job*> nightOf;
    for (const Job& job : jobs) {
        days.emplace(merge::FileIdentity(os, job.day), job.day);
        if (job.night.empty()) continue;
        nights.emplace(merge::FileIdentity(os, job.night), job.night);
        nightOf.emplace(merge::FileIdentity(os, job.night), &job);
    }
    const bool elsewhere = options.dffFolder || !options.outputFolder.empty();
    for (const Job& job : jobs) {
        const std::string output = merge::FileIdentity(os, job.output);
        outputs.emplace(output, job.output);
        const auto readers = nightOf.equal_range(output);
        for (auto reader = readers.first; reader != readers.second; ++reader)
            if (reader->second != &job || elsewhere)
                return "the output '" + job.output + "' would replace the night model '" +
                       reader->second->night + "'";
        const auto day = days.find(output);
        if (elsewhere && day != days.end())
            return "the output '" + job.output + "' would replace the model '" + day->second + "'";
    }
    if (options.preview.empty()) return "";
    std::string picture;
    if (!os.FullPath(options.preview.c_str(), &picture).ok()) picture = options.preview;
    const size_t pages = (jobs.size() + preview::TilesPerPage() - 1) / preview::TilesPerPage();
    for (size_t k = 0; k < std::max<size_t>(pages, 1); ++k) {
        const std::string page = preview::PagePath(picture, k);
        const std::string identity = merge::FileIdentity(os, page);
        for (const auto* files : {&days, &nights})
            if (files->count(identity))
                return "--preview would replace the model '" + files->at(identity) + "'";
        if (outputs.count(identity))
            return "--preview would replace '" + outputs.at(identity) +
                   "', which the run writes or reads";
        merge::FileStamp stamp;
        const merge::FileKind kind =
            os.StampOfName(page.c_str(), &stamp).ok() ? stamp.kind : merge::FileKind::File;
        if (kind != merge::FileKind::File && kind != merge::FileKind::Link)
            return "--preview names a folder or a device, not a file: '" + page + "'";
    }
    return "";
}

// Where the run writes nothing (a dry run, a preview), a job whose model an
// earlier job merges in place reads that job's output as the run would
// leave it: by name, through links to it and to its folders, not as a hard
// link, which the output does not replace.
void FindWhatSimulationsRead(std::vector<Job>& jobs, merge::Os& os) {
    std::map<std::string, size_t> writers;
    const auto nameOf = [&os](const std::string& path) {
        std::string resolved;
        if (!os.ResolveLinks(path.c_str(), &resolved).ok()) resolved = path;
        return merge::NameIdentity(os, resolved);
    };
    for (size_t j = 0; j < jobs.size(); ++j) {
        const auto writer = writers.find(nameOf(jobs[j].day));
        if (writer != writers.end()) {
            jobs[j].readsOutputOf = writer->second;
            jobs[writer->second].outputRead = true;
        }
        if (jobs[j].output == jobs[j].day) writers[nameOf(jobs[j].output)] = j;
    }
}

}  // namespace

Plan PlanJobs(const Options& options, const std::set<std::string>& inexact, merge::Os& os) {
    Plan plan;
    Planner p{options, os, plan.jobs, "", ""};
    if (!options.night.empty()) p.night = Full(os, options.night);
    if (!options.nightFolder.empty()) p.night = Full(os, options.nightFolder);
    if (!options.outputFolder.empty()) p.output = Full(os, options.outputFolder);
    // A mistyped folder of night models would fail every model in turn.
    std::vector<merge::FolderEntry> nights;
    if (!options.nightFolder.empty() && !os.ListFolder(p.night.c_str(), &nights).ok()) {
        plan.usageError = "--night-folder names no folder that can be read: '" +
                          options.nightFolder + "'";
        return plan;
    }
    for (const std::string& day : options.days) {
        const std::string full = Full(os, day);
        const bool exact = !inexact.count(day) && !inexact.count(options.night) &&
                           !inexact.count(options.nightFolder);
        const size_t first = plan.jobs.size();
        std::vector<merge::FolderEntry> entries;
        if (!os.ListFolder(full.c_str(), &entries).ok()) {
            AddJob(p, full, full.substr(os.NameStart(full.c_str())), true);
        } else if (!options.night.empty()) {
            plan.usageError = "--night merges one DAY, not the folder '" + day + "'";
        } else {
            AddFolder(p, full, "", std::move(entries));
            if (plan.jobs.size() == first) plan.emptyFolders.push_back(day);
        }
        for (size_t i = first; i < plan.jobs.size(); ++i)
            plan.jobs[i].exact = plan.jobs[i].exact && exact;
    }
    // Two models of the same name from different folders would write one
    // output, the second over the first.
    std::map<std::string, std::string> writers;
    for (size_t i = 0; !p.output.empty() && plan.usageError.empty() && i < plan.jobs.size(); ++i) {
        const std::string day = merge::FileIdentity(os, plan.jobs[i].day);
        const auto writer =
            writers.emplace(merge::FileIdentity(os, plan.jobs[i].output), day).first;
        if (writer->second != day)
            plan.usageError = "--output would write '" + plan.jobs[i].output + "' for two models";
    }
    if (plan.usageError.empty()) plan.usageError = CheckFiles(plan.jobs, options, os);
    if (plan.usageError.empty() && (options.dryRun || !options.preview.empty()))
        FindWhatSimulationsRead(plan.jobs, os);
    // Made now, so that a folder that cannot be made is found before any
    // model is touched; the folders below it as each output needs them.
    const bool writes = options.preview.empty() && !options.list && !options.dryRun &&
                        plan.usageError.empty() && !plan.jobs.empty();
    const merge::Status status = writes && !p.output.empty()
                                     ? merge::MakeFolders(os, p.output, &plan.madeFolders)
                                     : merge::Status{};
    if (!status.ok())
        plan.usageError = "--output cannot make the folder '" + options.outputFolder +
                          "': " + status.text.substr(0, status.text.find_first_of("\r\n"));
    return plan;
}

std::set<std::string> OrderJobsThatShareFiles(std::vector<Job>& jobs, merge::Os& os) {
    struct Uses {
        size_t writer = SIZE_MAX;
        std::vector<size_t> readers;  // since the writer
    };
    std::map<std::string, Uses> files;
    for (size_t j = 0; j < jobs.size(); ++j) {
        Job& job = jobs[j];
        std::vector<std::string> reads = {merge::FileIdentity(os, job.day)};
        if (!job.night.empty()) reads.push_back(merge::FileIdentity(os, job.night));
        const std::string written = merge::FileIdentity(os, job.output);
        for (const std::string& file : reads)
            if (files[file].writer != SIZE_MAX) job.after.push_back(files[file].writer);
        Uses& output = files[written];
        if (output.writer != SIZE_MAX) job.after.push_back(output.writer);
        job.after.insert(job.after.end(), output.readers.begin(), output.readers.end());
        for (const std::string& file : reads) files[file].readers.push_back(j);
        output.writer = j;
        output.readers.clear();
    }
    std::set<std::string> used;
    for (const auto& file : files) used.insert(file.first);
    return used;
}

}  // namespace cli
