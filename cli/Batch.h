// A batch: every model the arguments name, each merged as the window would
// merge it (one drop, or a day and a night drop), several at a time, with
// each model's log written out whole and in the order of the arguments, the
// same whatever the number of threads.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/ConsoleSession.h"
#include "merge/Os.h"
#include "cli/Options.h"
#include "merge/DropSequence.h"

namespace cli {

struct Job {
    // Running from its start until its output is committed (or it failed).
    enum class State { Waiting, Running, Done };

    std::string day, night;  // full paths; no night in one-file mode
    std::string output;      // where its output goes: the day model itself, or another file
    bool exact = true;       // both paths as the system gave them
    // The night model looked for in the night folder and not found, with
    // --unpaired=skip or fill (then night is empty).
    std::string missingNight;
    ModelLog log;
    merge::DropSequence sequence;
    // Earlier jobs that write a file this one reads or writes, or read one
    // it writes: it starts only once they are done.
    std::vector<size_t> after;
    State state = State::Waiting;
    merge::DropResult result = merge::DropResult::NotWritten;
    // Run once more, its output committed at once: its first output found
    // the disk full while others waited for their commit.
    bool alone = false;
};

struct Plan {
    std::vector<Job> jobs;
    std::vector<std::string> emptyFolders;  // folders named that hold no model
    std::string usageError;                 // the arguments make no batch
};

// The jobs for the models the arguments name: a folder stands for the .dff
// models in it, in name order (and those of its folders, recursively), and a
// day model takes its night model from --night or --night-folder.
// Arguments in inexact are names the system could not pass on exactly.
Plan PlanJobs(const Options& options, const std::set<std::string>& inexact, merge::Os& os);

// Makes each job wait for the earlier ones it shares a file with, so that
// running them side by side gives what running them in turn would. Returns
// the identities of all the files the jobs read or write.
std::set<std::string> OrderJobsThatShareFiles(std::vector<Job>& jobs, merge::Os& os);

// Where a batch's logs go, each model's whole and in order, and how far it is.
struct BatchOutput {
    // False once the logs can no longer be written.
    [[nodiscard]] virtual bool WriteLog(const std::string& text) = 0;
    virtual void ShowProgress(size_t done, size_t total) = 0;

protected:
    ~BatchOutput() = default;
};

// Runs the jobs on up to the given number of threads (on this one alone when
// the system gives none) and writes their logs. Where the system flushes
// whole file systems, outputs are committed in groups, one flush for many;
// a model whose output finds the disk full meanwhile is merged once more,
// alone, after the group. Stops starting jobs once the run is interrupted or the logs cannot
// be written. Returns the number of models not merged.
size_t RunJobs(std::vector<Job>& jobs, const Options& options, merge::Os& os, BatchOutput& output,
               unsigned threads);

// A count as the line that ends a batch writes it, a comma between each
// three digits: 1,998.
std::string Count(size_t count);

// The preview of the jobs: the stages of each merge, a tile each, logged in
// order, and the picture written: its exit status (0 written, 1 not, 2 when
// the picture would replace a model), and the lines for standard error (of
// more than one model, the count of those drawn and of those with errors).
int RunPreview(std::vector<Job>& jobs, const Options& options, merge::Os& os, BatchOutput& output,
               std::string* errors);

// The merge a command line asks for, planned, ordered and run: its exit
// status (0 every model merged, 1 not, 2 a wrong command line after all),
// and the lines for standard error in errors.
int RunBatch(const Options& options, const std::set<std::string>& inexact, merge::Os& os,
             BatchOutput& output, std::string* errors);

}  // namespace cli
