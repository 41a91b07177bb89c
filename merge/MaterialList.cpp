// A geometry's Material List, read only for lit rules. Every chunk that the
// materials need must lie whole inside its container: a list that does not
// hold what its indices count is refused, never read past; what comes
// after the Materials it counts is not read.
#include "merge/MaterialList.h"

#include <algorithm>
#include <cstring>

#include "rwstream/Chunk.h"

namespace merge {

namespace {

constexpr uint32_t TrianglesABatch = 4096;

// The child at at, its header read and its end inside the container's.
bool WholeChild(rw::ByteStream& file, uint64_t at, uint64_t end, rw::Child* child) {
    return rw::ReadChild(file, at, end, child) && child->sized && !child->cut;
}

// A String's text: its bytes before the first zero byte, read a piece at a
// time, so that a String of any size costs only as much as its name.
Fault ReadName(rw::ByteStream& file, const rw::Child& string, uint64_t fileSize,
               std::string* name) {
    const uint64_t end = std::min(string.end, fileSize);
    uint64_t at = string.start + rw::ChunkHeaderSize;
    if (!rw::SeekTo(file, at)) return Fault::Unreadable;
    for (char piece[256]; at < end;) {
        const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(sizeof piece, end - at));
        if (file.Read(piece, wanted) != wanted) return Fault::Unreadable;
        const void* zero = std::memchr(piece, 0, wanted);
        name->append(piece, zero ? static_cast<const char*>(zero) - piece : wanted);
        if (zero) return Fault::None;
        at += wanted;
    }
    return Fault::TextureNameUnended;
}

// A Material: its Struct's textured word and, when set, the name of its
// Texture (the Texture's second child, after its Struct).
Fault ReadMaterial(rw::ByteStream& file, const rw::Child& chunk, uint64_t fileSize,
                   MaterialRead* material) {
    rw::Child fields, texture, textureFields, name;
    uint32_t textured = 0;
    if (!WholeChild(file, chunk.start + rw::ChunkHeaderSize, chunk.end, &fields) ||
        fields.size < rw::MaterialTexturedOffset + 4 ||
        !rw::SeekTo(file, fields.start + rw::ChunkHeaderSize + rw::MaterialTexturedOffset) ||
        !rw::ReadField32(file, &textured))
        return Fault::MaterialsMiscounted;
    material->textured = textured != 0;
    if (!material->textured) return Fault::None;
    if (!WholeChild(file, fields.end, chunk.end, &texture) || texture.type != rw::TypeTexture ||
        !WholeChild(file, texture.start + rw::ChunkHeaderSize, texture.end, &textureFields) ||
        !WholeChild(file, textureFields.end, texture.end, &name) || name.type != rw::TypeString)
        return Fault::MaterialsMiscounted;
    return ReadName(file, name, fileSize, &material->texture);
}

// The list's Struct: its count, then its indices, each -1 (a Material that
// follows: the next one read) or an earlier index. The number of Materials
// that follow goes to follow.
Fault ReadIndices(rw::ByteStream& file, const rw::Child& fields, MaterialsRead* list,
                  uint32_t* follow) {
    uint32_t count = 0;
    if (fields.size < 4 || !rw::SeekTo(file, fields.start + rw::ChunkHeaderSize) ||
        !rw::ReadField32(file, &count) || count > (fields.size - 4) / 4)
        return Fault::MaterialsMiscounted;
    uint8_t batch[1024];
    for (uint32_t i = 0; i < count;) {
        const uint32_t n = std::min<uint32_t>(count - i, sizeof batch / 4);
        if (file.Read(batch, 4 * n) != 4 * n) return Fault::MaterialsMiscounted;
        for (uint32_t k = 0; k < n; ++k, ++i) {
            const int32_t index = static_cast<int32_t>(rw::Load32(batch + 4 * k));
            if (index == rw::MaterialFollows)
                list->entries.push_back((*follow)++);
            else if (index < 0 || static_cast<uint32_t>(index) >= i)
                return Fault::MaterialNotGiven;
            else
                list->entries.push_back(list->entries[static_cast<uint32_t>(index)]);
        }
    }
    return Fault::None;
}

// The Material List whose header is at list: its Struct, then the Materials
// its indices count, one after another.
Fault ReadList(rw::ByteStream& file, const rw::Child& list, uint64_t fileSize,
               MaterialsRead* materials) {
    rw::Child chunk;
    uint32_t follow = 0;
    if (!WholeChild(file, list.start + rw::ChunkHeaderSize, list.end, &chunk))
        return Fault::MaterialsMiscounted;
    const Fault indices = ReadIndices(file, chunk, materials, &follow);
    if (indices != Fault::None) return indices;
    for (uint32_t m = 0; m < follow; ++m) {
        if (!WholeChild(file, chunk.end, list.end, &chunk) || chunk.type != rw::TypeMaterial)
            return Fault::MaterialsMiscounted;
        materials->materials.emplace_back();
        const Fault material = ReadMaterial(file, chunk, fileSize, &materials->materials.back());
        if (material != Fault::None) return material;
    }
    return Fault::None;
}

}  // namespace

Fault ReadMaterials(rw::ByteStream& file, uint64_t fileSize, const GeometryRead& geometry,
                    uint64_t structEnd, MaterialsRead* materials) {
    const uint64_t geometryEnd = rw::ChunkEnd(geometry.offset, geometry.size);
    rw::Child list;
    const bool listed = structEnd <= geometryEnd &&
                        rw::ReadChild(file, structEnd, geometryEnd, &list) && list.typed &&
                        list.type == rw::TypeMaterialList;
    if (listed) {
        if (list.cut) return Fault::MaterialsMiscounted;
        const Fault fault = ReadList(file, list, fileSize, materials);
        if (fault != Fault::None) return fault;
    }
    const size_t count = materials->entries.size();
    bool past = false;
    const bool read = VisitTriangles(file, geometry.data, [&](const uint8_t* t, uint32_t n) {
        for (uint32_t k = 0; k < n; ++k)
            past = past || TriangleField(t + TriangleSize * k, TriangleMaterial) >= count;
    });
    if (!read) return Fault::Unreadable;
    return past ? Fault::MaterialPastList : Fault::None;
}

bool VisitTriangles(rw::ByteStream& file, const GeometryData& data,
                    const std::function<void(const uint8_t*, uint32_t)>& visit) {
    if (data.native || data.triangleCount == 0) return true;
    if (!rw::SeekTo(file, data.triangles)) return false;
    uint8_t batch[TrianglesABatch * TriangleSize];
    for (uint32_t done = 0; done < data.triangleCount;) {
        const uint32_t count = std::min(data.triangleCount - done, TrianglesABatch);
        if (file.Read(batch, count * TriangleSize) != count * TriangleSize) return false;
        visit(batch, count);
        done += count;
    }
    return true;
}

}  // namespace merge
