// The merged model as it is written: the day file's bytes in ranges, copied
// by the system where it can, with the changed size fields and the new
// chunks (header and colours) written from memory where they lie. No more
// of the model than a fixed buffer ever passes through our memory.
#include <algorithm>

#include "merge/Crc32.h"
#include "merge/DropSequence.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

constexpr uint64_t CopyBufferSize = 64 * 1024;

// The walk over the merged model, in file order. Without a sink it only
// reads the day file's ranges, for their CRC.
struct Walk {
    rw::ByteStream& day;
    ByteSink* sink;
    Status* status;
    uint32_t* crc;      // the day's bytes through our memory, and their CRC
    uint64_t done = 0;  // the day file's bytes before this are written or left out
    bool readFailed = false;
    uint8_t buffer[CopyBufferSize] = {};

    // The day file's bytes up to offset: by the system's copy as far as it
    // goes, then through our buffer (a file system that refuses to copy so,
    // a copy that came up short, or bytes whose CRC is wanted).
    bool CopyUpTo(uint64_t offset) {
        uint64_t copied = 0;
        while (!crc && done < offset) {
            *status = sink->Copy(day, done, offset - done, &copied);
            if (!status->ok()) return false;
            if (copied == 0) break;
            done += copied;
        }
        if (done < offset && !rw::SeekTo(day, done)) return ReadFailed();
        while (done < offset) {
            const uint32_t wanted =
                static_cast<uint32_t>(std::min<uint64_t>(offset - done, sizeof buffer));
            if (day.Read(buffer, wanted) != wanted) return ReadFailed();
            if (crc) *crc = Crc32(*crc, buffer, wanted);
            if (!Put(buffer, wanted)) return false;
            done += wanted;
        }
        return true;
    }

    // The day file came up short of what its size promised.
    bool ReadFailed() {
        readFailed = true;
        return false;
    }

    bool Put(const void* bytes, uint32_t size) {
        if (sink) *status = sink->Put(bytes, size);
        return !sink || status->ok();
    }

    // A size field at its offset: 4 bytes from memory in place of the day's.
    bool PutSize(const SizeChange& size) {
        uint8_t field[4];
        rw::Store32(field, size.Size);
        if (!CopyUpTo(size.Offset) || !Put(field, sizeof field)) return false;
        done += sizeof field;
        return true;
    }

    // The chunk's header and colours at its place (none for a chunk taken
    // out), the chunk it replaces left out.
    bool PutChunk(const NightChunk& chunk, const Block& colours) {
        uint8_t header[rw::NightColourPrefixSize];
        rw::WriteNightColourHeader(header, chunk.VertexCount);
        if (!CopyUpTo(chunk.InsertionOffset)) return false;
        if (!chunk.TakenOut && (!Put(header, sizeof header) ||
                                !Put(colours.get(), rw::ColourSize * chunk.VertexCount)))
            return false;
        done += chunk.ReplacedLength;
        return true;
    }

    // Sizes and chunks in the order of the file: each chunk after the sizes
    // of the chunks that hold them.
    bool All(const OutputPlan& plan, const ColourBlocks* colours) {
        size_t next = 0;
        const std::vector<SizeChange>& sizes = plan.Sizes;
        for (size_t k = 0; k < plan.Chunks.size(); ++k) {
            const NightChunk& chunk = plan.Chunks[k];
            for (; next < sizes.size() && sizes[next].Offset < chunk.InsertionOffset; ++next)
                if (!PutSize(sizes[next])) return false;
            static const Block none;
            if (!PutChunk(chunk, colours ? (*colours)[k] : none)) return false;
        }
        for (; next < sizes.size(); ++next)
            if (!PutSize(sizes[next])) return false;
        return CopyUpTo(day.Size());
    }
};

}  // namespace

WriteResult WriteMergedModel(const OutputPlan& plan, const ColourBlocks& colours,
                             rw::ByteStream& day, ByteSink& sink, Status* status,
                             uint32_t* dayCrc) {
    Walk walk{day, &sink, status, dayCrc};
    if (dayCrc) *dayCrc = 0;
    if (walk.All(plan, &colours)) return WriteResult::Written;
    return walk.readFailed ? WriteResult::ReadFailed : WriteResult::WriteFailed;
}

bool CrcOfCopied(const OutputPlan& plan, rw::ByteStream& day, uint32_t* crc) {
    Status status;
    *crc = 0;
    Walk walk{day, nullptr, &status, crc};
    return walk.All(plan, nullptr);
}

}  // namespace merge
