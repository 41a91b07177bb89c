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

bool Check(const Bytes& bytes, std::string* why = nullptr) {
    return testsupport::CheckChunkTree(bytes.data(), bytes.size(), why);
}

// Clump { Struct(4), Extension { } }, 40 bytes.
Bytes SmallClump() {
    Bytes b;
    PutHeader(b, rw::TypeClump, 28);
    PutHeader(b, rw::TypeStruct, 4);
    b.resize(b.size() + 4, 0x0F);  // a payload that looks like a chunk type
    PutHeader(b, rw::TypeExtension, 0);
    return b;
}

TEST(ChunkTree, ChildrenMustFillTheirContainerExactly) {
    Bytes b = SmallClump();
    EXPECT_TRUE(Check(b));
    b[4] = 27;  // the Extension now runs past the Clump
    std::string why;
    EXPECT_FALSE(Check(b, &why));
    EXPECT_NE(why.find("offset 28"), std::string::npos) << why;
    b[4] = 30;  // two bytes of the Clump are left that hold no chunk
    EXPECT_FALSE(Check(b));
}

TEST(ChunkTree, TopLevelChunksMustFillTheFile) {
    Bytes b = SmallClump();
    Bytes two = b;
    two.insert(two.end(), b.begin(), b.end());
    EXPECT_TRUE(Check(two));
    two.pop_back();
    EXPECT_FALSE(Check(two));
    b.resize(b.size() + 11);  // a header cut off at the end
    EXPECT_FALSE(Check(b));
    EXPECT_FALSE(Check(Bytes{}));
}

TEST(ChunkTree, DeepNestingNeedsNoRecursion) {
    const uint32_t depth = 200000;
    Bytes b;
    for (uint32_t level = 0; level < depth; ++level) PutHeader(b, rw::TypeExtension, 12 * (depth - 1 - level));
    EXPECT_TRUE(Check(b));
}

}  // namespace
