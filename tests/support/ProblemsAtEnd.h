// The state every sequence must end in.
#pragma once

#include <string>

#include "merge/DropSequence.h"
#include "tests/support/MemoryOs.h"
#include "tests/support/MemorySession.h"
#include "tests/support/Models.h"

namespace testsupport {

// What is wrong with the state a sequence ended in (empty: nothing): a block or
// file held or let go twice, a replacement made too soon or left unflushed.
inline std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                                 const merge::DropSequence& sequence) {
    std::string problems;
    if (os.Held() || os.misuses)
        problems += "blocks or files held, let go twice or replaced too soon\n";
    for (const auto& temporary : os.temporaries)
        problems += "temporary file left: " + temporary.first + "\n";
    for (const std::string& folder : os.unflushedFolders)
        problems += "folder not flushed: " + folder + "\n";
    if (sequence.Day || !sequence.Colours.empty() || !sequence.Lit.rules.empty() ||
        !sequence.Lit.ruleOf.empty())
        problems += "a day model, colours or lit rules kept\n";
    if (sequence.state != merge::SequenceState::AwaitingDay)
        problems += "not awaiting a day model\n";
    if (!session.oneFileModeEnabled) problems += "\"Don't request 2 DFF\" left disabled\n";
    const std::string& log = session.log;
    if (log.size() < Ready.size() || log.compare(log.size() - Ready.size(), Ready.size(), Ready))
        problems += "the log does not end with the ready prompt\n";
    return problems;
}

}  // namespace testsupport
