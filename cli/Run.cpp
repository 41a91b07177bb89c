// Running a batch: workers take the first job whose predecessors are done;
// this thread writes the logs in order and commits written outputs in
// groups, while the workers go on.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "cli/Batch.h"
#include "cli/ConsoleSession.h"

namespace cli {

namespace {

using State = Job::State;

// Outputs written to their temporary files wait for one flush of their file
// system; so many at most, so that the flush overlaps the next ones' work.
constexpr size_t GroupSize = 256;

struct Runner {
    std::vector<Job>& jobs;
    const Options& options;
    SystemOs& os;
    const std::atomic<bool>& stop;
    std::mutex mutex{};
    std::condition_variable changed{};
    size_t firstWaiting = 0;  // no job before it waits
    size_t running = 0;
    std::vector<size_t> written{};  // outputs that wait for their commit
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

// The window's drops: the day model, then the night model if the day model
// was taken.
void Merge(Runner& r, Job& job, bool groupCommit) {
    ConsoleSession session(r.options, job.log, job.night.empty());
    const merge::PathForm form = job.exact ? merge::PathForm::Exact : merge::PathForm::Approximated;
    job.sequence.CommitsInGroups = groupCommit;
    job.merged = merge::HandleDroppedPath(job.sequence, r.os, session, job.day.c_str(), form);
    if (job.sequence.state == merge::SequenceState::AwaitingNight)
        job.merged = merge::HandleDroppedPath(job.sequence, r.os, session, job.night.c_str(), form);
}

void Work(Runner& r, bool groupCommit) {
    std::unique_lock<std::mutex> lock(r.mutex);
    for (;;) {
        const size_t i = r.halted ? SIZE_MAX : NextReady(r);
        if (i == SIZE_MAX) {
            if (r.halted || r.firstWaiting == r.jobs.size()) return;
            r.changed.wait(lock);
            continue;
        }
        Job& job = r.jobs[i];
        job.state = State::Running;
        ++r.running;
        lock.unlock();
        Merge(r, job, groupCommit);
        lock.lock();
        --r.running;
        job.state = job.sequence.state == merge::SequenceState::AwaitingCommit ? State::Written
                                                                              : State::Done;
        if (job.state == State::Written) r.written.push_back(i);
        r.changed.notify_all();
    }
}

// One flush of each file system that holds a target (asked for per folder:
// a flush of a file system with nothing left to write costs little), the
// replacements, then one flush of each folder.
void Commit(Runner& r, const std::vector<size_t>& group) {
    std::map<std::string, merge::Status> folders;
    for (size_t i : group) folders[merge::FolderOf(r.os, r.jobs[i].sequence.TargetPath)];
    for (auto& folder : folders) folder.second = r.os.SyncFileSystem(folder.first.c_str());
    for (size_t i : group) {
        Job& job = r.jobs[i];
        ConsoleSession session(r.options, job.log, job.night.empty());
        const std::string folder = merge::FolderOf(r.os, job.sequence.TargetPath);
        job.merged = merge::CommitPendingOutput(job.sequence, r.os, session, folders[folder]);
    }
    for (auto& folder : folders) {
        const merge::Status synced = r.os.SyncFolder(folder.first.c_str());
        if (synced.ok()) continue;
        // The models are replaced, but their new names may not be on the disk.
        for (size_t i : group) {
            Job& job = r.jobs[i];
            if (merge::FolderOf(r.os, job.sequence.TargetPath) != folder.first) continue;
            ConsoleSession session(r.options, job.log, job.night.empty());
            merge::ReportLastError(session, " ", synced);
            job.merged = false;
        }
    }
}

}  // namespace

size_t RunJobs(std::vector<Job>& jobs, const Options& options, SystemOs& os, Console& console,
               unsigned threads, bool groupCommit, const std::atomic<bool>& stop) {
    Runner r{jobs, options, os, stop};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(Work, std::ref(r), groupCommit);

    size_t printed = 0, notMerged = 0;
    std::unique_lock<std::mutex> lock(r.mutex);
    while (printed < jobs.size()) {
        if ((stop || !console.failure.empty()) && !r.halted) {
            r.halted = true;
            r.changed.notify_all();
        }
        const bool idle = r.running == 0 && (r.halted || NextReady(r) == SIZE_MAX);
        if (!r.written.empty() && (r.written.size() >= GroupSize || idle)) {
            std::vector<size_t> group;
            group.swap(r.written);
            lock.unlock();
            Commit(r, group);
            lock.lock();
            for (size_t i : group) jobs[i].state = State::Done;
            r.changed.notify_all();
            continue;
        }
        // Jobs never started once halted: nothing to write for them.
        if (idle && r.halted)
            for (Job& job : jobs)
                if (job.state == State::Waiting) job.state = State::Done;
        while (printed < jobs.size() && jobs[printed].state == State::Done) {
            if (!jobs[printed].merged) ++notMerged;
            WriteLog(console, jobs[printed].log);
            jobs[printed].log.clear();
            ShowProgress(console, ++printed, jobs.size());
        }
        if (printed < jobs.size())
            r.changed.wait_for(lock, std::chrono::milliseconds(100));
    }
    lock.unlock();
    for (std::thread& worker : workers) worker.join();
    return notMerged;
}

}  // namespace cli
