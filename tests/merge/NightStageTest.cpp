#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

struct NightStage : MergeTest {
    Model day;
    // Drops a day model of n vertices and then the night model (none: no
    // file) at path.
    void DropBoth(uint32_t n, const Bytes& night, const std::string& path = NightPath) {
        day = Put(DayPath, WithVertices(n));
        Drop(DayPath);
        ASSERT_EQ(sequence.state, merge::SequenceState::AwaitingNight);
        if (!night.empty()) platform.files[path] = night;
        Drop(path.c_str());
    }
};

// A night model of m vertices whose colours are geometry 1's pattern.
Bytes Night(uint32_t m, void (*change)(ModelShape&) = [](ModelShape&) {}) {
    ModelShape shape = WithVertices(m);
    shape.geometries[0].colours = Pattern(1, m);
    change(shape);
    return Build(shape);
}

const size_t NightData = modelgen::LayoutOf(ModelShape{}).firstGeometryData;

TEST_F(NightStage, ColoursComeFromTheNightModelAsFarAsBothHaveThem) {
    const std::string fewer = " Warning: Night DFF contains not enough vertex.\r\n";
    struct Case {
        const char* name;
        Bytes night;
        Bytes colours;  // expected in the day model of 5 vertices
        std::string log;  // after " Analyzing file..."
        bool copyDay = false;
        const char* path = NightPath;
    } cases[] = {
        {"Same", Night(5), Pattern(1, 5), " 5 vertex.\r\n"},
        {"Fewer", Night(3), Over(Grey(5), Pattern(1, 3)), " 3 vertex.\r\n" + fewer},
        {"FewerOverCopiedDayColours", Night(3), Over(Pattern(0, 5), Pattern(1, 3)),
         " 3 vertex.\r\n" + fewer, true},
        {"More", Night(8), Pattern(1, 5),
         " 8 vertex.\r\n Warning: Night DFF contains too much vertex.\r\n"},
        {"None", Night(0), Grey(5), " 0 vertex.\r\n" + fewer},
        // Cut inside its third colour: whole colours only.
        {"CutInColours",
         Night(5, [](ModelShape& s) { s.truncateAt = NightData + 16 + 2 * 4 + 3; }),
         Over(Grey(5), Pattern(1, 2)), " 5 vertex.\r\n"},
        // The night model's Extension is not looked at.
        {"WithOldNightChunk", Night(5, [](ModelShape& s) {
             s.geometries[0].nightChunkIndex = 0;
             s.geometries[0].nightChunkVertices = 1;
         }),
         Pattern(1, 5), " 5 vertex.\r\n"},
        {"WithoutExtension", Night(5, [](ModelShape& s) { s.geometries[0].hasExtension = false; }),
         Pattern(1, 5), " 5 vertex.\r\n"},
        {"TheDayModelDroppedAgain", Build(WithVertices(5)), Pattern(0, 5), " 5 vertex.\r\n", false,
         DayPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.log.clear();
        platform.checked[CopyDayColours] = c.copyDay;
        DropBoth(5, c.night, c.path);
        EXPECT_EQ(LogFrom("Drop night"),
                  "Drop night dff file.\r\n Opening file: " + std::string(c.path) +
                      "\r\n Analyzing file...\r\n" + c.log + "\r\nDFF created: " + DayPath +
                      "\r\n" + Ready);
        EXPECT_EQ(File(DayPath), Expected(day, c.colours));
        ExpectBackToDay();
    }
}

// Refused night models abandon the sequence: the day model stays as it was.
TEST_F(NightStage, RefusedNightModelsEndTheSequence) {
    const std::string analyzing =
        " Opening file: " + std::string(NightPath) + "\r\n Analyzing file...\r\n";
    const std::string inData = analyzing + " Error: File ends inside the geometry data.\r\n";
    const std::string tooLong = "C:\\" + std::string(300, 'n');
    const struct {
        Bytes night;
        std::string log;  // after "Drop night dff file."
        std::string path;
    } cases[] = {
        {Night(3, [](ModelShape& s) { s.version = 0x1803FFFE; }),
         analyzing + " Error: RW Version ID doesn't match.\r\n", NightPath},
        {Night(3, [](ModelShape& s) { s.geometries[0].prelit = false; }),
         analyzing + " Error: File doesn't contain Vertex Color.\r\n", NightPath},
        {Bytes{1, 2}, analyzing + " Error: File doesn't contain Clump.\r\n", NightPath},
        {Night(3, [](ModelShape& s) { s.truncateAt = NightData + 1; }), inData, NightPath},
        {Night(3, [](ModelShape& s) { s.truncateAt = NightData + 9; }), inData, NightPath},
        {{}, " Opening file: C:\\elsewhere\\night.dff\r\n"
             " Error: The system cannot find the path specified.\r\n", "C:\\elsewhere\\night.dff"},
        {{}, " Error: Path is longer than 259 characters.\r\n", tooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        platform.log.clear();
        DropBoth(3, c.night, c.path);
        EXPECT_EQ(LogFrom("Drop night"), "Drop night dff file.\r\n" + c.log + Ready);
        EXPECT_EQ(File(DayPath), day.bytes);
        ExpectBackToDay();
    }
}

}  // namespace
}  // namespace mergetest
