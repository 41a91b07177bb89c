// libFuzzer target: one whole drop sequence (a day model, then a night model
// unless one-file mode) through the real pipeline over the in-memory system.
// The input is read as the shapes of the two models (made by the generator,
// well-formed or not), the options, the colour fields and one fault; or, with
// a patch, as a day model with some of its bytes overwritten. Beyond what the
// sanitizers catch, every run is held to these properties:
//   - an accepted sequence writes exactly the generator's own model with the
//     night colour chunk, and a refused one logs an error line; without a
//     patch, which of the two must happen is known from the shapes;
//   - no file but the target changes, and the target only when accepted;
//   - the sequence ends clean (tests/support/Checks.h): blocks released once,
//     nothing open, no temporary file, every replacement flushed before it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "tests/support/Checks.h"

namespace {

using namespace testsupport;
using merge::Option;
using modelgen::GeometryShape;
using modelgen::ModelShape;

// The input as a stream of numbers; zeros once it runs out.
struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size ? (--size, *data++) : 0; }
    uint32_t Below(uint32_t limit) { return Byte() % limit; }
    bool Bit() { return Byte() & 1; }
};

const char* const Folder = "C:\\models";
const std::string DayPath = "C:\\models\\day.dff", NightPath = "C:\\models\\night.dff";

// What an injected fault does: which call fails the how-many-th time. Each
// of these ends the sequence once it fires.
const Call Faults[] = {Call::Open, Call::Allocate, Call::Write, Call::TakePermissions,
                       Call::Flush, Call::CloseOutput, Call::Replace};

GeometryShape ReadGeometry(Input& in) {
    GeometryShape g;
    g.vertexCount = in.Below(40);
    g.prelit = in.Below(8) != 0;
    g.hasExtension = in.Below(8) != 0;
    for (uint32_t i = in.Below(4); i > 0; --i)
        g.plugins.push_back({0x0100u + in.Byte(), Bytes(in.Below(20), 0xC3)});
    if (in.Bit()) {
        g.nightChunkIndex = static_cast<int>(in.Below(static_cast<uint32_t>(g.plugins.size()) + 1));
        g.nightChunkVertices = in.Below(40);
    }
    return g;
}

ModelShape ReadShape(Input& in) {
    ModelShape shape;
    shape.geometries = {ReadGeometry(in)};
    for (uint32_t i = in.Below(3); i > 0; --i) shape.geometries.push_back(ReadGeometry(in));
    if (in.Below(16) == 0) shape.firstChunkType = in.Byte();
    if (in.Below(16) == 0) shape.version -= 1 + in.Byte();
    shape.geometryListAfterClump = in.Below(8) == 0;
    for (uint32_t i = in.Below(3); i > 0; --i)
        shape.chunksBeforeGeometryList.push_back({0x0100u + in.Byte(), Bytes(in.Below(12), 0x11)});
    if (in.Bit()) shape.clumpPlugins.push_back({0x0253F2F9, Bytes(4 + 4 * in.Below(4), 0x22)});
    shape.trailing = Bytes(in.Below(4) * 12, 0xEE);
    if (in.Below(4) == 0) shape.truncateAt = in.Byte() | in.Byte() << 8;
    return shape;
}

bool Valid(const ModelShape& shape) {
    const GeometryShape& g = shape.geometries[0];
    return shape.firstChunkType == 0x10 && shape.version == 0x1803FFFF && g.prelit;
}

// Everything the input says about one run.
struct Run {
    std::set<Option> options;
    uint8_t channels[4];
    ModelShape day, night;
    bool nightIsDay, existingOutput, patched;
    size_t patchAt;
    uint8_t patch[4];
    int fault, faultCall;
    std::string target;
};

Run ReadRun(Input& in) {
    Run run;
    const uint8_t bits = in.Byte();
    const Option options[] = {Option::AlwaysMerge, Option::CopyDayColours, Option::OneFileMode,
                              Option::OutputInDffFolder};
    for (int i = 0; i < 4; ++i)
        if (bits & (1 << i)) run.options.insert(options[i]);
    run.nightIsDay = bits & 0x10;
    run.existingOutput = bits & 0x20;
    run.patched = bits & 0x40;
    for (uint8_t& channel : run.channels) channel = in.Byte();
    run.fault = in.Below(4);  // 0: none, else the how-many-th call
    run.faultCall = in.Below(sizeof Faults / sizeof Faults[0]);
    run.patchAt = in.Byte() | in.Byte() << 8;
    for (uint8_t& byte : run.patch) byte = in.Byte();
    run.day = ReadShape(in);
    run.night = ReadShape(in);
    run.target = run.options.count(Option::OutputInDffFolder) ? "C:\\models\\dff\\day.dff" : DayPath;
    return run;
}

