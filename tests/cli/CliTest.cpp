// Runs the built tintweld-cli on generated models in a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "tools/modelgen/ModelGen.h"

namespace {

struct CliTest : ::testing::Test {
    void SetUp() override {
        char pattern[] = "/tmp/tintweld-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string Get(const std::string& name) const {
        std::ostringstream content;
        content << std::ifstream(dir + "/" + name, std::ios::binary).rdbuf();
        return content.str();
    }
    // A model of 3 vertices with these day colours (none: the pattern).
    void PutModel(const std::string& name, const std::string& colours = "") {
        modelgen::ModelShape shape;
        shape.geometries[0].colours.assign(colours.begin(), colours.end());
        ASSERT_TRUE(modelgen::WriteModelFile(shape, dir + "/" + name));
    }
    std::string NightColoursOf(const std::string& name) const {
        return Get(name).substr(modelgen::LayoutOf({}).firstExtensionEnd + 16, 12);
    }
    // Runs the tool in the temporary folder, so that names are relative;
    // returns its exit status, its output in out and err.
    int Cli(const std::string& arguments) {
        const std::string command =
            "cd '" + dir + "' && '" TINTWELD_CLI "' " + arguments + " >.out 2>.err";
        const int status = std::system(command.c_str());
        out = Get(".out");
        err = Get(".err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir, out, err;
};

TEST_F(CliTest, UsageErrorsAreOneLineOnStderrWithStatus2) {
    for (const char* arguments :
         {"", "--bogus a.dff", "--rgba 1,2,3 a.dff", "--night n.dff a.dff b.dff"}) {
        EXPECT_EQ(Cli(arguments), 2) << arguments;
        EXPECT_EQ(out, "") << arguments;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << arguments;
    }
    EXPECT_EQ(Cli("-h"), 0);
    EXPECT_EQ(out.rfind("Usage: tintweld-cli", 0), 0u);
}

TEST_F(CliTest, BadFilesInABatchFailOnlyThemselves) {
    PutModel("good1.dff", "abcdefghijkl");
    std::ofstream(dir + "/junk.dff") << "not a model";
    PutModel("good2.dff");
    EXPECT_EQ(Cli("good1.dff junk.dff missing.dff good2.dff"), 1);
    EXPECT_NE(out.find("\nDFF created: " + dir + "/good1.dff\n"), std::string::npos);
    EXPECT_NE(out.find("\nDFF created: " + dir + "/good2.dff\n"), std::string::npos);
    EXPECT_NE(out.find(" Error: No such file or directory\n"), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(err, "");
    EXPECT_EQ(NightColoursOf("good2.dff"), "@@@\xFF@@@\xFF@@@\xFF");
    EXPECT_EQ(Cli("good1.dff"), 1);  // already has night colours
    EXPECT_EQ(Cli("-ac -- good1.dff"), 0);
    EXPECT_EQ(NightColoursOf("good1.dff"), "abcdefghijkl");
}

TEST_F(CliTest, DffFolderLeavesTheDayModelAndFieldTextsGiveTheColours) {
    PutModel("day.dff");
    const std::string before = Get("day.dff");
    EXPECT_EQ(Cli("--dff-folder day.dff '--rgba=1,2,-1,&HFF'"), 0);  // options after names too
    EXPECT_EQ(Get("day.dff"), before);
    EXPECT_EQ(NightColoursOf("dff/day.dff"), std::string("\1\2\xFF\xFF\1\2\xFF\xFF\1\2\xFF\xFF"));
    EXPECT_NE(out.find("DFF created: " + dir + "/dff/day.dff"), std::string::npos);
}

TEST_F(CliTest, NightModelGivesTheColoursAndARefusedDayStopsThePair) {
    PutModel("day.dff");
    PutModel("night.dff", "999988887777");
    const std::string night = Get("night.dff");
    EXPECT_EQ(Cli("--night night.dff day.dff"), 0);
    EXPECT_EQ(NightColoursOf("day.dff"), "999988887777");
    std::ofstream(dir + "/junk.dff") << "not a model";
    EXPECT_EQ(Cli("-n night.dff junk.dff"), 1);
    EXPECT_EQ(Get("night.dff"), night);  // never taken as a day model
}

}  // namespace
