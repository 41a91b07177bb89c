#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

const Bytes Grey = Repeat({64, 64, 64, 255}, 1);

struct NightStage : MergeTest {
    Model day;
    // Drops a day model of n vertices (prelit pattern of geometry 0) and then
    // the night model, whose colours are those of geometry index 1's pattern.
    void Merge(uint32_t n, ModelSpec night) {
        day = Put(DayPath, WithVertices(n));
        Drop(DayPath);
        ASSERT_EQ(sequence.state, merge::SequenceState::AwaitingNight);
        Model nightModel = modelgen::BuildModel(night);
        platform.files[NightPath] = nightModel.bytes;
        Drop(NightPath);
    }
    static ModelSpec Night(uint32_t m) {
        ModelSpec shape = WithVertices(m);
        shape.geometries[0].colours = Pattern(1, m);
        return shape;
    }
    // The night colours written: the night model's first k, then grey.
    Bytes NightThenGrey(uint32_t k, uint32_t n) {
        Bytes colours = Pattern(1, k);
        for (uint32_t i = k; i < n; ++i) colours.insert(colours.end(), Grey.begin(), Grey.end());
        return colours;
    }
};

TEST_F(NightStage, VertexCountsDecideWhichColoursComeFromTheNightModel) {
    struct Case {
        uint32_t n, m;
        const char* warning;
    } cases[] = {
        {5, 5, ""},
        {5, 3, " Warning: Night DFF contains not enough vertex.\r\n"},
        {5, 8, " Warning: Night DFF contains too much vertex.\r\n"},
        {5, 0, " Warning: Night DFF contains not enough vertex.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m);
        platform.log.clear();
        Merge(c.n, Night(c.m));
        EXPECT_NE(platform.log.find(" " + std::to_string(c.m) + " vertex.\r\n" + c.warning +
                                    "\r\nDFF created: "),
                  std::string::npos)
            << platform.log;
        EXPECT_EQ(File(DayPath), Expected(day, NightThenGrey(std::min(c.m, c.n), c.n)));
        ExpectBackToDay();
    }
}

TEST_F(NightStage, MissingColoursKeepCopiedDayColours) {
    platform.checked[CopyDayColours] = true;
    Merge(4, Night(2));
    Bytes colours = Pattern(1, 2);
    const Bytes dayTail = Pattern(0, 4);
    colours.insert(colours.end(), dayTail.begin() + 8, dayTail.end());
    EXPECT_EQ(File(DayPath), Expected(day, colours));
}

TEST_F(NightStage, DayModelDroppedAgainGivesItsOwnColours) {
    day = Put(DayPath, WithVertices(6));
    Drop(DayPath);
    Drop(DayPath);
    EXPECT_EQ(File(DayPath), Expected(day, Pattern(0, 6)));
    ExpectBackToDay();
}

TEST_F(NightStage, NightModelsExtensionsAreNotLookedAt) {
    ModelSpec night = Night(3);
    night.geometries[0].nightChunkIndex = 0;
    night.geometries[0].nightChunkVertices = 3;
    Merge(3, night);
    EXPECT_EQ(File(DayPath), Expected(day, Pattern(1, 3)));
    night.geometries[0].hasExtension = false;
    Merge(3, night);
    EXPECT_EQ(File(DayPath), Expected(day, Pattern(1, 3)));
}

// A night model cut inside its colours, or unreadable past a point: whole
// colours only, the rest as the day stage made them.
TEST_F(NightStage, CutColoursAreTakenWholeOnly) {
    ModelSpec cut = Night(4);
    cut.truncateAt = modelgen::LayoutOf(cut).firstGeometryData + 16 + 2 * 4 + 3;
    Merge(4, cut);
    EXPECT_EQ(File(DayPath), Expected(day, NightThenGrey(2, 4)));

    platform.readableUpTo[NightPath] = modelgen::LayoutOf(cut).firstGeometryData + 16 + 4 + 2;
    Merge(4, Night(4));
    EXPECT_EQ(File(DayPath), Expected(day, NightThenGrey(1, 4)));
    ExpectBackToDay();
}

// Refused night models abandon the sequence: the day model stays as it was.
TEST_F(NightStage, RefusedNightModelsEndTheSequence) {
    ModelSpec other = Night(3), flat = Night(3), inFlags = Night(3), inCount = Night(3);
    other.version = 0x1803FFFE;
    flat.geometries[0].prelit = false;
    inFlags.truncateAt = modelgen::LayoutOf(inFlags).firstGeometryData + 1;
    inCount.truncateAt = modelgen::LayoutOf(inCount).firstGeometryData + 9;
    const std::pair<ModelSpec, const char*> cases[] = {
        {other, " Error: RW Version ID doesn't match.\r\n"},
        {flat, " Error: File doesn't contain Vertex Color.\r\n"},
        {inFlags, " Error: File ends inside the geometry data.\r\n"},
        {inCount, " Error: File ends inside the geometry data.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        platform.log.clear();
        Merge(3, c.first);
        EXPECT_EQ(LogFrom("Drop night"),
                  "Drop night dff file.\r\n Opening file: " + std::string(NightPath) +
                      "\r\n Analyzing file...\r\n" + c.second + Ready);
        EXPECT_EQ(File(DayPath), day.bytes);
        ExpectBackToDay();
    }
}

TEST_F(NightStage, MissingNightModelGivesTheSystemsText) {
    day = Put(DayPath, WithVertices(3));
    Drop(DayPath);
    Drop("C:\\elsewhere\\night.dff");
    EXPECT_EQ(LogFrom("Drop night"),
              "Drop night dff file.\r\n Opening file: C:\\elsewhere\\night.dff\r\n"
              " Error: The system cannot find the path specified.\r\n" +
                  std::string(Ready));
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

}  // namespace
}  // namespace mergetest
