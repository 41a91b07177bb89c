// A batch's preview: each job's stages as a dry run's, in order on this
// thread, each drawing its tile into the page of the picture it falls on.
// A page full is written by the writer at once, its pixels let go, so that
// memory holds one page whatever the number of models; all pages are put
// in place together at the end. Nothing else is written.
#include <deque>

#include "cli/Batch.h"
#include "cli/Report.h"
#include "preview/Picture.h"
#include "preview/Tile.h"

namespace cli {

namespace {

namespace text = merge::text;

struct Pages {
    merge::Os& os;
    const Options& options;
    std::string path;  // of the first page, as a full path
    size_t perPage = preview::TilesPerPage();
    preview::Page page{};
    std::deque<merge::PreparedFile> files{};
    ModelLog log{};  // what the pictures' writer says
    bool failed = false;
};

// The first line of the log that says an error, in place of the views.
std::string ErrorLine(const ModelLog& log) {
    for (const auto& line : log.lines)
        if (line.first == merge::Kind::Error) return line.second;
    return "";
}

// Draws job i's tile; the page written once full.
merge::DropResult Draw(Pages& p, std::vector<Job>& jobs, size_t i, const merge::RunPolicy& base) {
    Job& job = jobs[i];
    const size_t tile = i % p.perPage;
    if (tile == 0 && !p.failed &&
        !preview::MakePage(p.os, std::min(p.perPage, jobs.size() - i), &p.page)) {
        ConsoleSession session(p.options, p.log, true);
        merge::Say(session, text::NoMemory);
        p.failed = true;
    }
    merge::RunPolicy policy = base;
    const std::shared_ptr<const KeptModel> source = SourceOf(jobs, job);
    rw::MemoryStream day(source ? source->bytes.get() : nullptr, source ? source->size : 0);
    if (source) policy.daySource = &day;
    auto kept = std::make_shared<KeptModel>();
    if (job.outputRead) policy.keptOutput = kept.get();
    const merge::DropResult result = MergeJob(job, p.options, p.os, policy);
    job.result = ResultOf(result, p.options);
    job.leaves = result == merge::DropResult::Kept && kept->bytes ? kept : source;
    // A model left as it is without its stages (its night model missing,
    // its output made already): drawn as it is.
    if (result == merge::DropResult::LeftAsItIs && !job.sequence.Day) {
        job.sequence.Day = std::make_unique<merge::DayModel>();
        if (!merge::ReadAsItIs(p.os, job.day, p.options.everyGeometry, job.sequence.Day.get()))
            job.sequence.Day.reset();
    }
    if (!p.failed) {
        preview::DrawLabel(p.page, tile, job.label);
        const merge::DayModel* model = job.sequence.Day.get();
        preview::Drawn drawn;
        if (model) drawn = preview::DrawModel(p.os, p.page, tile, *model, job.sequence.Colours);
        if (drawn.fault != merge::Fault::None) {
            ConsoleSession session(p.options, job.log, true);
            merge::SayAboutGeometry(session, drawn.geometry, merge::MessageOf(drawn.fault));
            job.result = Result::Failed;
        }
        if (!model || drawn.fault != merge::Fault::None)
            preview::DrawError(p.page, tile, ErrorLine(job.log));
    }
    merge::ReleaseDay(job.sequence);
    const bool last = tile + 1 == p.perPage || i + 1 == jobs.size();
    if (last && !p.failed && !p.os.StopRequested()) {
        ConsoleSession session(p.options, p.log, true);
        merge::FileRequest request;
        request.path = preview::PagePath(p.path, i / p.perPage);
        request.namesInUse = base.namesInUse;
        request.done = &text::PreviewWritten;
        p.files.emplace_back();
        if (!preview::PreparePageFile(p.os, session, p.page, request, &p.files.back())) {
            p.files.pop_back();
            p.failed = true;
        }
    }
    return merge::DropResult::NotWritten;
}

}  // namespace

int RunPreview(std::vector<Job>& jobs, const Options& options, merge::Os& os,
               const std::set<std::string>& inUse, Report& report, std::string* errors) {
    Pages p{os, options, options.preview};
    if (!os.FullPath(options.preview.c_str(), &p.path).ok()) p.path = options.preview;
    merge::RunPolicy policy;
    policy.action = merge::Action::Keep;
    policy.namesInUse = &inUse;
    const JobWork work = [&](Job& job) { return Draw(p, jobs, &job - jobs.data(), policy); };
    const auto reported = [&](Job& job) {
        report.Model(job);
        job.log = {};
        return report.written;
    };
    const size_t notReached = RunJobs(jobs, options, os, work, reported, report.output, 0);
    // An interrupted preview, or one whose log or a page failed, leaves no
    // picture; otherwise every page is put in place.
    const bool interrupted = os.StopRequested();
    bool written = !interrupted && report.written && !p.failed;
    ConsoleSession session(options, p.log, true);
    std::vector<merge::PendingCommit> commits;
    for (merge::PreparedFile& file : p.files) {
        if (written)
            commits.push_back({&file, &session});
        else
            merge::AbandonFile(os, file);
    }
    merge::CommitFiles(commits, os);
    for (const merge::PendingCommit& commit : commits) {
        written = written && commit.result == merge::Committed::Written;
        if (commit.result == merge::Committed::Written) report.Picture(commit.file->request.path);
    }
    report.Lines(p.log);
    report.End(notReached, interrupted, errors);
    return written ? 0 : 1;
}

}  // namespace cli
