// The drop sequence: which stage a drop runs, what it leaves for the next
// drop, and the prompts that say what the tool waits for. Every move of its
// state is here.
#include "merge/DropSequence.h"

namespace merge {

namespace {

// Takes the dropped path whole. A longer path than the session takes is
// refused, never cut: a cut path could name another file; so is a path that
// the system approximated. A refused path is still named in the log.
bool TakePath(Session& session, const char* path, PathForm form, std::string& taken) {
    if (!path) path = "";  // opening it then fails with the system's text
    if (session.PathFits(path) && form == PathForm::Exact) {
        taken = path;
        return true;
    }
    SayAbout(session, text::Opening, path);
    Say(session, form == PathForm::Exact ? text::PathTooLong : text::NameNotExact);
    return false;
}

// Waits for a day model again: what the day stage left is released, unless
// it is kept for the caller.
void AwaitDay(DropSequence& sequence, Session& session, bool release) {
    if (release) ReleaseDay(sequence);
    session.EnableOneFileMode(true);
    sequence.state = SequenceState::AwaitingDay;
    Say(session, text::ReadyPrompt);
}

// The output, once every colour is made: written, found, or kept for the
// caller. A prepared output waits for its caller's commit.
DropResult FinishWithOutput(DropSequence& sequence, Os& os, Session& session,
                            const RunPolicy& policy, PreparedFile* output) {
    AdjustNightColours(sequence, session);
    LightNightColours(sequence);
    if (policy.action == Action::Keep) {
        // The day file is still open: a later model that reads the output
        // reads it from memory.
        const bool kept = !policy.keptOutput || KeepOutput(sequence, os, session,
                                                           *sequence.Day->File, policy.keptOutput);
        AwaitDay(sequence, session, !kept);
        return kept ? DropResult::Kept : DropResult::NotWritten;
    }
    // A prepared output waits for its caller's commit; the sequence waits
    // for a day model at once.
    const DropResult result = WriteOutput(sequence, os, session, policy, output);
    AwaitDay(sequence, session, true);
    return result;
}

DropResult RunDayStage(DropSequence& sequence, Os& os, Session& session, const char* path,
                       PathForm form, const RunPolicy& policy, PreparedFile* output) {
    // A failed day stage has released what it took; the box was not touched.
    const DayResult day = TakePath(session, path, form, sequence.DayPath)
                              ? AnalyseDayFile(sequence, os, session, policy)
                              : DayResult::Failed;
    if (day != DayResult::Analysed) {
        Say(session, text::ReadyPrompt);
        return day == DayResult::LeftAsItIs ? DropResult::LeftAsItIs : DropResult::NotWritten;
    }
    FillNightColours(sequence, session);
    // A strip takes no colours from a night model.
    if (session.IsTicked(Option::OneFileMode) || session.IsTicked(Option::Strip))
        return FinishWithOutput(sequence, os, session, policy, output);
    session.EnableOneFileMode(false);
    sequence.state = SequenceState::AwaitingNight;
    Say(session, text::NightPrompt);
    return DropResult::NotWritten;
}

DropResult RunNightStage(DropSequence& sequence, Os& os, Session& session, const char* path,
                         PathForm form, const RunPolicy& policy, PreparedFile* output) {
    if (!TakePath(session, path, form, sequence.NightPath) ||
        !TakeNightColours(sequence, os, session)) {
        AwaitDay(sequence, session, true);
        return DropResult::NotWritten;
    }
    return FinishWithOutput(sequence, os, session, policy, output);
}

}  // namespace

DropResult HandleDroppedPath(DropSequence& sequence, Os& os, Session& session, const char* path,
                             PathForm form, const RunPolicy& policy, PreparedFile* output) {
    // Any other state but AwaitingDay counts as AwaitingNight.
    if (sequence.state == SequenceState::AwaitingDay)
        return RunDayStage(sequence, os, session, path, form, policy, output);
    return RunNightStage(sequence, os, session, path, form, policy, output);
}

void ReleaseDay(DropSequence& sequence) {
    sequence.Day.reset();
    sequence.Colours.clear();
    sequence.Lit = {};
}

}  // namespace merge
