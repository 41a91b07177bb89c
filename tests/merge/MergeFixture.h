// The fixture of the pipeline tests: an in-memory platform with a models
// folder, generated models, drops, and the expected output of a merge built
// from the generator's layout (not from the pipeline's own reading).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "merge/Controls.h"
#include "merge/DropSequence.h"
#include "rwstream/Chunk.h"
#include "tests/support/ChunkTree.h"
#include "tests/support/MemoryPlatform.h"
#include "tools/modelgen/ModelGen.h"

namespace mergetest {

using modelgen::Bytes;
using modelgen::Model;
using modelgen::ModelShape;

constexpr int AlwaysMerge = merge::IdAlwaysMerge, OutputInDffFolder = merge::IdOutputInDffFolder,
              CopyDayColours = merge::IdCopyDayColours, OneFileMode = merge::IdOneFileMode;

const char* const DayPath = "C:\\models\\car.dff";
const char* const NightPath = "C:\\models\\car_night.dff";
const char* const Ready = "\r\nReady. Drop day dff file.\r\n";

// The colour fields' defaults, 64 64 64 255, for n vertices.
inline Bytes Grey(uint32_t n) {
    Bytes out;
    for (uint32_t k = 0; k < n; ++k) out.insert(out.end(), {64, 64, 64, 255});
    return out;
}

// The generator's colours of geometry g's first n vertices.
inline Bytes Pattern(uint32_t g, uint32_t n) {
    Bytes out(size_t{4} * n);
    for (uint32_t k = 0; k < n; ++k) modelgen::PatternColour(g, k, &out[size_t{4} * k]);
    return out;
}

// base with its first bytes replaced by front.
inline Bytes Over(Bytes base, const Bytes& front) {
    for (size_t i = 0; i < front.size(); ++i) base[i] = front[i];
    return base;
}

inline uint32_t Get32(const Bytes& b, size_t at) { return rw::Load32(&b[at]); }
inline void Set32(Bytes& b, size_t at, uint32_t v) { rw::Store32(&b[at], v); }

inline Bytes Build(const ModelShape& shape) { return modelgen::BuildModel(shape).bytes; }

inline ModelShape WithVertices(uint32_t n) {
    ModelShape shape;
    shape.geometries[0].vertexCount = n;
    return shape;
}

inline modelgen::RawChunk Plugin(uint32_t type, size_t n) { return {type, Bytes(n, 0xC3)}; }

// A model of 4 vertices with one plugin before and one after the spot of an
// old night colour chunk.
inline ModelShape WithOldChunk(int index, uint32_t vertices) {
    ModelShape shape = WithVertices(4);
    shape.geometries[0].plugins = {Plugin(0x0116, 8), Plugin(0x0120, 12)};
    shape.geometries[0].nightChunkIndex = index;
    shape.geometries[0].nightChunkVertices = vertices;
    return shape;
}

enum Grow : unsigned { Clump = 1, List = 2, Geometry = 4, Extension = 8, All = 15 };

// The day model with the night colour chunk of these colours put in at the
// end of the first Extension (or in place of its old chunk) and the sizes of
// the chunks in grow changed by the difference in length.
inline Bytes Expected(const Model& day, const Bytes& colours, unsigned grow = All) {
    const modelgen::ModelLayout& l = day.layout;
    const bool replace = l.nightChunk != SIZE_MAX;
    const size_t at = replace ? l.nightChunk : l.firstExtensionEnd;
    const size_t cut = replace ? l.nightChunkLength : 0;
    const Bytes chunk = modelgen::NightColourChunk(colours);
    Bytes out(day.bytes.begin(), day.bytes.begin() + at);
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), day.bytes.begin() + at + cut, day.bytes.end());
    const uint32_t delta = static_cast<uint32_t>(chunk.size() - cut);
    const size_t headers[] = {l.clump, l.geometryList, l.firstGeometry, l.firstExtension};
    for (int i = 0; i < 4; ++i)
        if (grow & (1u << i)) Set32(out, headers[i] + 4, Get32(out, headers[i] + 4) + delta);
    return out;
}

inline ::testing::AssertionResult IsChunkTree(const Bytes& bytes) {
    std::string why;
    if (testsupport::CheckChunkTree(bytes.data(), bytes.size(), &why))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
}

struct MergeTest : ::testing::Test {
    testsupport::MemoryPlatform platform;
    merge::DropSequence sequence;

    MergeTest() { platform.folders.insert("C:\\models"); }

    Model Put(const char* path, const ModelShape& shape) {
        Model model = modelgen::BuildModel(shape);
        platform.files[path] = model.bytes;
        return model;
    }
    void Drop(const char* path) { merge::HandleDroppedPath(sequence, platform, path); }
    // A day model dropped in one-file mode: written at once.
    Model MergeOneFile(const ModelShape& shape) {
        Model day = Put(DayPath, shape);
        platform.checked[OneFileMode] = true;
        Drop(DayPath);
        return day;
    }
    const Bytes& File(const char* path) { return platform.files[path]; }
    // The log from the last place where text stands.
    std::string LogFrom(const std::string& text) {
        const size_t at = platform.log.rfind(text);
        return at == std::string::npos ? std::string() : platform.log.substr(at);
    }

    // After every sequence, finished or abandoned: nothing held, nothing
    // open, the box enabled, waiting for a day model.
    void ExpectBackToDay() {
        EXPECT_EQ(platform.allocations, platform.releases);
        EXPECT_EQ(platform.doubleReleases + platform.badCloses, 0);
        EXPECT_EQ(platform.OpenHandles() + platform.OpenOutputs(), 0);
        EXPECT_EQ(sequence.state, merge::SequenceState::AwaitingDay);
        EXPECT_TRUE(platform.enabled[OneFileMode]);
        EXPECT_EQ(sequence.OutputImage, nullptr);
        EXPECT_EQ(sequence.DayColourBuffer, nullptr);
        const std::string ready = Ready, &log = platform.log;
        EXPECT_EQ(log.substr(log.size() < ready.size() ? 0 : log.size() - ready.size()), ready);
    }
};

}  // namespace mergetest
