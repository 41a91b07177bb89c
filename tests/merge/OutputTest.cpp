#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using testsupport::Operation;
using testsupport::SystemError;

struct Output : MergeTest {
    Model day;
    Output() {
        day = Put(DayPath, WithVertices(3));
        platform.checked[OneFileMode] = true;
    }
    Bytes Merged() { return Expected(day, Repeat({64, 64, 64, 255}, 3)); }
    void ExpectCreated(const std::string& path) {
        EXPECT_EQ(LogFrom("\r\nDFF created"), "\r\nDFF created: " + path + "\r\n" + Ready);
        EXPECT_EQ(platform.files[path], Merged());
    }
    // A failed output: the system's text, no "DFF created", the target and
    // every other file as they were, no temporary file left.
    void ExpectFailedWith(const std::string& error, const std::map<std::string, Bytes>& before) {
        EXPECT_EQ(LogFrom(" 3 vertex."), " 3 vertex.\r\n Error: " + error + "\r\n" + Ready);
        EXPECT_EQ(platform.files, before);
        ExpectBackToDay();
    }
};

TEST_F(Output, OverwritesTheDayModel) {
    Drop(DayPath);
    ExpectCreated(DayPath);
    EXPECT_EQ(platform.files.size(), 1u);
    ExpectBackToDay();
}

TEST_F(Output, GoesIntoADffFolderBesideTheDayModel) {
    platform.checked[OutputInDffFolder] = true;
    Drop(DayPath);  // folder absent: created
    ExpectCreated("C:\\models\\dff\\car.dff");
    EXPECT_EQ(File(DayPath), day.bytes);
    platform.files["C:\\models\\dff\\car.dff"] = Bytes{1, 2, 3};
    platform.log.clear();
    Drop(DayPath);  // folder and file present: replaced
    ExpectCreated("C:\\models\\dff\\car.dff");
    EXPECT_EQ(platform.files.size(), 2u);
    ExpectBackToDay();
}

TEST_F(Output, DffFolderIsBuiltFromTheLastSeparator) {
    platform.checked[OutputInDffFolder] = true;
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\car.dff", "C:\\dff\\car.dff"},
        {"C:\\a.b\\c d\\car.dff", "C:\\a.b\\c d\\dff\\car.dff"},
        {"/srv/models/car.dff", "/srv/models/dff/car.dff"},
        {"car.dff", "dff/car.dff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        platform.files[c.first] = day.bytes;
        platform.log.clear();
        Drop(c.first);
        ExpectCreated(c.second);
        EXPECT_EQ(platform.files[c.first], day.bytes);
    }
}

TEST_F(Output, PathsUpToTheLimitWorkAndLongerOnesAreRefused) {
    const std::string folder = "C:\\" + std::string(240, 'f');
    const std::string fits = folder + "\\" + std::string(11, 'n') + ".dff";  // 259
    platform.files[fits] = day.bytes;
    Drop(fits.c_str());
    ExpectCreated(fits);

    platform.checked[OutputInDffFolder] = true;
    const std::string fitsInDff = folder + "\\" + std::string(7, 'n') + ".dff";  // 255
    platform.files[fitsInDff] = day.bytes;
    Drop(fitsInDff.c_str());
    ExpectCreated(folder + "\\dff\\" + std::string(7, 'n') + ".dff");

    const std::string tooLong = folder + "\\" + std::string(8, 'n') + ".dff";  // 256
    platform.files[tooLong] = day.bytes;
    const auto before = platform.files;
    Drop(tooLong.c_str());
    EXPECT_EQ(LogFrom(" 3 vertex."),
              " 3 vertex.\r\n Error: Output path is longer than 259 characters.\r\n" +
                  std::string(Ready));
    EXPECT_EQ(platform.files, before);
    ExpectBackToDay();
}

// A failed write never costs the target: the image goes to a temporary file
// first, which is moved over the target only when it is whole.
TEST_F(Output, FailedWriteLeavesTheDayModelAsItWas) {
    const auto before = platform.files;
    platform.FailCall(Operation::Write, 1, SystemError::DiskFull);
    Drop(DayPath);
    ExpectFailedWith("There is not enough space on the disk.", before);
    EXPECT_EQ(platform.deleted.size(), 1u);
}

TEST_F(Output, FailedCloseOrReplaceLeavesTheTargetAsItWas) {
    const auto before = platform.files;
    platform.FailCall(Operation::CloseOutput, 1, SystemError::DiskFull);
    Drop(DayPath);
    ExpectFailedWith("There is not enough space on the disk.", before);
    platform.log.clear();
    platform.FailCall(Operation::Replace, 1, SystemError::SharingViolation);
    Drop(DayPath);
    ExpectFailedWith(
        "The process cannot access the file because it is being used by another process.", before);
}

TEST_F(Output, ReadOnlyTargetIsRefused) {
    platform.readOnly.insert(DayPath);
    const auto before = platform.files;
    Drop(DayPath);
    ExpectFailedWith("Access is denied.", before);
}

TEST_F(Output, TemporaryNamesThatExistAreSkippedAndKept) {
    platform.files["C:\\models\\car.df~"] = Bytes{7};
    platform.files["C:\\models\\car.df0"] = Bytes{8};
    Drop(DayPath);
    ExpectCreated(DayPath);
    EXPECT_EQ(File("C:\\models\\car.df~"), Bytes{7});
    EXPECT_EQ(File("C:\\models\\car.df0"), Bytes{8});
    EXPECT_EQ(platform.files.size(), 3u);
}

TEST_F(Output, UncreatableFolderShowsWhenTheFileIsCreated) {
    platform.checked[OutputInDffFolder] = true;
    platform.FailCall(Operation::MakeDirectory, 1, SystemError::AccessDenied);
    const auto before = platform.files;
    Drop(DayPath);
    ExpectFailedWith("The system cannot find the path specified.", before);
}

TEST_F(Output, DffBoxIsReadWhenTheOutputIsWritten) {
    platform.checked[OneFileMode] = false;
    Drop(DayPath);
    platform.checked[OutputInDffFolder] = true;
    platform.files[NightPath] = day.bytes;
    Drop(NightPath);
    EXPECT_EQ(platform.files["C:\\models\\dff\\car.dff"], Expected(day, Pattern(0, 3)));
    EXPECT_EQ(File(DayPath), day.bytes);
}

}  // namespace
}  // namespace mergetest
