#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using Sequence = MergeTest;

std::vector<std::string> Lines(const std::string& log) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = log.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(log.substr(from, end - from));
    EXPECT_EQ(from, log.size()) << "the log ends inside a line";
    return lines;
}

TEST_F(Sequence, TwoFileLogLineByLine) {
    platform.AppendLog("Ready. Drop day dff file.\r\n");  // the window's first line
    platform.checked[AlwaysMerge] = true;
    ModelSpec day = WithVertices(4);
    day.geometries[0].nightChunkIndex = 0;
    day.geometries[0].nightChunkVertices = 4;
    Put(DayPath, day);
    Put(NightPath, WithVertices(6));
    Drop(DayPath);
    EXPECT_FALSE(platform.enabled[OneFileMode]);
    EXPECT_EQ(sequence.state, merge::SequenceState::AwaitingNight);
    Drop(NightPath);
    const std::vector<std::string> expected = {
        "Ready. Drop day dff file.",
        std::string(" Opening file: ") + DayPath,
        " Analyzing file...",
        " 4 vertex.",
        " Warning: File already contain Night Vertex Color.",
        "",
        "Drop night dff file.",
        std::string(" Opening file: ") + NightPath,
        " Analyzing file...",
        " 6 vertex.",
        " Warning: Night DFF contains too much vertex.",
        "",
        std::string("DFF created: ") + DayPath,
        "",
        "Ready. Drop day dff file.",
    };
    EXPECT_EQ(Lines(platform.log), expected);
    ExpectBackToDay();
}

TEST_F(Sequence, OneFileModeNeverAsksForTheNightModel) {
    MergeOneFile(WithVertices(2));
    const std::vector<std::string> expected = {std::string(" Opening file: ") + DayPath,
                                               " Analyzing file...",
                                               " 2 vertex.",
                                               "",
                                               std::string("DFF created: ") + DayPath,
                                               "",
                                               "Ready. Drop day dff file."};
    EXPECT_EQ(Lines(platform.log), expected);
    ExpectBackToDay();
}

// The day stage's options count as they were at the day drop.
TEST_F(Sequence, OptionsChangedWhileWaitingForTheNightModelDoNotCount) {
    ModelSpec shape = WithVertices(3);
    shape.geometries[0].nightChunkIndex = 0;
    shape.geometries[0].nightChunkVertices = 3;
    platform.checked[AlwaysMerge] = true;
    Model day = Put(DayPath, shape);
    Put(NightPath, WithVertices(1));
    Drop(DayPath);
    platform.checked[AlwaysMerge] = false;
    platform.checked[CopyDayColours] = true;
    platform.texts[FieldR] = "1";
    platform.checked[OneFileMode] = true;  // cannot happen in the window: it is disabled
    Drop(NightPath);
    Bytes colours = Pattern(0, 1);
    const Bytes grey = Repeat({64, 64, 64, 255}, 2);
    colours.insert(colours.end(), grey.begin(), grey.end());
    EXPECT_EQ(File(DayPath), Expected(day, colours));
    ExpectBackToDay();
}

TEST_F(Sequence, DayFailureLeavesTheBoxAndTheNextDropIsADayAgain) {
    Put(DayPath, WithVertices(3));
    platform.files[NightPath] = Bytes{1, 2};
    Drop(NightPath);  // as a day model: refused
    EXPECT_EQ(platform.calls[static_cast<int>(testsupport::Operation::Allocate)], 0);
    Drop(DayPath);
    Drop(NightPath);  // as the night model: refused, the sequence is abandoned
    EXPECT_EQ(LogFrom(" Analyzing"),
              " Analyzing file...\r\n Error: File doesn't contain Clump.\r\n" + std::string(Ready));
    ExpectBackToDay();
    Drop(DayPath);
    EXPECT_EQ(sequence.state, merge::SequenceState::AwaitingNight);
}

TEST_F(Sequence, TooLongNightPathAbandonsTheSequence) {
    Model day = Put(DayPath, WithVertices(3));
    Drop(DayPath);
    Drop(("C:\\" + std::string(300, 'n')).c_str());
    EXPECT_EQ(LogFrom("Drop night"),
              "Drop night dff file.\r\n Error: Path is longer than 259 characters.\r\n" +
                  std::string(Ready));
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

TEST_F(Sequence, AnyStateButAwaitingDayMeansTheNightStage) {
    Model day = Put(DayPath, WithVertices(3));
    Drop(DayPath);
    sequence.state = static_cast<merge::SequenceState>(7);
    Drop(DayPath);
    EXPECT_EQ(File(DayPath), Expected(day, Pattern(0, 3)));
    ExpectBackToDay();
}

}  // namespace
}  // namespace mergetest
