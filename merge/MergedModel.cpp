// The merged model as it is written: the day file's bytes in ranges, copied
// by the system where it can, with the changed size fields and the new
// chunks (header and colours) written from memory where they lie. No more
// of the model than a fixed buffer ever passes through our memory.
#include <algorithm>
#include <vector>

#include "merge/DropSequence.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

constexpr uint64_t CopyBufferSize = 64 * 1024;

struct Writer {
    Os& os;
    rw::ByteStream& day;
    OutputFile* file;
    Status& status;
    uint64_t done = 0;  // the day file's bytes before this are written or left out
    bool readFailed = false;

    // The day file's bytes up to offset: by the system's copy as far as it
    // goes, then through a buffer of ours (a file system that refuses to
    // copy so, or a copy that came up short).
    bool CopyUpTo(uint64_t offset) {
        uint64_t copied = 0;
        while (done < offset) {
            status = os.CopyRange(&day, done, offset - done, file, &copied);
            if (!status.ok()) return false;
            if (copied == 0) break;
            done += copied;
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min(offset - done, CopyBufferSize)));
        if (done < offset && !rw::SeekTo(day, done)) return ReadFailed();
        while (done < offset) {
            const uint32_t wanted =
                static_cast<uint32_t>(std::min<uint64_t>(offset - done, buffer.size()));
            if (day.Read(buffer.data(), wanted) != wanted) return ReadFailed();
            if (!Put(buffer.data(), wanted)) return false;
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
        status = os.Write(file, bytes, size);
        return status.ok();
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
    bool PutChunk(const NightChunk& chunk) {
        uint8_t header[rw::NightColourPrefixSize];
        rw::WriteNightColourHeader(header, chunk.VertexCount);
        if (!CopyUpTo(chunk.InsertionOffset)) return false;
        if (!chunk.TakenOut && (!Put(header, sizeof header) ||
                                !Put(chunk.Colours.get(), rw::ColourSize * chunk.VertexCount)))
            return false;
        done += chunk.ReplacedLength;
        return true;
    }
};

}  // namespace

WriteResult WriteMergedModel(const OutputPlan& plan, Os& os, rw::ByteStream& day,
                             OutputFile* file, Status* status) {
    Writer writer{os, day, file, *status};
    // Sizes and chunks in the order of the file: each chunk after the sizes
    // of the chunks that hold it.
    size_t next = 0;
    const std::vector<SizeChange>& sizes = plan.Sizes;
    bool written = true;
    for (const NightChunk& chunk : plan.Chunks) {
        for (; written && next < sizes.size() && sizes[next].Offset < chunk.InsertionOffset; ++next)
            written = writer.PutSize(sizes[next]);
        written = written && writer.PutChunk(chunk);
    }
    for (; written && next < sizes.size(); ++next) written = writer.PutSize(sizes[next]);
    written = written && writer.CopyUpTo(day.Size());
    if (written) return WriteResult::Written;
    return writer.readFailed ? WriteResult::ReadFailed : WriteResult::WriteFailed;
}

}  // namespace merge
