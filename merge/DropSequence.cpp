// The drop sequence: which stage a drop runs, what it leaves for the next
// drop, and the prompts that say what the tool waits for.
#include "merge/DropSequence.h"

#include "merge/Messages.h"

namespace merge {

namespace {

// Takes the dropped path whole. A longer path than the session takes is
// refused, never cut: a cut path could name another file; so is a path that
// the system approximated. A refused path is still named in the log.
bool TakePath(Session& session, const char* path, PathForm form, std::string& taken) {
    if (!path) path = "";  // opening it then fails with the system's text
    taken.clear();
    const bool fits = session.PathFits(path);
    if (fits && form == PathForm::Exact) {
        taken = path;
        return true;
    }
    session.AppendLog(text::Opening);
    session.AppendLog(path);
    session.AppendLog(text::LineEnd);
    session.AppendLog(form == PathForm::Exact ? text::PathTooLong : text::NameNotExact);
    return false;
}

// The chunks' colours are released whatever the outcome.
DropResult FinishWithOutput(DropSequence& sequence, Os& os, Session& session, CommitWhen when) {
    AdjustNightColours(*sequence.Plan, session);
    if (sequence.Previews) return DropResult::NotWritten;
    if (sequence.DryRun) return PlanOutput(sequence, os, session);
    const DropResult prepared = PrepareOutput(sequence, os, session);
    if (prepared != DropResult::Prepared) {
        ReturnToAwaitingDay(sequence, session);
        return prepared;
    }
    sequence.state = SequenceState::Prepared;
    if (when == CommitWhen::Later) return prepared;
    std::vector<PendingCommit> alone = {{&sequence, &session}};
    CommitOutputs(alone, os);
    return alone[0].written ? DropResult::Written : DropResult::NotWritten;
}

DropResult RunDayStage(DropSequence& sequence, Os& os, Session& session, const char* path,
                       PathForm form, CommitWhen when) {
    // A failed day stage has released what it took; the box was not touched.
    const DayResult day = TakePath(session, path, form, sequence.DayPath)
                              ? AnalyseDayFile(sequence, os, session)
                              : DayResult::Failed;
    if (day != DayResult::Analysed) {
        session.AppendLog(text::ReadyPrompt);
        return day == DayResult::LeftAsItIs ? DropResult::LeftAsItIs : DropResult::NotWritten;
    }
    FillNightColours(*sequence.Plan, session);
    // A strip takes no colours from a night model.
    if (session.IsTicked(Option::OneFileMode) || session.IsTicked(Option::Strip))
        return FinishWithOutput(sequence, os, session, when);
    session.EnableOneFileMode(false);
    sequence.state = SequenceState::AwaitingNight;
    session.AppendLog(text::NightPrompt);
    return DropResult::NotWritten;
}

DropResult RunNightStage(DropSequence& sequence, Os& os, Session& session, const char* path,
                         PathForm form, CommitWhen when) {
    if (!TakePath(session, path, form, sequence.NightPath) ||
        !TakeNightColours(sequence, os, session)) {
        sequence.Plan.reset();
        ReturnToAwaitingDay(sequence, session);
        return DropResult::NotWritten;
    }
    return FinishWithOutput(sequence, os, session, when);
}

}  // namespace

DropResult HandleDroppedPath(DropSequence& sequence, Os& os, Session& session, const char* path,
                             PathForm form, CommitWhen when) {
    if (sequence.state == SequenceState::Prepared) return DropResult::Prepared;
    // Any other state but AwaitingDay counts as AwaitingNight.
    if (sequence.state == SequenceState::AwaitingDay)
        return RunDayStage(sequence, os, session, path, form, when);
    return RunNightStage(sequence, os, session, path, form, when);
}

void ReturnToAwaitingDay(DropSequence& sequence, Session& session) {
    session.EnableOneFileMode(true);
    sequence.state = SequenceState::AwaitingDay;
    session.AppendLog(text::ReadyPrompt);
}

}  // namespace merge
