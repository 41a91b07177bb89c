// The in-process drop is one that the shell's own functions accept.
#include <gtest/gtest.h>

#include "tests/support/DropFiles.h"

#include <shellapi.h>

namespace {

std::string DroppedPath(HDROP drop, UINT index) {
    char path[MAX_PATH] = {};
    UINT length = DragQueryFileA(drop, index, path, sizeof path);
    return std::string(path, length);
}

}  // namespace

TEST(DropFilesTest, OnePath) {
    HDROP drop = testsupport::MakeDrop({"Z:\\tmp\\day model.dff"});
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 1u);
    EXPECT_EQ(DroppedPath(drop, 0), "Z:\\tmp\\day model.dff");
    POINT point = {};
    EXPECT_TRUE(DragQueryPoint(drop, &point));
    EXPECT_EQ(point.x, 20);
    EXPECT_EQ(point.y, 200);
    DragFinish(drop);
}

TEST(DropFilesTest, SeveralPathsInOrderAndALongOne) {
    std::string longPath = "C:\\" + std::string(255, 'd');
    HDROP drop = testsupport::MakeDrop({"C:\\a.dff", longPath, "C:\\c.dff"});
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 3u);
    EXPECT_EQ(DroppedPath(drop, 0), "C:\\a.dff");
    EXPECT_EQ(DroppedPath(drop, 1), longPath);
    EXPECT_EQ(DroppedPath(drop, 2), "C:\\c.dff");
    // The length of a path, as the drop handler asks for it before copying.
    EXPECT_EQ(DragQueryFileA(drop, 1, nullptr, 0), longPath.size());
    DragFinish(drop);
}
