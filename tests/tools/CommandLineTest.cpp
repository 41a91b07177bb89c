#include "tools/modelgen/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::string>;

std::string Refusal(const Arguments& arguments) {
    modelgen::CommandLine line;
    std::string error;
    EXPECT_FALSE(modelgen::ParseCommandLine(arguments, &line, &error));
    return error;
}

TEST(CommandLine, OptionsShapeTheModel) {
    modelgen::CommandLine line;
    std::string error;
    ASSERT_TRUE(modelgen::ParseCommandLine({"--vertices=9", "--geometries", "2", "--plugin", "0x116:4",
                                            "--night-chunk", "1:5", "--version", "1803fffe",
                                            "--colour", "64,64,64,255", "--truncate", "100", "out.dff"},
                                           &line, &error))
        << error;
    const modelgen::ModelSpec& shape = line.shape;
    EXPECT_EQ(line.outputPath, "out.dff");
    ASSERT_EQ(shape.geometries.size(), 2u);
    EXPECT_EQ(shape.geometries[1].vertexCount, 9u);
    EXPECT_EQ(shape.geometries[1].triangleCount, 3u);
    EXPECT_EQ(shape.geometries[1].plugins[0].type, 0x116u);
    EXPECT_EQ(shape.geometries[1].plugins[0].payload.size(), 4u);
    EXPECT_EQ(shape.geometries[0].nightChunkIndex, 1);
    EXPECT_EQ(shape.geometries[1].nightChunkIndex, -1);  // the first geometry only
    EXPECT_EQ(shape.geometries[0].colours.size(), 36u);
    EXPECT_EQ(shape.geometries[0].colours[35], 255);
    EXPECT_EQ(shape.version, 0x1803FFFEu);
    EXPECT_EQ(shape.truncateAt, 100u);
}

TEST(CommandLine, UsageErrorsSayWhat) {
    EXPECT_EQ(Refusal({}), "no output file given");
    EXPECT_EQ(Refusal({"a.dff", "b.dff"}), "more than one output file given");
    EXPECT_EQ(Refusal({"--vertices"}), "option '--vertices' needs a value");
    EXPECT_EQ(Refusal({"--vertices", "-3", "a.dff"}), "invalid value '-3' for option '--vertices'");
    EXPECT_EQ(Refusal({"--vertices", "4294967296", "a.dff"}), "invalid value '4294967296' for option '--vertices'");
    EXPECT_EQ(Refusal({"--colour", "1,2,256,4", "a.dff"}), "invalid value '1,2,256,4' for option '--colour'");
    EXPECT_EQ(Refusal({"--plugin", "116", "a.dff"}), "invalid value '116' for option '--plugin'");
    EXPECT_EQ(Refusal({"--no-prelit=yes", "a.dff"}), "option '--no-prelit' takes no value");
    EXPECT_EQ(Refusal({"-x", "a.dff"}), "unknown option '-x'");
    EXPECT_EQ(Refusal({"--night-chunk", "1:3", "a.dff"}), "night chunk index 1 is past the 0 plugin(s)");
}

TEST(CommandLine, HelpAndPathsThatLookLikeOptions) {
    modelgen::CommandLine line;
    std::string error;
    ASSERT_TRUE(modelgen::ParseCommandLine({"--", "-odd.dff"}, &line, &error));
    EXPECT_EQ(line.outputPath, "-odd.dff");
    ASSERT_TRUE(modelgen::ParseCommandLine({"--help"}, &line, &error));
    EXPECT_TRUE(line.help);
}

}  // namespace
