#include "tests/support/Checks.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

void MemorySession::ColourFieldText(merge::Channel channel, char* buffer, int size) {
    const std::string& text = fields[static_cast<int>(channel)];
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

Bytes Merged(modelgen::ModelShape day, const Bytes& colours) {
    modelgen::GeometryShape& first = day.geometries[0];
    if (first.nightChunkIndex < 0) first.nightChunkIndex = static_cast<int>(first.plugins.size());
    first.nightChunkVertices = static_cast<uint32_t>(colours.size() / 4);
    first.nightColours = colours;
    return modelgen::BuildModel(day).bytes;
}

namespace {

// True when line is in trace between from and to.
bool Within(const std::vector<std::string>& trace, size_t from, size_t to,
            const std::string& line) {
    return std::find(trace.begin() + from, trace.begin() + to, line) != trace.begin() + to;
}

std::string ProblemsWithReplacements(const std::vector<std::string>& trace) {
    std::string problems;
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].rfind("Create ", 0) == 0) {
            const std::string temporary = trace[i].substr(7);
            const bool gone = std::any_of(trace.begin() + i, trace.end(), [&](const std::string& t) {
                return t == "Remove " + temporary || t.rfind("Replace " + temporary + " ", 0) == 0;
            });
            if (!gone) problems += "temporary file left: " + temporary + "\n";
        }
        if (trace[i].rfind("Replace ", 0) != 0) continue;
        const size_t blank = trace[i].find(' ', 8);
        const std::string temporary = trace[i].substr(8, blank - 8);
        const std::string target = trace[i].substr(blank + 1);
        const size_t created =
            std::find(trace.begin(), trace.begin() + i, "Create " + temporary) - trace.begin();
        if (!Within(trace, created, i, "TakePermissions " + temporary + " " + target) ||
            !Within(trace, created, i, "Flush " + temporary))
            problems += "replaced before its permissions and flush: " + trace[i] + "\n";
        const std::string folder = target.substr(0, target.find_last_of("\\/") + 1);
        if (!Within(trace, i, trace.size(), "SyncFolder " + folder))
            problems += "folder not flushed after: " + trace[i] + "\n";
    }
    return problems;
}

}  // namespace

std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                          const merge::DropSequence& sequence) {
    std::string problems = ProblemsWithReplacements(os.trace);
    if (os.LiveBlocks() || os.doubleReleases) problems += "memory blocks held or released twice\n";
    if (os.OpenHandles() || os.badCloses) problems += "files left open or closed twice\n";
    if (sequence.OutputImage || sequence.DayColourBuffer) problems += "blocks still named\n";
    if (sequence.state != merge::SequenceState::AwaitingDay) problems += "not awaiting a day\n";
    if (!session.oneFileModeEnabled) problems += "\"Don't request 2 DFF\" left disabled\n";
    const std::string ready = "\r\nReady. Drop day dff file.\r\n";
    if (session.log.size() < ready.size() ||
        session.log.compare(session.log.size() - ready.size(), ready.size(), ready) != 0)
        problems += "the log does not end with the ready prompt\n";
    return problems;
}

}  // namespace testsupport
