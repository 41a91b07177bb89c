#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using Sequence = MergeTest;

TEST_F(Sequence, TwoFileLogLineByLine) {
    platform.AppendLog("Ready. Drop day dff file.\r\n");  // the window's first line
    platform.checked[AlwaysMerge] = true;
    Put(DayPath, WithOldChunk(0, 4));
    Put(NightPath, WithVertices(6));
    Drop(DayPath);
    EXPECT_FALSE(platform.enabled[OneFileMode]);
    Drop(NightPath);
    EXPECT_EQ(platform.log,
              "Ready. Drop day dff file.\r\n"
              " Opening file: C:\\models\\car.dff\r\n"
              " Analyzing file...\r\n"
              " 4 vertex.\r\n"
              " Warning: File already contain Night Vertex Color.\r\n"
              "\r\n"
              "Drop night dff file.\r\n"
              " Opening file: C:\\models\\car_night.dff\r\n"
              " Analyzing file...\r\n"
              " 6 vertex.\r\n"
              " Warning: Night DFF contains too much vertex.\r\n"
              "\r\n"
              "DFF created: C:\\models\\car.dff\r\n"
              "\r\n"
              "Ready. Drop day dff file.\r\n");
    ExpectBackToDay();
}

// The day stage's options count as they were at the day drop; the dff box as
// it is when the output is written.
TEST_F(Sequence, OptionsAreReadWhenTheirStageRuns) {
    platform.checked[AlwaysMerge] = true;
    Model day = Put(DayPath, WithOldChunk(1, 4));
    Put(NightPath, WithVertices(1));
    Drop(DayPath);
    platform.checked[AlwaysMerge] = false;
    platform.checked[CopyDayColours] = true;
    platform.texts[merge::IdFieldR] = "1";
    platform.checked[OneFileMode] = true;  // cannot happen in the window: it is disabled
    platform.checked[OutputInDffFolder] = true;
    Drop(NightPath);
    EXPECT_EQ(File("C:\\models\\dff\\car.dff"), Expected(day, Over(Grey(4), Pattern(0, 1))));
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

}  // namespace
}  // namespace mergetest
