// One job's model, as the window would merge it, with the command line's
// own cases around it.
#include "cli/Batch.h"
#include "merge/Listing.h"

namespace cli {

namespace {

namespace text = merge::text;

// With --skip-merged, an output that is another file is made already when
// it holds night colours wherever the run would put them and, as make
// decides, is no older than the day model and the night model.
bool OutputIsDone(const Options& options, merge::Os& os, const Job& job) {
    merge::FileStamp output, source;
    if (!options.skipMerged || job.output == job.day ||
        !os.StampAt(job.output.c_str(), &output).ok())
        return false;
    for (const std::string* path : {&job.day, &job.night})
        if (!path->empty() &&
            (!os.StampAt(path->c_str(), &source).ok() || source.modified > output.modified))
            return false;
    return merge::HoldsNightColours(os, job.output, options.everyGeometry);
}

// In place, a model left as it is holds night colours older than its
// night model when the night model was saved since the model was.
bool NightIsNewer(const Options& options, merge::Os& os, const Job& job) {
    merge::FileStamp day, night;
    return options.skipMerged && job.output == job.day && !job.night.empty() &&
           job.readsOutputOf == SIZE_MAX && os.StampAt(job.day.c_str(), &day).ok() &&
           os.StampAt(job.night.c_str(), &night).ok() && night.modified > day.modified;
}

}  // namespace

Result ResultOf(merge::DropResult result, const Options& options) {
    switch (result) {
        case merge::DropResult::Written: return options.strip ? Result::Stripped : Result::Merged;
        case merge::DropResult::WouldBeWritten:
        case merge::DropResult::Kept:
            return options.strip ? Result::WouldStrip : Result::WouldMerge;
        case merge::DropResult::LeftAsItIs: return Result::Left;
        default: return Result::Failed;
    }
}

merge::DropResult MergeJob(Job& job, const Options& options, merge::Os& os,
                           const merge::RunPolicy& policy) {
    ConsoleSession session(options, job.log, job.night.empty());
    if (!job.missingNight.empty()) {
        const bool skipped = options.unpaired == Options::Unpaired::Skip;
        merge::SayAbout(session, skipped ? text::UnpairedSkipped : text::UnpairedFilled,
                        job.missingNight);
        if (skipped) return merge::DropResult::LeftAsItIs;
    }
    if (OutputIsDone(options, os, job)) {
        merge::SayAbout(session, text::Opening, job.day);
        merge::SayAbout(session, text::OutputUpToDate, job.output);
        return merge::DropResult::LeftAsItIs;
    }
    const merge::PathForm form = job.exact ? merge::PathForm::Exact : merge::PathForm::Approximated;
    merge::DropResult result = merge::HandleDroppedPath(job.sequence, os, session, job.day.c_str(),
                                                        form, policy, &job.prepared);
    if (job.sequence.state == merge::SequenceState::AwaitingNight)
        result = merge::HandleDroppedPath(job.sequence, os, session, job.night.c_str(), form,
                                          policy, &job.prepared);
    if (result == merge::DropResult::LeftAsItIs && NightIsNewer(options, os, job))
        merge::SayAbout(session, text::NightModelNewer, job.night);
    return result;
}

}  // namespace cli
