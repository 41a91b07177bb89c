// Running a batch: workers take the first job whose predecessors are done;
// this thread writes the logs in order and decides when prepared outputs
// are committed, in groups, while the workers go on. Without workers, this
// thread takes the jobs itself.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "cli/Batch.h"
#include "cli/ConsoleSession.h"
#include "merge/Listing.h"
#include "merge/Messages.h"

namespace cli {

namespace {

using State = Job::State;
using merge::DropResult;

struct Runner {
    std::vector<Job>& jobs;
    const Options& options;
    merge::Os& os;
    merge::CommitWhen when;  // Later: outputs are committed in groups
    std::mutex mutex{};
    std::condition_variable changed{};
    size_t firstWaiting = 0;        // no job before it waits
    size_t running = 0;             // jobs a thread is merging
    std::vector<size_t> group{};    // jobs whose outputs wait for their commit
    bool committing = false;        // a group is being committed
    std::vector<size_t> retries{};  // jobs to run again once it is
    bool halted = false;            // no more jobs start
};

bool IsReady(const Runner& r, size_t i) {
    if (r.jobs[i].state != State::Waiting) return false;
    for (size_t before : r.jobs[i].after)
        if (r.jobs[before].state != State::Done) return false;
    return true;
}

size_t NextReady(Runner& r) {
    while (r.firstWaiting < r.jobs.size() && r.jobs[r.firstWaiting].state != State::Waiting)
        ++r.firstWaiting;
    for (size_t i = r.firstWaiting; i < r.jobs.size(); ++i)
        if (IsReady(r, i)) return i;
    return SIZE_MAX;
}

// With --skip-merged, an output that is another file is made already when
// it holds night colours wherever the run would put them and, as make
// decides, is no older than the day model and the night model.
bool OutputIsDone(Runner& r, const Job& job) {
    merge::FileStamp output, source;
    if (!r.options.skipMerged || job.output == job.day ||
        !r.os.StampAt(job.output.c_str(), &output).ok())
        return false;
    for (const std::string* path : {&job.day, &job.night})
        if (!path->empty() &&
            (!r.os.StampAt(path->c_str(), &source).ok() || source.modified > output.modified))
            return false;
    return merge::HoldsNightColours(r.os, job.output, r.options.everyGeometry);
}

// The window's drops: the day model, then the night model if the day model
// was taken.
DropResult Merge(Runner& r, Job& job) {
    namespace text = merge::text;
    const bool skipped = !job.missingNight.empty() && r.options.unpaired == Options::Unpaired::Skip;
    if (!job.missingNight.empty()) {
        job.log.text = (skipped ? text::UnpairedSkipped : text::UnpairedFilled) + job.missingNight +
                       text::LineEnd;
        job.log.remarked = true;
        if (skipped) return DropResult::LeftAsItIs;
    }
    if (OutputIsDone(r, job)) {
        job.log.text += text::Opening + job.day + text::LineEnd + text::OutputUpToDate +
                        job.output + text::LineEnd;
        job.log.remarked = true;
        return DropResult::LeftAsItIs;
    }
    ConsoleSession session(r.options, job.log, job.night.empty());
    const merge::PathForm form = job.exact ? merge::PathForm::Exact : merge::PathForm::Approximated;
    job.sequence.LeavesMadeFolders = true;
    if (!r.options.outputFolder.empty()) job.sequence.ChosenOutput = job.output;
    job.sequence.DryRun = r.options.dryRun;
    const merge::CommitWhen when = job.alone ? merge::CommitWhen::AtOnce : r.when;
    DropResult result =
        merge::HandleDroppedPath(job.sequence, r.os, session, job.day.c_str(), form, when);
    if (job.sequence.state == merge::SequenceState::AwaitingNight)
        result =
            merge::HandleDroppedPath(job.sequence, r.os, session, job.night.c_str(), form, when);
    return result;
}

// Runs job i, with the lock held on entry and on return.
void RunJob(Runner& r, size_t i, std::unique_lock<std::mutex>& lock) {
    Job& job = r.jobs[i];
    job.state = State::Running;
    ++r.running;
    lock.unlock();
    const DropResult result = Merge(r, job);
    lock.lock();
    --r.running;
    job.result = result;
    if (result == DropResult::Prepared) {
        r.group.push_back(i);
    } else if (result == DropResult::OutOfSpace && !job.alone &&
               (!r.group.empty() || r.committing)) {
        // The space that the group's files hold comes free with its commit.
        r.retries.push_back(i);
    } else {
        job.state = State::Done;
    }
    r.changed.notify_all();
}

// Whether jobs may still start; called with the lock held.
bool Halted(Runner& r) {
    if (r.os.StopRequested()) r.halted = true;
    return r.halted;
}

void Work(Runner& r) {
    std::unique_lock<std::mutex> lock(r.mutex);
    for (;;) {
        const size_t i = Halted(r) ? SIZE_MAX : NextReady(r);
        if (i != SIZE_MAX) {
            RunJob(r, i, lock);
        } else if (r.halted || (r.firstWaiting == r.jobs.size() && r.retries.empty())) {
            return;
        } else {
            r.changed.wait(lock);
        }
    }
}

// Commits the group, with the lock held on entry and on return; then the
// jobs that waited for it run again, on their own, from the start.
void Commit(Runner& r, std::unique_lock<std::mutex>& lock) {
    std::vector<size_t> group;
    group.swap(r.group);
    r.committing = true;
    lock.unlock();
    std::deque<ConsoleSession> sessions;
    std::vector<merge::PendingCommit> commits;
    for (size_t i : group) {
        Job& job = r.jobs[i];
        sessions.emplace_back(r.options, job.log, job.night.empty());
        commits.push_back({&job.sequence, &sessions.back()});
    }
    merge::CommitOutputs(commits, r.os);
    lock.lock();
    r.committing = false;
    for (size_t k = 0; k < group.size(); ++k) {
        Job& job = r.jobs[group[k]];
        job.result = commits[k].written ? DropResult::Written : DropResult::NotWritten;
        job.state = State::Done;
    }
    for (size_t i : r.retries) {
        r.jobs[i].log = {};
        r.jobs[i].alone = true;
        r.jobs[i].state = State::Waiting;
        r.firstWaiting = std::min(r.firstWaiting, i);
    }
    r.retries.clear();
    r.changed.notify_all();
}

bool Written(const Job& job) {
    return job.result == DropResult::Written || job.result == DropResult::WouldBeWritten;
}

// A model left as it is, holding night colours already, is done too.
bool Merged(const Job& job) { return Written(job) || job.result == DropResult::LeftAsItIs; }

// A job never started has no log; with --quiet, a model merged without a
// remark shows nothing.
bool IsShown(const Job& job, const Options& options) {
    return !job.log.text.empty() && (!options.quiet || !Merged(job) || job.log.remarked);
}

// The logs passed on, and whether one could not be written.
struct WatchedOutput final : BatchOutput {
    explicit WatchedOutput(BatchOutput& output) : output(output) {}
    bool WriteLog(const std::string& text) override {
        written = output.WriteLog(text) && written;
        return written;
    }
    void ShowProgress(size_t done, size_t total) override { output.ShowProgress(done, total); }

