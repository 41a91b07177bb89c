#include "tests/support/ChunkTree.h"

#include <gtest/gtest.h>

#include <vector>

#include "rwstream/Chunk.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutHeader(Bytes& out, uint32_t type, uint32_t size) {
    for (uint32_t value : {type, size, rw::LibraryVersion}) {
        out.resize(out.size() + 4);
        rw::Store32(out.data() + out.size() - 4, value);
    }
}

// Clump { Struct(4), Extension { } } n times over, 40 bytes each.
Bytes SmallClumps(int n) {
    Bytes b;
    for (int i = 0; i < n; ++i) {
        PutHeader(b, rw::TypeClump, 28);
        PutHeader(b, rw::TypeStruct, 4);
        b.resize(b.size() + 4, 0x0F);  // a payload that looks like a chunk type
        PutHeader(b, rw::TypeExtension, 0);
    }
    return b;
}

TEST(ChunkTree, GoodTreesPassWithoutRecursion) {
    const uint32_t depth = 200000;
    Bytes deep;
    for (uint32_t level = 0; level < depth; ++level)
        PutHeader(deep, rw::TypeExtension, 12 * (depth - 1 - level));
    for (const Bytes& b : {SmallClumps(1), SmallClumps(2), deep}) {
        std::string why;
        EXPECT_TRUE(testsupport::CheckChunkTree(b.data(), b.size(), &why)) << why;
    }
}

TEST(ChunkTree, BrokenTreesAreFoundAndPlaced) {
    Bytes pastClump = SmallClumps(1), leftOver = SmallClumps(1), twoCut = SmallClumps(2),
          headerCut = SmallClumps(1);
    pastClump[4] = 27;  // the Extension now runs past the Clump
    leftOver[4] = 30;   // two bytes of the Clump are left that hold no chunk
    twoCut.pop_back();
    headerCut.resize(headerCut.size() + 11);
    const std::pair<Bytes, const char*> cases[] = {
        {pastClump, "offset 28"}, {leftOver, ""}, {twoCut, ""}, {headerCut, ""}, {Bytes{}, ""}};
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(testsupport::CheckChunkTree(c.first.data(), c.first.size(), &why));
        EXPECT_NE(why.find(c.second), std::string::npos) << why;
    }
}

}  // namespace
