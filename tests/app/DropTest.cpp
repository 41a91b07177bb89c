// Drops delivered to MainWindow as the shell delivers them: the whole drop
// sequence in this process, with real files in a temporary folder.
#include "WindowFixture.h"

#include <fstream>
#include <iterator>

#include "app/Drop.h"
#include "merge/Controls.h"
#include "tests/support/ChunkTree.h"
#include "tests/support/DropFiles.h"
#include "tools/modelgen/ModelGen.h"

namespace {

using modelgen::Bytes;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

modelgen::Model MakeModel(uint32_t vertices, const Bytes& colours = {}) {
    modelgen::ModelShape shape;
    shape.geometries[0].vertexCount = vertices;
    shape.geometries[0].colours = colours;
    return modelgen::BuildModel(shape);
}

// The day model as the tool must write it: the same model with a night
// colour chunk of these colours as the last child of its first Extension.
Bytes Merged(uint32_t vertices, const Bytes& nightColours) {
    modelgen::ModelShape shape;
    shape.geometries[0].vertexCount = vertices;
    shape.geometries[0].nightChunkIndex = 0;
    shape.geometries[0].nightChunkVertices = vertices;
    modelgen::Model merged = modelgen::BuildModel(shape);
    size_t colours = merged.layout.nightChunk + 16;
    std::copy(nightColours.begin(), nightColours.end(), merged.bytes.begin() + colours);
    return merged.bytes;
}

Bytes Repeat(std::initializer_list<uint8_t> colour, uint32_t count) {
    Bytes bytes;
    for (uint32_t i = 0; i < count; ++i) bytes.insert(bytes.end(), colour);
    return bytes;
}

void Tick(int id, bool ticked = true) {
    SendMessageA(Control(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

class DropTest : public MainWindowTest {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tintweld-drop-" + std::to_string(GetCurrentProcessId()) +
                 "-" + testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder.c_str(), nullptr);
        day = folder + "\\day model.dff";
        night = folder + "\\night.dff";
        MainWindowTest::SetUp();
    }

    void TearDown() override {
        MainWindowTest::TearDown();
        // A test that ends while a night model is awaited leaves its blocks
        // to the next test's sequence: start every test afresh.
        Sequence = merge::DropSequence{};
        std::string command = "cmd /c rmdir /s /q \"" + folder + "\" >nul 2>nul";
        system(command.c_str());
    }

    LRESULT Drop(const std::string& path) {
        return testsupport::DropFiles(MainWindowHandle, {path});
    }

    bool OneFileModeEnabled() { return IsWindowEnabled(Control(merge::IdOneFileMode)) != FALSE; }

    std::string folder, day, night;
};

TEST_F(DropTest, OneFileModeWritesOverTheDayModelInTheSameDrop) {
    WriteFile(day, MakeModel(5).bytes);
    Tick(merge::IdOneFileMode);
    EXPECT_EQ(Drop(day), 0);
    EXPECT_EQ(LogText(),
              "Ready. Drop day dff file.\r\n"
              " Opening file: " + day + "\r\n"
              " Analyzing file...\r\n"
              " 5 vertex.\r\n"
              "\r\nDFF created: " + day + "\r\n"
              "\r\nReady. Drop day dff file.\r\n");
    EXPECT_EQ(ReadFile(day), Merged(5, Repeat({64, 64, 64, 255}, 5)));
    EXPECT_TRUE(OneFileModeEnabled());
}

TEST_F(DropTest, TwoFileModeTakesTheNightColoursAndTheOptionsOfEachMoment) {
    modelgen::Model dayModel = MakeModel(4);
    WriteFile(day, dayModel.bytes);
    WriteFile(night, MakeModel(2, Repeat({1, 2, 3, 4}, 2)).bytes);
    SetWindowTextA(Control(merge::IdFieldR), "&H10");
    Drop(day);
    EXPECT_FALSE(OneFileModeEnabled());
    EXPECT_NE(LogText().find(" 4 vertex.\r\n\r\nDrop night dff file.\r\n"), std::string::npos);

    // Read in the day stage, so changed afterwards they have no effect...
    SetWindowTextA(Control(merge::IdFieldR), "99");
    Tick(merge::IdCopyDayColours);
    // ...while the folder is read when the output is written.
    Tick(merge::IdOutputInDffFolder);
    Drop(night);

    std::string output = folder + "\\dff\\day model.dff";
    Bytes colours = Repeat({1, 2, 3, 4}, 2);
    Bytes fallback = Repeat({16, 64, 64, 255}, 2);
    colours.insert(colours.end(), fallback.begin(), fallback.end());
    EXPECT_EQ(ReadFile(output), Merged(4, colours));
    EXPECT_EQ(ReadFile(day), dayModel.bytes);
    EXPECT_NE(LogText().find(" Opening file: " + night + "\r\n Analyzing file...\r\n 2 vertex.\r\n"
                             " Warning: Night DFF contains not enough vertex.\r\n"
                             "\r\nDFF created: " + output + "\r\n"
                             "\r\nReady. Drop day dff file.\r\n"),
              std::string::npos);
    EXPECT_TRUE(OneFileModeEnabled());
}

TEST_F(DropTest, TheDffFolderIsUsedWhetherAbsentPresentOrHoldingTheFile) {
    Tick(merge::IdOneFileMode);
    Tick(merge::IdOutputInDffFolder);
    std::string output = folder + "\\dff\\day model.dff";
    for (int round = 0; round < 3; ++round) {
        if (round == 2) WriteFile(output, Bytes(7, 0xEE));
        WriteFile(day, MakeModel(3).bytes);
        Drop(day);
        EXPECT_EQ(ReadFile(output), Merged(3, Repeat({64, 64, 64, 255}, 3))) << "round " << round;
        EXPECT_EQ(ReadFile(day), MakeModel(3).bytes);
    }
}

TEST_F(DropTest, OnlyTheFirstFileOfADropIsTaken) {
    WriteFile(day, MakeModel(3).bytes);
    WriteFile(night, MakeModel(3).bytes);
    Tick(merge::IdOneFileMode);
    testsupport::DropFiles(MainWindowHandle, {day, night});
    EXPECT_EQ(ReadFile(night), MakeModel(3).bytes);
    EXPECT_EQ(LogText().find(night), std::string::npos);
    EXPECT_EQ(ReadFile(day).size(), MakeModel(3).bytes.size() + 16 + 12);
}

TEST_F(DropTest, AFailedNightModelEndsTheSequenceAndTheNextDropIsADay) {
    WriteFile(day, MakeModel(3).bytes);
    Drop(day);
    Drop(folder + "\\missing.dff");
    EXPECT_NE(LogText().find(" Opening file: " + folder + "\\missing.dff\r\n"
                             " Error: File not found.\r\n"
                             "\r\nReady. Drop day dff file.\r\n"),
              std::string::npos)
        << LogText();
    EXPECT_TRUE(OneFileModeEnabled());
    EXPECT_EQ(Sequence.state, merge::SequenceState::AwaitingDay);
    EXPECT_EQ(ReadFile(day), MakeModel(3).bytes);
}

TEST_F(DropTest, AModelTooLongToNameIsRefusedWhole) {
    std::string longPath = folder + "\\" + std::string(300 - folder.size(), 'x') + ".dff";
    Drop(longPath);
    EXPECT_EQ(LogText(),
              "Ready. Drop day dff file.\r\n"
              " Error: Path is longer than 259 characters.\r\n"
              "\r\nReady. Drop day dff file.\r\n");
}

TEST_F(DropTest, WrittenModelsAreWellFormedChunkTrees) {
    WriteFile(day, MakeModel(50).bytes);
    Tick(merge::IdOneFileMode);
    Drop(day);
    Bytes written = ReadFile(day);
    std::string why;
    EXPECT_TRUE(testsupport::CheckChunkTree(written.data(), written.size(), &why)) << why;
}

}  // namespace
