// A batch's preview: each job's stages, in order on this thread, each
// drawing its tile into one picture that is written at the end. Nothing else
// is written.
#include "cli/Batch.h"
#include "cli/ConsoleSession.h"
#include "merge/Messages.h"
#include "merge/Preview.h"

namespace cli {

int RunPreview(std::vector<Job>& jobs, const Options& options, merge::Os& os, BatchOutput& output,
               std::string* errors) {
    std::string path;
    if (!os.FullPath(options.preview.c_str(), &path).ok()) path = options.preview;
    // A model is never replaced by a picture.
    const std::string picturesFile = merge::FileIdentity(os, path);
    for (const Job& job : jobs)
        for (const std::string& model : {job.day, job.night})
            if (!model.empty() && merge::FileIdentity(os, model) == picturesFile) {
                *errors += "tintweld-cli: --preview would replace the model '" + model +
                           "' (see tintweld-cli --help)\n";
                return 2;
            }
    ModelLog log;
    ConsoleSession end(options, log, true);
    merge::Picture picture;
    if (!merge::MakePreviewPicture(jobs.size(), &picture)) {
        end.AppendLog(merge::text::TooLarge);
        (void)output.WriteLog(log.text);  // the exit code tells the failure already
        return 1;
    }
    bool logsWritten = true;
    size_t refused = 0;
    std::string between;  // an empty line between two models' logs
    for (size_t i = 0; i < jobs.size() && logsWritten && !os.StopRequested(); ++i) {
        Job& job = jobs[i];
        ConsoleSession session(options, job.log, job.night.empty());
        const merge::PathForm form =
            job.exact ? merge::PathForm::Exact : merge::PathForm::Approximated;
        // With --quiet, a model drawn as it would be merged, without a
        // remark, shows nothing.
        const bool drawn = merge::PreviewModel(os, session, job.day, job.night, form, picture, i);
        refused += !drawn;
        if (!options.quiet || !drawn || job.log.remarked) {
            logsWritten = output.WriteLog(between + job.log.text);
            between = merge::text::LineEnd;
        }
        job.log = {};
        output.ShowProgress(i + 1, jobs.size());
    }
    // An interrupted preview leaves no picture.
    if (!logsWritten || os.StopRequested()) return 1;
    const bool written = merge::WritePicture(os, end, path, picture);
    if (!options.quiet || !written) logsWritten = output.WriteLog(log.text);
    if (jobs.size() > 1 && logsWritten)
        *errors += "tintweld-cli: " + Count(jobs.size()) + " models drawn, " + Count(refused) +
                   " with errors\n";
    return written ? 0 : 1;
}

}  // namespace cli
