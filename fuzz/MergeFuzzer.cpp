// libFuzzer target: one whole drop sequence (a day file, then a night file
// unless one-file mode) through the real pipeline over the in-memory
// platform, with the options, the colour fields and one injected fault taken
// from the input (fuzz/FuzzInput.h). Beyond what the sanitizers catch, every
// run is held to these properties:
//   - an accepted sequence writes exactly the output the independent oracle
//     (tests/support/MergeOracle.h) expects, and it is a consistent chunk
//     tree wherever the day file was one;
//   - a refused or failed sequence logs an error line and leaves every file
//     as it was;
//   - either way no temporary file stays behind, every block is released
//     exactly once, no file is left open, "Don't request 2 DFF" is enabled
//     and the next drop is a day stage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "fuzz/FuzzInput.h"
#include "merge/Controls.h"
#include "merge/DropSequence.h"
#include "tests/support/ChunkTree.h"
#include "tests/support/MemoryPlatform.h"
#include "tests/support/MergeOracle.h"

namespace {

using testsupport::Bytes;
using testsupport::MemoryPlatform;
using testsupport::Operation;

// Odd texts for the colour fields and the channel each stands for (the
// rules of the colour fields, worked out by hand).
struct FieldText {
    const char* text;
    uint8_t channel;
};
const FieldText OddTexts[] = {
    {"64", 64},      {"256", 0},     {"300", 44},  {"0255", 255},       {"", 0},
    {"00000064", 6}, {" 7", 7},      {"\t 7", 7},  {"&HFF", 255},       {"&hff", 255},
    {"&H1F", 31},    {"&O377", 255}, {"&O17", 15}, {"&O8", 0},          {"&H", 0},
    {"&X1", 0},      {"  &H1F", 31}, {"12.9", 12}, {".5", 0},           {"-1", 255},
    {"-12.9", 244},  {"+7", 7},      {"- 5", 0},   {"-&HFF", 0},        {"1e3", 1},
    {"64abc", 64},   {"1,5", 1},     {"abc", 0},   {"9999999999", 127}, {"-0", 0},
};
constexpr size_t OddTextCount = sizeof OddTexts / sizeof OddTexts[0];

const char* const Folder = "C:\\models";
const int FieldIds[4] = {merge::IdFieldR, merge::IdFieldG, merge::IdFieldB, merge::IdFieldA};

// Faults 1 to 28: the k-th call (k = 1 to 4) of one of the platform's
// operations fails. 29 to 254: the day (even) or night (odd) file delivers
// no byte past an offset, though its size says more. 255: see HugeDayFile.
const Operation FaultOperations[] = {
    Operation::Open,        Operation::MakeDirectory, Operation::Create,  Operation::Write,
    Operation::CloseOutput, Operation::Replace,       Operation::Allocate};
constexpr int OperationFaults = 7 * 4;
// The day file claims a size near 4 GiB: the merged model cannot be made.
constexpr int HugeDayFile = 255;

[[noreturn]] void Broken(const char* what, const MemoryPlatform& platform) {
    std::fprintf(stderr, "PROPERTY VIOLATED: %s\n--- log ---\n%s\n-----------\n", what,
                 platform.log.c_str());
    std::abort();
}

#define REQUIRE(condition, platform)                    \
    do {                                                \
        if (!(condition)) Broken(#condition, platform); \
    } while (0)

struct Run {
    fuzzinput::FuzzInput in;
    bool option(uint8_t bit) const { return (in.options & bit) != 0; }
    std::string dayPath, nightPath, target;
    uint8_t channels[4] = {};
};

std::string DayPathFor(const Run& run) {
    std::string path = std::string(Folder) + "\\day.dff";
    // 256 characters: fits a drop, but not once "\dff" is put in.
    if (run.option(fuzzinput::OptionLongPath))
        path.insert(std::strlen(Folder) + 1, 256 - path.size(), 'x');
    return path;
}

void SetUp(Run& run, MemoryPlatform& platform) {
    const fuzzinput::FuzzInput& in = run.in;
    platform.checked[merge::IdAlwaysMerge] = run.option(fuzzinput::OptionAlwaysMerge);
    platform.checked[merge::IdCopyDayColours] = run.option(fuzzinput::OptionCopyDayColours);
    platform.checked[merge::IdOneFileMode] = run.option(fuzzinput::OptionOneFile);
    platform.checked[merge::IdOutputInDffFolder] = run.option(fuzzinput::OptionDffFolder);
    for (int i = 0; i < 4; ++i) {
        if (run.option(fuzzinput::OptionOddFieldTexts)) {
            const FieldText& odd = OddTexts[in.channels[i] % OddTextCount];
            platform.texts[FieldIds[i]] = odd.text;
            run.channels[i] = odd.channel;
        } else {
            platform.texts[FieldIds[i]] = std::to_string(in.channels[i]);
            run.channels[i] = in.channels[i];
        }
    }

    run.dayPath = DayPathFor(run);
    run.nightPath = std::string(Folder) + "\\night.dff";
    run.target = run.dayPath;
    if (run.option(fuzzinput::OptionDffFolder))
        run.target = std::string(Folder) + "\\dff" + run.dayPath.substr(std::strlen(Folder));
    platform.files[run.dayPath] = Bytes(in.day, in.day + in.daySize);
    platform.files[run.nightPath] = Bytes(in.night, in.night + in.nightSize);
    if (run.option(fuzzinput::OptionExistingOutput) && run.target != run.dayPath)
        platform.files[run.target] = Bytes{'o', 'l', 'd'};

    if (in.fault >= 1 && in.fault <= OperationFaults) {
        const int f = in.fault - 1;
        platform.FailCall(FaultOperations[f % 7], f / 7 + 1,
                          testsupport::SystemError::AccessDenied);
    } else if (in.fault == HugeDayFile) {
        platform.declaredSize[run.dayPath] = 0xFFFFFFF0u;
    } else if (in.fault > OperationFaults) {
        const int f = in.fault - OperationFaults - 1;
        const std::string& path = f % 2 ? run.nightPath : run.dayPath;
        // Only a cut inside the file changes anything.
        const uint64_t offset = uint64_t(f / 2) * 3;
        if (offset < platform.files[path].size()) platform.readableUpTo[path] = offset;
    }
}

// How an injected fault bears on the outcome.
struct FaultEffect {
    bool mayFail = false;        // the sequence may fail because of it
    bool forbidsOutput = false;  // it may not succeed
};

// Whether the fault fired, and whether any later step could make good for it.
// A temporary file that cannot be created is tried under another name; a
// folder that cannot be created shows only when the file in it is; every
// other failing operation, and every read that comes up short of what the
// file's size promised, must end the sequence.
FaultEffect EffectOf(const Run& run, const MemoryPlatform& platform, uint64_t nightExtent) {
    FaultEffect effect;
    const int fault = run.in.fault;
    if (fault >= 1 && fault <= OperationFaults) {
        const Operation op = FaultOperations[(fault - 1) % 7];
        const bool fired = platform.calls[static_cast<int>(op)] >= (fault - 1) / 7 + 1;
        effect.mayFail = fired && op != Operation::Create;
        effect.forbidsOutput = effect.mayFail && op != Operation::MakeDirectory;
    } else if (fault == HugeDayFile) {
        effect.mayFail = effect.forbidsOutput = true;
    } else if (fault > OperationFaults) {
        for (const auto& cut : platform.readableUpTo) {
            const bool night = cut.first == run.nightPath;
            // The night file is never opened when the day file is dropped again.
            if (night && run.option(fuzzinput::OptionNightIsDay)) continue;
            const uint64_t needed = night ? nightExtent : run.in.daySize;
            effect.mayFail = true;
            effect.forbidsOutput = cut.second < needed;
        }
    }
    return effect;
}

// The night colours the sequence must arrive at (4 x n), or false when it
// must refuse; eitherWay is set where the pipeline may choose.
bool Expect(const Run& run, const testsupport::DayVerdict& day, Bytes& colours, bool& eitherWay,
            uint64_t& nightExtent) {
    eitherWay = false;
    if (!day.accepted) return false;
    if (run.option(fuzzinput::OptionCopyDayColours)) {
        colours = day.dayColours;
    } else {
        colours.resize(size_t{4} * day.vertexCount);
        for (size_t i = 0; i < colours.size(); ++i) colours[i] = run.channels[i % 4];
    }
    if (run.option(fuzzinput::OptionOneFile)) return true;
    const Bytes night = run.option(fuzzinput::OptionNightIsDay)
                            ? Bytes(run.in.day, run.in.day + run.in.daySize)
                            : Bytes(run.in.night, run.in.night + run.in.nightSize);
    switch (testsupport::JudgeNightFile(night.data(), night.size(), day.vertexCount, colours,
                                        &nightExtent)) {
        case testsupport::NightOutcome::Refused: return false;
        case testsupport::NightOutcome::Accepted: return true;
        case testsupport::NightOutcome::EitherWay: eitherWay = true; return true;
    }
    return false;
}

void CheckCleanEnd(const merge::DropSequence& sequence, const MemoryPlatform& platform) {
    REQUIRE(sequence.state == merge::SequenceState::AwaitingDay, platform);
    REQUIRE(platform.LiveBlocks() == 0, platform);
    REQUIRE(platform.doubleReleases == 0, platform);
    REQUIRE(platform.allocations == platform.releases, platform);
    REQUIRE(platform.OpenHandles() == 0, platform);
    REQUIRE(platform.OpenOutputs() == 0, platform);
    REQUIRE(platform.badCloses == 0, platform);
    REQUIRE(platform.enabled.at(merge::IdOneFileMode), platform);
    REQUIRE(sequence.OutputImage == nullptr && sequence.DayColourBuffer == nullptr, platform);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Run run;
    if (!fuzzinput::Decode(data, size, &run.in)) return 0;
    MemoryPlatform platform;
    SetUp(run, platform);
    const std::map<std::string, Bytes> before = platform.files;
    const Bytes day(run.in.day, run.in.day + run.in.daySize);

    merge::DropSequence sequence;
    HandleDroppedPath(sequence, platform, run.dayPath.c_str());
    const bool awaitingNight = sequence.state != merge::SequenceState::AwaitingDay;
    if (awaitingNight) {
        REQUIRE(!platform.enabled.at(merge::IdOneFileMode), platform);
        REQUIRE(platform.OpenHandles() == 0, platform);
        const std::string& night =
            run.option(fuzzinput::OptionNightIsDay) ? run.dayPath : run.nightPath;
        HandleDroppedPath(sequence, platform, night.c_str());
    }
    CheckCleanEnd(sequence, platform);

    const testsupport::DayVerdict verdict =
        testsupport::JudgeDayFile(day.data(), day.size(), run.option(fuzzinput::OptionAlwaysMerge));
    Bytes colours;
    bool eitherWay = false;
    uint64_t nightExtent = 0;
    bool mustWrite = Expect(run, verdict, colours, eitherWay, nightExtent);
    const bool mayFail = eitherWay;
    if (run.option(fuzzinput::OptionLongPath) && run.option(fuzzinput::OptionDffFolder))
        mustWrite = false;
    const FaultEffect fault = EffectOf(run, platform, nightExtent);
    if (fault.forbidsOutput) mustWrite = false;
    const bool created = platform.log.find("\r\nDFF created: ") != std::string::npos;

    if (!created) {
        // Refused, or failed: an error line, and every file as it was (a
        // "dff" folder may have been made).
        REQUIRE(!mustWrite || mayFail || fault.mayFail, platform);
        REQUIRE(platform.log.find(" Error: ") != std::string::npos, platform);
        REQUIRE(platform.files == before, platform);
        return 0;
    }
    REQUIRE(mustWrite, platform);
    REQUIRE(awaitingNight != run.option(fuzzinput::OptionOneFile), platform);
    std::map<std::string, Bytes> after = platform.files;
    REQUIRE(after.count(run.target) == 1, platform);
    Bytes written = after[run.target];
    after.erase(run.target);
    std::map<std::string, Bytes> others = before;
    others.erase(run.target);
    REQUIRE(after == others, platform);  // no temporary file, nothing else touched

    Bytes expected = testsupport::ExpectedOutput(day.data(), day.size(), verdict, colours.data());
    if (eitherWay && written.size() == expected.size()) {
        // The night file ended inside its flags or count: whatever colours
        // the pipeline took, the rest must be as expected.
        const size_t at = static_cast<size_t>(testsupport::ExpectedColoursOffset(verdict));
        std::memcpy(expected.data() + at, written.data() + at, colours.size());
    }
    REQUIRE(written == expected, platform);
    std::string why;
    if (testsupport::CheckChunkTree(day.data(), day.size(), nullptr) &&
        !testsupport::CheckChunkTree(written.data(), written.size(), &why)) {
        platform.log += "\nchunk tree: " + why;
        Broken("the output of a consistent day file is a consistent chunk tree", platform);
    }
    return 0;
}
