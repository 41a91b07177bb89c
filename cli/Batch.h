// A batch: every model the arguments name, each merged as the window would
// merge it (one drop, or a day and a night drop), listed, run dry or drawn,
// several at a time, with each model's log written out whole and in the
// order of the arguments, the same whatever the number of threads.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/ConsoleSession.h"
#include "cli/Options.h"
#include "merge/DropSequence.h"
#include "merge/Listing.h"
#include "merge/Os.h"
#include "merge/Writer.h"

namespace cli {

// What came of a model, as a script reads it.
enum class Result { Merged, WouldMerge, Stripped, WouldStrip, Left, Failed, Listed, NotReached };

// A merged model kept in memory: what a dry run or a preview of a model
// that an earlier model of the run writes reads in its place.
using KeptModel = merge::KeptOutput;

struct Job {
    // Where it is in the run: waiting for its turn, merging, its output
    // waiting for its commit, waiting to run once more alone (the disk was
    // full while others' outputs waited), or done.
    enum class Phase { Waiting, Running, Prepared, WaitsToRunAlone, RunningAlone, Done };

    std::string day, night;  // full paths; no night in one-file mode
    std::string output;      // where its output goes: the day model itself, or another file
    std::string label;       // its path below the folder named, or its name
    bool exact = true;       // both paths as the system gave them
    // The night model looked for in the night folder and not found, with
    // --unpaired=skip or fill (then night is empty).
    std::string missingNight;
    // Earlier jobs that write a file this one reads or writes, or read one
    // it writes: it starts only once they are done.
    std::vector<size_t> after;
    // A run that writes nothing, whose day model an earlier job writes: that
    // job (it keeps its output); SIZE_MAX when none does.
    size_t readsOutputOf = SIZE_MAX;
    bool outputRead = false;  // a later job reads this one's output

    Phase phase = Phase::Waiting;
    Result result = Result::Failed;
    ModelLog log;
    merge::DropSequence sequence;
    merge::PreparedFile prepared;  // its output, while it waits for its commit
    // Its day model as the run leaves it, for a later job that reads it.
    std::shared_ptr<const KeptModel> leaves;
    merge::Listing listing;  // --list
};

struct Plan {
    std::vector<Job> jobs;
    std::vector<std::string> emptyFolders;  // folders named that hold no model
    std::string usageError;                 // the arguments make no batch
    std::vector<std::string> madeFolders;   // for --output, before any model
};

// The jobs for the models the arguments name: a folder stands for the .dff
// models in it, in name order (and those of its folders, recursively), and a
// day model takes its night model from --night or --night-folder. Then the
// plan of the run: every file it reads and writes, by identity, before any
// is touched; an output that would replace a night model (or, with an
// output elsewhere, a day model), or a picture that would replace any of
// them, is a wrong command line. Arguments in inexact are names the system
// could not pass on exactly.
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

// What a command does with each job, on whichever thread runs it: it sets
// the job's result; a prepared output (Prepared) waits for its commit, one
// that found the disk full (OutOfSpace) is run once more alone.
using JobWork = std::function<merge::DropResult(Job& job)>;

// Runs the jobs on up to the given number of threads (on this one alone when
// the system gives none, or for none). Where the system flushes whole
// file systems, outputs are committed in groups, one flush for many; a model
// whose output finds the disk full meanwhile is merged once more, alone,
// once nothing else is pending. Stops starting jobs once the run is
// interrupted or the logs cannot be written. Each job's report goes to
// report, in order, as soon as it and those before it are done; the models
// never started are counted: their number is returned.
// report returns false once the logs can no longer be written.
size_t RunJobs(std::vector<Job>& jobs, const Options& options, merge::Os& os,
               const JobWork& work, const std::function<bool(Job&)>& report,
               BatchOutput& progress, unsigned threads);

// One model merged (or run dry, or kept for its drawing) as the window
// would merge it: the day model, then the night model if the day model was
// taken; with the command line's own cases before (a night model missing,
// an output made already) and after (a night model newer than a model left
// as it is). policy says what becomes of the output.
merge::DropResult MergeJob(Job& job, const Options& options, merge::Os& os,
                           const merge::RunPolicy& policy);
// What a drop's result is to a script.
Result ResultOf(merge::DropResult result, const Options& options);

// A run that writes no model (a dry run, a preview): the day model of the
// job as the run would leave it, for a later job that reads it; none where
// the disk holds it.
std::shared_ptr<const KeptModel> SourceOf(const std::vector<Job>& jobs, const Job& job);

// The preview of the jobs: each one's stages, a tile each, in order on this
// thread; the pages of the picture, each written as it fills and all put in
// place at the end: its exit status (0 written, 1 not); the count line for
// standard error in errors.
struct Report;
int RunPreview(std::vector<Job>& jobs, const Options& options, merge::Os& os,
               const std::set<std::string>& inUse, Report& report, std::string* errors);

// The merge a command line asks for, planned, ordered and run: its exit
// status (0 every model merged, 1 not, 2 a wrong command line after all),
// and the lines for standard error in errors.
int RunBatch(const Options& options, const std::set<std::string>& inexact, merge::Os& os,
             BatchOutput& output, std::string* errors);

// A count as the line that ends a batch writes it, a comma between each
// three digits: 1,998.
std::string Count(size_t count);

}  // namespace cli
