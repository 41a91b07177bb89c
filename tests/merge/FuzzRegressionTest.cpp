// What the merge fuzzer found, each reduced to the smallest model that shows
// it.
#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using Regression = MergeTest;

// The first Geometry's Extension claimed 2 bytes past the Geometry's end:
// the new chunk went in there, inside the next chunk's header, and a model
// that had been a consistent tree came out broken.
TEST_F(Regression, ExtensionRunningPastItsGeometryIsRefused) {
    ModelShape shape;
    shape.geometries.push_back(modelgen::GeometryShape{});
    Model day = modelgen::BuildModel(shape);
    Set32(day.bytes, day.layout.firstExtension + 4,
          Get32(day.bytes, day.layout.firstExtension + 4) + 2);
    platform.files[DayPath] = day.bytes;
    platform.checked[OneFileMode] = true;
    Drop(DayPath);
    EXPECT_NE(platform.log.find(" Error: "), std::string::npos);
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

// A read of the night colours that came up short of the file's size (a
// read error, not a file that ends early) was taken for the end of the
// file: the output was written, the missing colours the day stage's.
TEST_F(Regression, NightColoursThatCannotBeReadAbandonTheSequence) {
    Model day = Put(DayPath, ModelShape{});
    Model night = Put(NightPath, ModelShape{});
    platform.readableUpTo[NightPath] = night.layout.firstGeometryData + 16 + 4;
    Drop(DayPath);
    Drop(NightPath);
    EXPECT_NE(LogFrom(NightPath).find(" Error: "), std::string::npos) << platform.log;
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

}  // namespace
}  // namespace mergetest