[[noreturn]] void Broken(const std::string& what, const MemorySession& session) {
    std::fprintf(stderr, "PROPERTY VIOLATED: %s\n--- log ---\n%s\n-----------\n", what.c_str(),
                 session.log.c_str());
    std::abort();
}

// The colours an accepted sequence must write, or false when it must be
// refused. Only for unpatched models whose fault did not fire.
bool ExpectedColours(const Run& run, const Bytes& dayBytes, Bytes* colours) {
    const ModelShape& day = run.day;
    const GeometryShape& g = day.geometries[0];
    const modelgen::ModelLayout layout = modelgen::LayoutOf(day);
    if (!Valid(day) || !g.hasExtension || day.truncateAt < layout.firstExtensionEnd) return false;
    if (g.nightChunkIndex >= 0 && !run.options.count(Option::AlwaysMerge)) return false;
    const size_t colourStart = layout.firstGeometryData + 16;
    const Bytes own(dayBytes.begin() + colourStart, dayBytes.begin() + colourStart + 4 * g.vertexCount);
    if (run.options.count(Option::CopyDayColours)) {
        *colours = own;
    } else {
        colours->clear();
        for (uint32_t k = 0; k < g.vertexCount; ++k)
            colours->insert(colours->end(), run.channels, run.channels + 4);
    }
    if (run.options.count(Option::OneFileMode)) return true;
    // The night model's colours, whole ones, as far as both counts and the file go.
    const ModelShape& night = run.nightIsDay ? day : run.night;
    const size_t data = modelgen::LayoutOf(night).firstGeometryData;
    if (!Valid(night) || night.truncateAt < data + 12) return false;
    const Bytes nightBytes = run.nightIsDay ? dayBytes : modelgen::BuildModel(night).bytes;
    const size_t inFile = nightBytes.size() > data + 16 ? (nightBytes.size() - data - 16) / 4 : 0;
    const size_t count = std::min<size_t>({g.vertexCount, night.geometries[0].vertexCount, inFile});
    std::copy(nightBytes.begin() + data + 16, nightBytes.begin() + data + 16 + 4 * count,
              colours->begin());
    return true;
}

// The merged model; a cut day model is cut as far into the merged one.
Bytes ExpectedOutput(const Run& run, const Bytes& colours) {
    ModelShape day = run.day;
    const GeometryShape& g = day.geometries[0];
    const size_t replaced = g.nightChunkIndex >= 0 ? 16 + 4 * size_t{g.nightChunkVertices} : 0;
    if (day.truncateAt != SIZE_MAX) day.truncateAt += 16 + colours.size() - replaced;
    return Merged(day, colours);
}

void Check(const Run& run) {
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", Folder};
    session.ticked = run.options;
    for (int i = 0; i < 4; ++i) session.fields[i] = std::to_string(run.channels[i]);
    Bytes day = modelgen::BuildModel(run.day).bytes;
    if (run.patched)
        for (size_t i = 0; i < 4 && run.patchAt + i < day.size(); ++i) day[run.patchAt + i] = run.patch[i];
    os.files[DayPath] = day;
    os.files[NightPath] = modelgen::BuildModel(run.night).bytes;
    if (run.existingOutput && run.target != DayPath) {
        os.folders.insert("C:\\models\\dff");
        os.files[run.target] = {'o', 'l', 'd'};
    }
    const Call call = Faults[run.faultCall];
    if (run.fault) os.FailCall(call, run.fault, SystemError::AccessDenied);
    const std::map<std::string, Bytes> before = os.files;

    merge::HandleDroppedPath(sequence, os, session, DayPath.c_str());
    if (sequence.state == merge::SequenceState::AwaitingNight)
        merge::HandleDroppedPath(sequence, os, session,
                                 run.nightIsDay ? DayPath.c_str() : NightPath.c_str());

    const bool created = session.log.find("\r\nDFF created: " + run.target + "\r\n") != std::string::npos;
    if (!created && session.log.find(" Error: ") == std::string::npos) Broken("no error line", session);
    std::map<std::string, Bytes> after = os.files;
    if (created) after[run.target] = before.count(run.target) ? before.at(run.target) : Bytes{};
    if (created && !before.count(run.target)) after.erase(run.target);
    if (after != before) Broken("a file other than the target changed", session);
    const std::string problems = ProblemsAtEnd(os, session, sequence);
    if (!problems.empty()) Broken(problems, session);

    const bool fired = run.fault && os.calls[static_cast<int>(call)] >= run.fault;
    if (run.patched) return;
    Bytes colours;
    const bool accepted = !fired && ExpectedColours(run, day, &colours);
    if (created != accepted) Broken(accepted ? "refused a model it must take" : "took a model it must refuse", session);
    if (accepted && os.files[run.target] != ExpectedOutput(run, colours))
        Broken("the output is not the expected model", session);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Check(ReadRun(in));
    return 0;
}
