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

modelgen::ModelShape Shape(uint32_t n, const Bytes& colours) {
    modelgen::ModelShape shape;
    shape.geometries[0].vertexCount = n;
    shape.geometries[0].colours = colours;
    return shape;
}

std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                          const merge::DropSequence& sequence) {
    std::string problems;
    if (os.Held() || os.misuses) problems += "blocks or files held, let go twice or replaced too soon\n";
    for (const auto& temporary : os.temporaries) problems += "temporary file left: " + temporary.first + "\n";
    for (const std::string& folder : os.unflushedFolders) problems += "folder not flushed: " + folder + "\n";
    if (sequence.OutputImage || sequence.DayColourBuffer) problems += "blocks still named\n";
    if (sequence.state != merge::SequenceState::AwaitingDay) problems += "not awaiting a day model\n";
    if (!session.oneFileModeEnabled) problems += "\"Don't request 2 DFF\" left disabled\n";
    const std::string ready = "\r\nReady. Drop day dff file.\r\n";
    if (session.log.size() < ready.size() ||
        session.log.compare(session.log.size() - ready.size(), ready.size(), ready) != 0)
        problems += "the log does not end with the ready prompt\n";
    return problems;
}

}  // namespace testsupport
