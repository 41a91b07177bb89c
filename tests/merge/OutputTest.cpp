#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using testsupport::Operation;
using testsupport::SystemError;

const char* const InDff = "C:\\models\\dff\\car.dff";

struct Output : MergeTest {
    Model day = Put(DayPath, WithVertices(3));
    Output() { platform.checked[OneFileMode] = true; }
    void ExpectCreated(const std::string& path) {
        EXPECT_EQ(LogFrom("\r\nDFF created"), "\r\nDFF created: " + path + "\r\n" + Ready);
        EXPECT_EQ(platform.files[path], Expected(day, Grey(3)));
    }
};

// Temporary names that exist are skipped and kept; the target is replaced.
TEST_F(Output, OverwritesTheDayModelThroughAFreeTemporaryName) {
    platform.files["C:\\models\\car.df~"] = Bytes{7};
    platform.files["C:\\models\\car.df0"] = Bytes{8};
    auto expected = platform.files;
    expected[DayPath] = Expected(day, Grey(3));
    Drop(DayPath);
    ExpectCreated(DayPath);
    EXPECT_EQ(platform.files, expected);
    ExpectBackToDay();
}

TEST_F(Output, GoesIntoADffFolderBesideTheDayModel) {
    platform.checked[OutputInDffFolder] = true;
    Drop(DayPath);  // folder absent: created
    ExpectCreated(InDff);
    platform.files[InDff] = Bytes{1, 2, 3};
    Drop(DayPath);  // folder and file present: replaced
    ExpectCreated(InDff);
    EXPECT_EQ(File(DayPath), day.bytes);
    EXPECT_EQ(platform.files.size(), 2u);
    const std::pair<const char*, const char*> others[] = {
        {"C:\\car.dff", "C:\\dff\\car.dff"},
        {"C:\\a.b\\c d\\car.dff", "C:\\a.b\\c d\\dff\\car.dff"},
        {"/srv/models/car.dff", "/srv/models/dff/car.dff"},
        {"car.dff", "dff/car.dff"},
    };
    for (const auto& c : others) {
        SCOPED_TRACE(c.first);
        platform.files[c.first] = day.bytes;
        Drop(c.first);
        ExpectCreated(c.second);
    }
    ExpectBackToDay();
}

TEST_F(Output, PathsUpToTheLimitWorkAndLongerOnesAreRefusedNotCut) {
    const std::string folder = "C:\\" + std::string(240, 'f') + "\\";
    const std::string fits = folder + std::string(11, 'n') + ".dff";  // 259
    platform.files[fits] = day.bytes;
    Drop(fits.c_str());
    ExpectCreated(fits);
    platform.log.clear();
    Drop((fits + "x").c_str());  // refused whole: cut, it would name the other file
    EXPECT_EQ(platform.log, " Error: Path is longer than 259 characters.\r\n" + std::string(Ready));
    platform.checked[OutputInDffFolder] = true;
    const std::string fitsInDff = folder + std::string(7, 'n') + ".dff";  // 255
    platform.files[fitsInDff] = day.bytes;
    Drop(fitsInDff.c_str());
    ExpectCreated(folder + "dff\\" + std::string(7, 'n') + ".dff");
    const std::string tooLong = folder + std::string(8, 'n') + ".dff";  // 256
    platform.files[tooLong] = day.bytes;
    const auto before = platform.files;
    Drop(tooLong.c_str());
    EXPECT_EQ(LogFrom(" 3 vertex."),
              " 3 vertex.\r\n Error: Output path is longer than 259 characters.\r\n" +
                  std::string(Ready));
    EXPECT_EQ(platform.files, before);
    ExpectBackToDay();
}

// A failed output never costs the target: the image goes to a temporary file
// first, moved over the target only when it is whole. After a failure: the
// system's text, no "DFF created", every file as it was, no temporary left.
TEST_F(Output, FailuresLeaveEveryFileAsItWas) {
    const struct {
        Operation op;  // Count: none fails, the target is read-only
        SystemError error;
        const char* text;
    } cases[] = {
        {Operation::Write, SystemError::DiskFull, "There is not enough space on the disk."},
        {Operation::CloseOutput, SystemError::DiskFull, "There is not enough space on the disk."},
        {Operation::Replace, SystemError::SharingViolation,
         "The process cannot access the file because it is being used by another process."},
        {Operation::Count, SystemError::None, "Access is denied."},
        // A folder that cannot be made shows when the file is created in it.
        {Operation::MakeDirectory, SystemError::AccessDenied,
         "The system cannot find the path specified."},
    };
    const auto before = platform.files;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.op == Operation::Count) platform.readOnly = {DayPath};
        else platform.FailCall(c.op, platform.calls[static_cast<int>(c.op)] + 1, c.error);
        platform.checked[OutputInDffFolder] = c.op == Operation::MakeDirectory;
        Drop(DayPath);
        EXPECT_EQ(LogFrom(" 3 vertex."),
                  " 3 vertex.\r\n Error: " + std::string(c.text) + "\r\n" + Ready);
        EXPECT_EQ(platform.files, before);
        ExpectBackToDay();
        platform.readOnly.clear();
    }
}

}  // namespace
}  // namespace mergetest
