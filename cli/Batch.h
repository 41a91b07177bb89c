// A batch: every model the arguments name, each merged as the window would
// merge it (one drop, or a day and a night drop), several at a time, with
// each model's log written out whole and in the order of the arguments.
#pragma once

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/Options.h"
#include "merge/DropSequence.h"
#include "platform/SystemOs.h"

namespace cli {

struct Job {
    enum class State { Waiting, Running, Written, Done };

    std::string day, night;  // full paths; no night in one-file mode
    bool exact = true;       // both paths as the system gave them
    std::string log;
    merge::DropSequence sequence;
    // Earlier jobs that write a file this one reads or writes, or read one
    // it writes: it starts only once they are done.
    std::vector<size_t> after;
    State state = State::Waiting;
    bool merged = false;
};

// The jobs for the models the arguments name: a folder stands for the .dff
// models in it, in name order (and those of its folders, recursively), and a
// day model takes its night model from --night or --night-folder.
// Arguments in inexact are names the system could not pass on exactly.
std::vector<Job> PlanJobs(const Options& options, const std::set<std::string>& inexact,
                          SystemOs& os);

// Makes each job wait for the earlier ones it shares a file with, so that
// running them side by side gives what running them in turn would.
void OrderJobsThatShareFiles(std::vector<Job>& jobs, const Options& options, SystemOs& os);

// Runs the jobs on the given number of threads and writes their logs; with
// groupCommit, outputs are flushed by one flush of their file system for
// many. Stops starting jobs once stop is set or standard output fails.
// Returns the number of models not merged.
size_t RunJobs(std::vector<Job>& jobs, const Options& options, SystemOs& os, Console& console,
               unsigned threads, bool groupCommit, const std::atomic<bool>& stop);

}  // namespace cli
