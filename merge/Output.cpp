// The output stage: where the merged model goes, and the model as the
// writer's producer of bytes. The model is copied from the day file only
// while it is still the very file the day stage read, from before the copy
// until it is whole; where the file's time cannot tell a save of the same
// size made meanwhile, its bytes are read again and compared.
#include "merge/DropSequence.h"
#include "merge/Paths.h"

namespace merge {

namespace {

// Whether the day file is still the very file the day stage read; why not
// (it changed, or the failure to look at it) is logged.
bool DayUnchanged(const DayModel& day, Os& os, Session& session, rw::ByteStream& file) {
    FileStamp stamp;
    const Status stamped = os.StampOf(&file, &stamp);
    const bool same = stamped.ok() && SameFile(stamp, day.Stamp);
    if (!stamped.ok())
        ReportLastError(session, " ", stamped);
    else if (!same)
        Say(session, text::FileChanged);
    return same;
}

// The day file opened again for the copy. A day file that is gone, or
// another file now, changed while it was merged.
bool OpenDayAgain(const DropSequence& sequence, Os& os, Session& session, InputFile* day) {
    const Status opened = OpenInput(os, sequence.DayPath.c_str(), day);
    if (opened.ok()) return true;
    FileStamp now;
    const Status there = os.StampAt(sequence.DayPath.c_str(), &now);
    if (there.ok() ? !SameFile(now, sequence.Day->Stamp) : there.Is(Problem::Absent))
        Say(session, text::FileChanged);
    else
        ReportLastError(session, " ", opened);
    return false;
}

// The merged model into sink, copied from the day file while it is the
// file that was read; false once why not is logged (out of space says so).
bool ProduceModel(const DropSequence& sequence, Os& os, Session& session, rw::ByteStream& day,
                  ByteSink& sink, bool guarded, bool* outOfSpace) {
    const DayModel& model = *sequence.Day;
    if (guarded && !DayUnchanged(model, os, session, day)) return false;
    Status status;
    uint32_t copied = 0, again = 0;
    const bool racy = guarded && model.Stamp.racy;
    const WriteResult written = WriteMergedModel(model.Judged.plan, sequence.Colours, day, sink,
                                                 &status, racy ? &copied : nullptr);
    *outOfSpace = status.Is(Problem::OutOfSpace);
    if (written == WriteResult::ReadFailed) {
        Say(session, text::Unreadable);
        return false;
    }
    if (written == WriteResult::WriteFailed) {
        // Told as the write's failure, whatever else changed meanwhile.
        ReportLastError(session, " ", status);
        return false;
    }
    if (!guarded) return true;
    if (!DayUnchanged(model, os, session, day)) return false;
    // Copied as the day stage read it, and still so once the copy is whole.
    if (racy && (copied != model.CopiedCrc ||
                 !CrcOfCopied(model.Judged.plan, day, &again) || again != copied)) {
        Say(session, text::FileChanged);
        return false;
    }
    return true;
}

}  // namespace

bool KeepOutput(const DropSequence& sequence, Os& os, Session& session, rw::ByteStream& day,
                KeptOutput* kept) {
    const OutputPlan& plan = sequence.Day->Judged.plan;
    kept->bytes = AllocateBlock(os, static_cast<size_t>(plan.OutputSize));
    kept->size = plan.OutputSize;
    if (!kept->bytes) {
        Say(session, text::NoMemory);
        return false;
    }
    MemorySink sink;
    sink.bytes = kept->bytes.get();
    sink.size = kept->size;
    bool outOfSpace = false;
    return ProduceModel(sequence, os, session, day, sink, false, &outOfSpace);
}

namespace {

DropResult Found(const DropSequence& sequence, Os& os, Session& session,
                 const FileRequest& request, const RunPolicy& policy) {
    PreparedFile found;
    if (!FindTarget(os, session, request, &found)) return DropResult::NotWritten;
    if (policy.keptOutput) {
        InputFile day;
        rw::ByteStream* from = policy.daySource;
        if (!from && !OpenDayAgain(sequence, os, session, &day)) return DropResult::NotWritten;
        if (!KeepOutput(sequence, os, session, from ? *from : *day, policy.keptOutput))
            return DropResult::NotWritten;
    }
    SayAbout(session, text::WouldBeCreated, request.path);
    return DropResult::WouldBeWritten;
}

// The merged model written into the prepared file, with its target's
// permissions; the file left open for its commit.
DropResult Prepare(const DropSequence& sequence, Os& os, Session& session,
                   const FileRequest& request, PreparedFile& file) {
    if (!PrepareFile(os, session, request, &file)) return DropResult::NotWritten;
    InputFile day;
    bool outOfSpace = false;
    bool made = OpenDayAgain(sequence, os, session, &day) &&
                ProduceModel(sequence, os, session, *day, file, true, &outOfSpace);
    if (made) {
        const Status finished = FinishFile(os, file);
        if (!finished.ok()) ReportLastError(session, " ", finished);
        made = finished.ok();
    }
    if (made) return DropResult::Prepared;
    AbandonFile(os, file);
    return outOfSpace ? DropResult::OutOfSpace : DropResult::NotWritten;
}

}  // namespace

DropResult WriteOutput(DropSequence& sequence, Os& os, Session& session, const RunPolicy& policy,
                       PreparedFile* output) {
    FileRequest request;
    const bool inDffFolder = session.IsTicked(Option::OutputInDffFolder);
    request.path = policy.chosenOutput.empty()
                       ? OutputPathFor(os, sequence.DayPath, inDffFolder)
                       : policy.chosenOutput;
    request.followLinks = request.path == sequence.DayPath;
    request.makeFolder = inDffFolder || !policy.chosenOutput.empty();
    request.namesInUse = policy.namesInUse;
    request.leavesMadeFolders = policy.leavesMadeFolders;
    DropResult result = DropResult::NotWritten;
    PreparedFile alone;
    PreparedFile& file = output ? *output : alone;
    if (!session.PathFits(request.path.c_str()))
        Say(session, text::OutputPathTooLong);
    else if (policy.action == Action::DryRun)
        result = Found(sequence, os, session, request, policy);
    else
        result = Prepare(sequence, os, session, request, file);
    ReleaseDay(sequence);
    if (result != DropResult::Prepared || policy.when == CommitWhen::Later) return result;
    std::vector<PendingCommit> group = {{&file, &session}};
    CommitFiles(group, os);
    if (group[0].result == Committed::OutOfSpace) return DropResult::OutOfSpace;
    return group[0].result == Committed::Written ? DropResult::Written : DropResult::NotWritten;
}

}  // namespace merge
