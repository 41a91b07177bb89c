// The day stage: the DayFile opened, read once and judged; what the
// judgement says logged; and the colours that its plan needs made ready,
// with the vertices that lit rules light.
#include "merge/DropSequence.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

MergeMode ModeOf(Session& session) {
    MergeMode mode;
    mode.every = session.IsTicked(Option::EveryGeometry);
    mode.alwaysMerge = session.IsTicked(Option::AlwaysMerge);
    mode.skip = session.IsTicked(Option::SkipMerged);
    mode.strip = session.IsTicked(Option::Strip);
    return mode;
}

void SayRemarks(Session& session, const Judgement& judged) {
    for (const Remark& remark : judged.remarks) {
        if (remark.line)
            SayAboutGeometry(session, remark.geometry, *remark.line);
        else
            SayCount(session, remark.geometry, remark.count);
    }
}

// A block for each chunk's colours, and, where they are copied, the day
// model's own colours in it. Read only where they become the night colours:
// otherwise the output's copy of the day file reads them, as the rest of it.
bool MakeColourBlocks(DropSequence& sequence, Os& os, Session& session, rw::ByteStream& file) {
    const bool copy = session.IsTicked(Option::CopyDayColours);
    for (const NightChunk& chunk : sequence.Day->Judged.plan.Chunks) {
        // A chunk of no vertices gets a block too: an empty one.
        const uint64_t bytes = chunk.TakenOut ? 0 : uint64_t{rw::ColourSize} * chunk.VertexCount;
        sequence.Colours.push_back(AllocateBlock(os, bytes));
        Block& colours = sequence.Colours.back();
        if (!colours) {
            SayAboutGeometry(session, chunk.Geometry, text::NoMemory);
            return false;
        }
        if (copy &&
            (!rw::SeekTo(file, chunk.DayColours) ||
             file.Read(colours.get(), static_cast<uint32_t>(bytes)) != bytes)) {
            SayAboutGeometry(session, chunk.Geometry, text::Unreadable);
            return false;
        }
    }
    return true;
}

}  // namespace

DayResult AnalyseDayFile(DropSequence& sequence, Os& os, Session& session,
                         const RunPolicy& policy) {
    ReleaseDay(sequence);
    auto day = std::make_unique<DayModel>();
    SayAbout(session, text::Opening, sequence.DayPath);
    Status opened;
    if (policy.daySource)
        day->File = InputFile(policy.daySource, InputClose{});
    else
        opened = OpenInput(os, sequence.DayPath.c_str(), &day->File);
    if (opened.ok() && !policy.daySource) opened = os.StampOf(day->File.get(), &day->Stamp);
    if (!opened.ok()) {
        ReportLastError(session, " ", opened);
        return DayResult::Failed;
    }
    Say(session, text::Analyzing);
    MergeMode mode = ModeOf(session);
    // A strip makes no colours: rules play no part in it.
    std::vector<LitRule> rules = mode.strip ? std::vector<LitRule>{} : session.LitRules();
    if (rules.size() > MaxLitRules) rules.resize(MaxLitRules);
    mode.lit = !rules.empty();
    const bool keep = policy.action == Action::Keep;
    ReadDepth depth;
    depth.data = keep;
    depth.materials = mode.lit;
    day->Reading = ReadModel(*day->File, mode.every, depth);
    day->Judged = Judge(day->Reading, mode);
    SayRemarks(session, day->Judged);
    const Verdict verdict = day->Judged.verdict;
    if (verdict == Verdict::Refused) return DayResult::Failed;
    if (verdict == Verdict::LeftAsItIs) {
        if (keep) sequence.Day = std::move(day);
        return DayResult::LeftAsItIs;
    }
    sequence.Day = std::move(day);
    sequence.Lit.rules = std::move(rules);
    DayModel& model = *sequence.Day;
    const bool racy = model.Stamp.racy && policy.action == Action::Write;
    bool made = MakeColourBlocks(sequence, os, session, *model.File) &&
                (!mode.lit || MarkLitVertices(sequence, os, session, *model.File));
    if (made && racy && !CrcOfCopied(model.Judged.plan, *model.File, &model.CopiedCrc)) {
        Say(session, text::Unreadable);
        made = false;
    }
    if (!made) {
        ReleaseDay(sequence);
        return DayResult::Failed;
    }
    if (!keep) sequence.Day->File.reset();
    return DayResult::Analysed;
}

bool ReadAsItIs(Os& os, const std::string& path, bool every, DayModel* day) {
    if (!OpenInput(os, path.c_str(), &day->File).ok()) return false;
    day->Reading = ReadModel(*day->File, every, DrawingDepth);
    day->Judged.verdict = Verdict::LeftAsItIs;
    return day->Reading.fault == Fault::None;
}

}  // namespace merge