    BatchOutput& output;
    bool written = true;
};

// The line that ends a batch of more than one model: what came of them.
std::string CountLine(const std::vector<Job>& jobs, const Options& options) {
    size_t written = 0, left = 0;
    for (const Job& job : jobs) {
        written += Written(job);
        left += job.result == DropResult::LeftAsItIs;
    }
    const std::string done = options.strip ? "stripped" : "merged";
    const std::string would = options.dryRun ? "would be " : "";
    return "tintweld-cli: " + Count(written) + " " + would + done + ", " + Count(left) + " " +
           (options.dryRun ? "would be left as it is" : "left as it was") + ", " +
           Count(jobs.size() - written - left) + (options.dryRun ? " would not be " : " not ") +
           done + "\n";
}

}  // namespace

std::string Count(size_t count) {
    std::string digits = std::to_string(count);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

size_t RunJobs(std::vector<Job>& jobs, const Options& options, merge::Os& os, BatchOutput& output,
               unsigned threads) {
    Runner r{jobs, options, os,
             os.SyncsWholeFileSystems() && jobs.size() > 1 ? merge::CommitWhen::Later
                                                           : merge::CommitWhen::AtOnce};
    std::vector<std::thread> workers;
    for (std::thread worker;
         workers.size() < threads && os.StartThread([&r] { Work(r); }, &worker);)
        workers.push_back(std::move(worker));

    size_t printed = 0, notMerged = 0, notReached = 0;
    bool logsWritten = true;
    std::string between;  // an empty line between two models' logs
    std::unique_lock<std::mutex> lock(r.mutex);
    for (;;) {
        // Each log as soon as it and those before it are done.
        while (printed < jobs.size() && jobs[printed].state == State::Done) {
            Job& job = jobs[printed];
            if (!Merged(job)) ++notMerged;
            if (IsShown(job, options)) {
                logsWritten = output.WriteLog(between + job.log.text) && logsWritten;
                between = merge::text::LineEnd;
            }
            job.log = {};
            output.ShowProgress(++printed, jobs.size());
        }
        if (printed == jobs.size()) break;
        if (!logsWritten) r.halted = true;
        const size_t ready = Halted(r) ? SIZE_MAX : NextReady(r);
        const bool idle = r.running == 0 && ready == SIZE_MAX;
        if (!r.group.empty() &&
            (r.group.size() >= options.commitGroup || idle || !r.retries.empty())) {
            Commit(r, lock);
        } else if (workers.empty() && ready != SIZE_MAX) {
            RunJob(r, ready, lock);
        } else if (idle && r.halted) {
            // Jobs never started once halted: one line for them all, at the end.
            for (Job& job : jobs) {
                notReached += job.state == State::Waiting;
                if (job.state == State::Waiting) job.state = State::Done;
            }
        } else {
            r.changed.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    // Its output, watched, keeps a failure for the exit code.
    if (notReached > 0 && logsWritten)
        (void)output.WriteLog(between + merge::text::NotReachedBefore +
                              std::to_string(notReached) + merge::text::NotReachedAfter);
    // Workers that wait end now: no job is left.
    r.changed.notify_all();
    lock.unlock();
    for (std::thread& worker : workers) worker.join();
    // The folders made in vain, each after those within it, whichever job
    // made them.
    std::vector<std::string> made;
    for (Job& job : jobs) made.insert(made.end(), job.sequence.MadeFolders.begin(),
                                      job.sequence.MadeFolders.end());
    std::sort(made.begin(), made.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : made) r.os.RemoveFolder(folder.c_str());
    return notMerged;
}

int RunBatch(const Options& options, const std::set<std::string>& inexact, merge::Os& os,
             BatchOutput& logs, std::string* errors) {
    // The count ends a batch whose logs were all written and that ran to its end.
    WatchedOutput output(logs);
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
    if (!options.preview.empty()) return RunPreview(plan.jobs, options, os, output, errors);
    const bool counted = plan.jobs.size() > 1;
    if (options.list) {
        size_t unread = 0;
        for (size_t i = 0; i < plan.jobs.size() && output.written && !os.StopRequested(); ++i) {
            std::string lines;
            const bool readable = merge::ListModel(os, plan.jobs[i].day, &lines);
            if (readable && options.quiet) lines.clear();
            unread += !readable;
            output.WriteLog(lines);
            output.ShowProgress(i + 1, plan.jobs.size());
        }
        if (counted && output.written && !os.StopRequested())
            *errors += "tintweld-cli: " + Count(plan.jobs.size()) + " models read, " +
                       Count(unread) + " with errors\n";
        return unread == 0 ? 0 : 1;
    }
    // No job's temporary file takes a name that another job reads or writes.
    const std::set<std::string> inUse = OrderJobsThatShareFiles(plan.jobs, os);
    for (Job& job : plan.jobs) job.sequence.NamesInUse = &inUse;
    const unsigned threads = options.jobs ? options.jobs : std::thread::hardware_concurrency();
    const size_t notMerged =
        RunJobs(plan.jobs, options, os, output,
                static_cast<unsigned>(std::min<size_t>(threads, plan.jobs.size())));
    if (counted && output.written && !os.StopRequested()) *errors += CountLine(plan.jobs, options);
    return notMerged == 0 ? 0 : 1;
}

}  // namespace cli
