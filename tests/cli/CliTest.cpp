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

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tintweld-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string Get(const std::string& name) const {
        std::ostringstream content;
        content << std::ifstream(Path(name), std::ios::binary).rdbuf();
        return content.str();
    }
    // A day model of 3 vertices; remembers where the night colours will go.
    void PutModel(const std::string& name, modelgen::Bytes colours = {}) {
        modelgen::ModelSpec shape;
        shape.geometries[0].colours = colours;
        nightColours = modelgen::BuildModel(shape).layout.firstExtensionEnd + 16;
        ASSERT_TRUE(modelgen::WriteModelFile(shape, Path(name)));
    }
    std::string NightColoursOf(const std::string& name) const {
        return Get(name).substr(nightColours, 12);
    }
    // Runs the tool in the temporary folder, so that names are relative.
    Outcome Cli(const std::string& arguments) {
        std::string command = "cd '" + dir + "' && '" TINTWELD_CLI "' " + arguments +
                              " >.out 2>.err";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Get(".out"), Get(".err")};
    }

    std::string dir;
    size_t nightColours = 0;
};

TEST_F(CliTest, UsageErrorsAreOneLineOnStderrWithStatus2) {
    for (const char* arguments :
         {"", "--bogus a.dff", "-x a.dff", "--rgba 1,2,3 a.dff", "--rgba", "--night n.dff a.dff b.dff",
          "--copy-day=yes a.dff"}) {
        Outcome run = Cli(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << arguments;
    }
    Outcome help = Cli("-h");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: tintweld-cli", 0), 0u);
}

TEST_F(CliTest, BadFilesInABatchFailOnlyThemselves) {
    PutModel("good1.dff");
    std::ofstream(Path("junk.dff")) << "not a model";
    PutModel("good2.dff");
    std::string before = Get("good2.dff");
    Outcome run = Cli("good1.dff junk.dff missing.dff good2.dff");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Get("good2.dff").size(), before.size() + 16 + 12);
    EXPECT_NE(run.out.find("\nDFF created: " + Path("good1.dff") + "\n"), std::string::npos);
    EXPECT_NE(run.out.find("\nDFF created: " + Path("good2.dff") + "\n"), std::string::npos);
    EXPECT_NE(run.out.find(" Error: No such file or directory\n"), std::string::npos);
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, ColoursComeFromTheFieldTextsOrTheDayModel) {
    PutModel("a.dff");
    EXPECT_EQ(Cli("a.dff '--rgba=1,2,-1,&HFF'").status, 0);  // options after names too
    std::string colour("\x01\x02\xFF\xFF", 4);
    EXPECT_EQ(NightColoursOf("a.dff"), colour + colour + colour);

    EXPECT_EQ(Cli("a.dff").status, 1);  // already has night colours
    modelgen::Bytes day = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    PutModel("b.dff", day);
    EXPECT_EQ(Cli("-ac -- b.dff").status, 0);
    EXPECT_EQ(NightColoursOf("b.dff"), std::string(day.begin(), day.end()));
}

TEST_F(CliTest, DffFolderLeavesTheDayModel) {
    PutModel("day.dff");
    std::string before = Get("day.dff");
    Outcome run = Cli("--dff-folder day.dff");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Get("day.dff"), before);
    EXPECT_EQ(Get("dff/day.dff").size(), before.size() + 28);
    EXPECT_NE(run.out.find("DFF created: " + Path("dff/day.dff")), std::string::npos);
}

TEST_F(CliTest, NightModelGivesTheColoursAndARefusedDayStopsThePair) {
    PutModel("day.dff");
    modelgen::Bytes night = {9, 9, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7};
    PutModel("night.dff", night);
    std::string nightBefore = Get("night.dff");
    EXPECT_EQ(Cli("--night night.dff day.dff").status, 0);
    EXPECT_EQ(NightColoursOf("day.dff"), std::string(night.begin(), night.end()));
    EXPECT_EQ(Get("night.dff"), nightBefore);

    std::ofstream(Path("junk.dff")) << "not a model";
    EXPECT_EQ(Cli("-n night.dff junk.dff").status, 1);
    EXPECT_EQ(Get("night.dff"), nightBefore);  // never taken as a day model
}

}  // namespace
