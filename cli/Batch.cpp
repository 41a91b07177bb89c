// A command line's run: planned, ordered, and each model merged, run dry,
// listed or drawn, then how it ended.
#include <algorithm>

#include "cli/Batch.h"
#include "cli/Report.h"

namespace cli {

namespace {

// The folders that outputs made in vain, each after those within it,
// whichever job made them.
void RemoveFoldersMadeInVain(merge::Os& os, std::vector<std::string>& made) {
    std::sort(made.begin(), made.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : made) os.RemoveFolder(folder.c_str());
}

}  // namespace

std::string Count(size_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) grouped += ',';
        grouped += digits[k];
    }
    return grouped;
}

std::shared_ptr<const KeptModel> SourceOf(const std::vector<Job>& jobs, const Job& job) {
    return job.readsOutputOf == SIZE_MAX ? nullptr : jobs[job.readsOutputOf].leaves;
}

int RunBatch(const Options& options, const std::set<std::string>& inexact, merge::Os& os,
             BatchOutput& output, std::string* errors) {
    Plan plan = PlanJobs(options, inexact, os);
    if (!plan.usageError.empty()) {
        *errors += "tintweld-cli: " + plan.usageError + " (see tintweld-cli --help)\n";
        return 2;
    }
    for (const std::string& folder : plan.emptyFolders)
        *errors += "tintweld-cli: no model in the folder '" + folder + "'\n";
    if (plan.jobs.empty()) {
        *errors += std::string("tintweld-cli: no model to ") + (options.list ? "list" : "merge") +
                   ": the folders named hold no .dff file\n";
        return 1;
    }
    std::vector<Job>& jobs = plan.jobs;
    Report report(options, output);
    // No job's temporary file takes a name that another job reads or writes.
    const std::set<std::string> inUse = OrderJobsThatShareFiles(jobs, os);
    int status = 0;
    if (!options.preview.empty()) {
        status = RunPreview(jobs, options, os, inUse, report, errors);
    } else {
        const bool groups = os.SyncsWholeFileSystems() && jobs.size() > 1;
        const JobWork work = [&](Job& job) {
            if (options.list) {
                job.listing = merge::ListModel(os, job.day, options.json, !options.lit.empty());
                job.result = job.listing.error.empty() ? Result::Listed : Result::Failed;
                return merge::DropResult::NotWritten;
            }
            merge::RunPolicy policy;
            policy.action = options.dryRun ? merge::Action::DryRun : merge::Action::Write;
            policy.when = groups && job.phase != Job::Phase::RunningAlone
                              ? merge::CommitWhen::Later
                              : merge::CommitWhen::AtOnce;
            if (!options.outputFolder.empty()) policy.chosenOutput = job.output;
            policy.namesInUse = &inUse;
            policy.leavesMadeFolders = true;
            const std::shared_ptr<const KeptModel> source = SourceOf(jobs, job);
            rw::MemoryStream day(source ? source->bytes.get() : nullptr, source ? source->size : 0);
            if (source) policy.daySource = &day;
            auto kept = std::make_shared<KeptModel>();
            if (options.dryRun && job.outputRead) policy.keptOutput = kept.get();
            const merge::DropResult result = MergeJob(job, options, os, policy);
            job.result = ResultOf(result, options);
            job.leaves = kept->bytes && result == merge::DropResult::WouldBeWritten ? kept : source;
            return result;
        };
        std::vector<std::string> made = plan.madeFolders;
        const auto reported = [&](Job& job) {
            made.insert(made.end(), job.prepared.MadeFolders.begin(),
                        job.prepared.MadeFolders.end());
            report.Model(job);
            job.log = {};
            job.prepared = {};
            return report.written;
        };
        const unsigned threads = options.jobs ? options.jobs : std::thread::hardware_concurrency();
        const size_t notReached =
            RunJobs(jobs, options, os, work, reported, output,
                    static_cast<unsigned>(std::min<size_t>(threads, jobs.size())));
        RemoveFoldersMadeInVain(os, made);
        report.End(notReached, os.StopRequested(), errors);
        status = report.counts[static_cast<size_t>(Result::Failed)] + notReached > 0 ? 1 : 0;
    }
    return status;
}

}  // namespace cli
