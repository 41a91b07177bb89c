// Every file operation of a two-file sequence failing in turn: the open of
// each file, every read of either, the "dff" folder, the temporary output,
// its write, its close and the replace. After each: an error line, the day
// model and an existing output as they were, no temporary file, both blocks
// released once, the box enabled, and the next drop a day stage again.
#include <functional>
#include <map>
#include <string>

#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using testsupport::Operation;
using testsupport::SystemError;
using Memory = testsupport::MemoryPlatform;

const char* const OldOutput = "C:\\models\\dff\\car.dff";

// One sequence under one fault, on a platform of its own.
struct Sequence {
    Memory platform;
    merge::DropSequence sequence;
    void Drop(const char* path) { merge::HandleDroppedPath(sequence, platform, path); }
};

// Where the output goes: over the day model itself, into a "dff" folder
// still to be made, or over an older output in that folder.
enum class Target { DayModel, NewFolder, OldOutput };

// Runs the day and the night drop under the fault and checks that the
// sequence was abandoned cleanly.
void ExpectAbandoned(const std::string& what, Target target,
                     const std::function<void(Memory&)>& fault) {
    SCOPED_TRACE(what);
    Sequence s;
    Memory& p = s.platform;
    p.folders.insert("C:\\models");
    p.files[DayPath] = modelgen::BuildModel(ModelShape{}).bytes;
    p.files[NightPath] = modelgen::BuildModel(WithVertices(5)).bytes;
    p.checked[OutputInDffFolder] = target != Target::DayModel;
    if (target == Target::OldOutput) p.files[OldOutput] = Bytes{'o', 'l', 'd'};
    const std::map<std::string, Bytes> before = p.files;
    fault(p);
    s.Drop(DayPath);
    if (s.sequence.state == merge::SequenceState::AwaitingNight) s.Drop(NightPath);

    EXPECT_NE(p.log.find(" Error: "), std::string::npos) << p.log;
    EXPECT_EQ(p.log.find("DFF created: "), std::string::npos) << p.log;
    EXPECT_TRUE(p.files == before);  // no temporary file either
    EXPECT_EQ(p.allocations, p.releases);
    EXPECT_EQ(p.doubleReleases, 0);
    EXPECT_EQ(p.badCloses, 0);
    EXPECT_EQ(p.OpenHandles() + p.OpenOutputs(), 0);
    EXPECT_TRUE(p.enabled[OneFileMode]);
    EXPECT_EQ(s.sequence.state, merge::SequenceState::AwaitingDay);

    p.readableUpTo.clear();
    const size_t mark = p.log.size();
    s.Drop(DayPath);
    EXPECT_EQ(s.sequence.state, merge::SequenceState::AwaitingNight) << p.log.substr(mark);
}

TEST(FaultInjection, OpeningTheDayFile) {
    ExpectAbandoned("day", Target::OldOutput, [](Memory& p) {
        p.FailCall(Operation::Open, 1, SystemError::SharingViolation);
    });
}

TEST(FaultInjection, OpeningTheNightFile) {
    ExpectAbandoned("night", Target::OldOutput,
                    [](Memory& p) { p.FailCall(Operation::Open, 2, SystemError::FileNotFound); });
}

// A read that delivers less than the file's size promised, at every offset
// the day stage reads (it reads the whole file).
TEST(FaultInjection, EveryReadOfTheDayFile) {
    const size_t size = modelgen::BuildModel(ModelShape{}).bytes.size();
    for (size_t cut = 0; cut < size; ++cut) {
        ExpectAbandoned("day cut at " + std::to_string(cut), Target::OldOutput,
                        [&](Memory& p) { p.readableUpTo[DayPath] = cut; });
        if (::testing::Test::HasFailure()) break;
    }
}

// ... and at every offset the night stage reads, up to its last colour.
void ExpectEveryNightReadAbandons(size_t from, size_t to) {
    for (size_t cut = from; cut < to; ++cut) {
        ExpectAbandoned("night cut at " + std::to_string(cut), Target::OldOutput,
                        [&](Memory& p) { p.readableUpTo[NightPath] = cut; });
        if (::testing::Test::HasFailure()) break;
    }
}

// Where the night stage's last read begins, that of the colours (the morph
// target count before them is stepped over, not read).
const size_t NightColourRead = modelgen::BuildModel(ModelShape{}).layout.firstGeometryData + 12;

TEST(FaultInjection, EveryReadOfTheNightFile) {
    ExpectEveryNightReadAbandons(0, NightColourRead + 4 + 4 * 3);
}

TEST(FaultInjection, CreatingTheDffFolder) {
    ExpectAbandoned("folder", Target::NewFolder, [](Memory& p) {
        p.FailCall(Operation::MakeDirectory, 1, SystemError::AccessDenied);
    });
}

// Every temporary name that could be tried.
TEST(FaultInjection, CreatingTheTemporaryOutput) {
    ExpectAbandoned("create", Target::OldOutput, [](Memory& p) {
        for (int k = 1; k <= 64; ++k) p.FailCall(Operation::Create, k, SystemError::AccessDenied);
    });
}

TEST(FaultInjection, WritingCommittingAndReplacingTheOutput) {
    const Operation operations[] = {Operation::Write, Operation::CloseOutput, Operation::Replace};
    for (Target target : {Target::DayModel, Target::OldOutput}) {
        for (Operation op : operations) {
            ExpectAbandoned("operation " + std::to_string(static_cast<int>(op)), target,
                            [&](Memory& p) { p.FailCall(op, 1, SystemError::DiskFull); });
        }
    }
}

TEST(FaultInjection, AllocatingEitherBlock) {
    for (int k = 1; k <= 2; ++k) {
        ExpectAbandoned("allocation " + std::to_string(k), Target::OldOutput, [&](Memory& p) {
            p.FailCall(Operation::Allocate, k, SystemError::NotEnoughMemory);
        });
    }
}

}  // namespace
}  // namespace mergetest
