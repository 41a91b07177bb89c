// Running a batch's jobs: workers take the first job whose predecessors are
// done; this thread reports the jobs in order, commits the outputs that
// wait, in groups, while the workers go on, and runs alone a model whose
// output found the disk full. Without workers, this thread takes the jobs
// itself.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "cli/Batch.h"

namespace cli {

namespace {

using Phase = Job::Phase;

struct Runner {
    std::vector<Job>& jobs;
    const Options& options;
    merge::Os& os;
    const JobWork& work;
    std::mutex mutex{};
    std::condition_variable changed{};
    size_t firstWaiting = 0;      // no job before it waits
    size_t running = 0;           // jobs a thread is running
    size_t done = 0;              // jobs done, in any order
    std::vector<size_t> group{};  // jobs whose outputs wait for their commit
    bool halted = false;          // no more jobs start
};

bool AnyPhase(const Runner& r, Phase phase) {
    for (const Job& job : r.jobs)
        if (job.phase == phase) return true;
    return false;
}

// The first job that may start: its predecessors done, and no model
// waiting to run alone, whose space the others would take.
size_t NextReady(Runner& r) {
    while (r.firstWaiting < r.jobs.size() && r.jobs[r.firstWaiting].phase != Phase::Waiting)
        ++r.firstWaiting;
    if (r.halted || AnyPhase(r, Phase::WaitsToRunAlone)) return SIZE_MAX;
    for (size_t i = r.firstWaiting; i < r.jobs.size(); ++i) {
        const Job& job = r.jobs[i];
        bool ready = job.phase == Phase::Waiting;
        for (size_t before : job.after) ready = ready && r.jobs[before].phase == Phase::Done;
        if (ready) return i;
    }
    return SIZE_MAX;
}

void Finish(Runner& r, Job& job) {
    job.phase = Phase::Done;
    ++r.done;
}

// A job once more from its start, alone: what its first try made goes, but
// for the folders it made, removed at the end when in vain.
void StartAgain(Job& job) {
    job.log = {};
    job.sequence = {};
    std::vector<std::string> made = std::move(job.prepared.MadeFolders);
    job.prepared = {};
    job.prepared.MadeFolders = std::move(made);
}

// Runs job i, with the lock held on entry and on return.
void RunJob(Runner& r, size_t i, std::unique_lock<std::mutex>& lock) {
    Job& job = r.jobs[i];
    const bool alone = job.phase == Phase::WaitsToRunAlone;
    if (alone) StartAgain(job);
    job.phase = alone ? Phase::RunningAlone : Phase::Running;
    ++r.running;
    lock.unlock();
    const merge::DropResult result = r.work(job);
    lock.lock();
    --r.running;
    if (result == merge::DropResult::Prepared) {
        job.phase = Phase::Prepared;
        r.group.push_back(i);
    } else if (result == merge::DropResult::OutOfSpace && !alone) {
        job.phase = Phase::WaitsToRunAlone;
    } else {
        Finish(r, job);
    }
    r.changed.notify_all();
}

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
        } else if (r.halted || r.firstWaiting == r.jobs.size()) {
            return;
        } else {
            r.changed.wait(lock);
        }
    }
}

// Commits the group, with the lock held on entry and on return; a model
// whose output found the disk full then runs once more, alone.
void Commit(Runner& r, std::unique_lock<std::mutex>& lock) {
    std::vector<size_t> group;
    group.swap(r.group);
    lock.unlock();
    std::deque<ConsoleSession> sessions;
    std::vector<merge::PendingCommit> commits;
    for (size_t i : group) {
        Job& job = r.jobs[i];
        sessions.emplace_back(r.options, job.log, job.night.empty());
        commits.push_back({&job.prepared, &sessions.back()});
    }
    merge::CommitFiles(commits, r.os);
    lock.lock();
    for (size_t k = 0; k < group.size(); ++k) {
        Job& job = r.jobs[group[k]];
        const merge::Committed committed = commits[k].result;
        job.result = committed == merge::Committed::Written
                         ? (r.options.strip ? Result::Stripped : Result::Merged)
                         : Result::Failed;
        if (committed == merge::Committed::OutOfSpace)
            job.phase = Phase::WaitsToRunAlone;
        else
            Finish(r, job);
    }
    r.changed.notify_all();
}

// The jobs that never started, once the run halted: counted, not reported.
size_t GiveUp(Runner& r) {
    size_t notReached = 0;
    for (Job& job : r.jobs) {
        if (job.phase == Phase::Waiting) {
            ++notReached;
            job.result = Result::NotReached;
        }
        if (job.phase == Phase::Waiting || job.phase == Phase::WaitsToRunAlone) Finish(r, job);
    }
    return notReached;
}

}  // namespace

size_t RunJobs(std::vector<Job>& jobs, const Options& options, merge::Os& os,
               const JobWork& work, const std::function<bool(Job&)>& report,
               BatchOutput& progress, unsigned threads) {
    Runner r{jobs, options, os, work};
    std::vector<std::thread> workers;
    for (std::thread worker;
         workers.size() < threads && os.StartThread([&r] { Work(r); }, &worker);)
        workers.push_back(std::move(worker));
    size_t notReached = 0, reported = 0, shown = 0;
    std::unique_lock<std::mutex> lock(r.mutex);
    for (;;) {
        // Each job as soon as it and those before it are done.
        for (; reported < jobs.size() && jobs[reported].phase == Phase::Done; ++reported) {
            lock.unlock();
            const bool written = report(jobs[reported]);
            lock.lock();
            r.halted = r.halted || !written;
        }
        if (shown != r.done) progress.ShowProgress(shown = r.done, jobs.size());
        if (reported == jobs.size()) break;
        const size_t ready = Halted(r) ? SIZE_MAX : NextReady(r);
        const bool idle = r.running == 0 && ready == SIZE_MAX;
        const bool alone = AnyPhase(r, Phase::WaitsToRunAlone);
        if (!r.group.empty() &&
            (r.group.size() >= options.commitGroup || idle || alone || r.halted)) {
            Commit(r, lock);
        } else if (alone && idle && !r.halted) {
            for (size_t i = 0; i < jobs.size(); ++i)
                if (jobs[i].phase == Phase::WaitsToRunAlone) {
                    RunJob(r, i, lock);
                    break;
                }
        } else if (workers.empty() && ready != SIZE_MAX) {
            RunJob(r, ready, lock);
        } else if (idle && r.halted) {
            notReached = GiveUp(r);
        } else {
            r.changed.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    // Workers that wait end now: no job is left.
    r.changed.notify_all();
    lock.unlock();
    for (std::thread& worker : workers) worker.join();
    return notReached;
}

}  // namespace cli
