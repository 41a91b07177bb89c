// libFuzzer target: one whole drop sequence through the real pipeline over
// the in-memory system (or two alike, committed as one group, as a batch
// does). The input is read as the options, the colour fields and
// adjustments, one fault at any call and the shapes of a day and a night model,
// which the generator makes, well-formed or not (or, with a patch, with four
// bytes of the day model overwritten). Beyond what the sanitizers catch: a
// refused sequence logs an error line; no file but the target changes; every
// sequence ends clean (ProblemsAtEnd); and without a patch, the shapes tell
// whether it must be accepted, and an accepted one writes exactly the
// generator's own model with the night colour chunk, its colours adjusted by
// the generator's own formula. A merged model, stripped, is the day model
// again; a strip run in place of the merge leaves the generator's model
// without night colours. Or the same sequence previewed, and its picture
// written: no model changes, whatever its geometry data holds. Or run dry:
// no file or folder changes, and nothing is left behind.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "merge/Preview.h"
#include "rwstream/Chunk.h"
#include "tests/support/Models.h"
#include "tests/support/ProblemsAtEnd.h"

namespace {

using namespace testsupport;
using merge::Option;
using modelgen::GeometryShape;
using modelgen::ModelShape;

// The input as a stream of numbers; zeros once it runs out.
struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size ? (--size, *data++) : 0; }
    uint32_t Below(uint32_t limit) { return Byte() % limit; }
};

const std::string Day = "C:\\models\\day.dff", Night = "C:\\models\\night.dff",
                  Two = "C:\\models\\two.dff";

GeometryShape ReadGeometry(Input& in) {
    GeometryShape g;
    g.vertexCount = in.Below(40);
    g.prelit = in.Below(8) != 0;
    g.hasExtension = in.Below(8) != 0;
    for (uint32_t i = in.Below(4); i > 0; --i) g.plugins.push_back({0x0100u + in.Byte(), Bytes(in.Below(20), 0xC3)});
    if (in.Below(4) == 0) {
        g.nightChunkIndex = static_cast<int>(in.Below(static_cast<uint32_t>(g.plugins.size()) + 1));
        g.nightChunkVertices = in.Below(40);
    }
    return g;
}

ModelShape ReadShape(Input& in) {
    ModelShape shape;
    shape.geometries = {ReadGeometry(in)};
    for (uint32_t i = in.Below(3); i > 0; --i) shape.geometries.push_back(ReadGeometry(in));
    if (in.Below(16) == 0) shape.firstChunkType = in.Byte();
    if (in.Below(16) == 0) shape.version -= 1 + in.Byte();
    shape.geometryListAfterClump = in.Below(8) == 0;
    if (in.Below(2)) shape.chunksBeforeGeometryList.push_back({0x0100u + in.Byte(), Bytes(in.Below(12), 0x11)});
    if (in.Below(2)) shape.clumpPlugins.push_back({0x0253F2F9, Bytes(4 + 4 * in.Below(4), 0x22)});
    shape.trailing = Bytes(in.Below(4) * 12, 0xEE);
    if (in.Below(8) == 0) shape.truncateAt = in.Byte() | in.Byte() << 8;
    // A size field that says more or less than its chunk holds.
    if (in.Below(8) == 0) {
        int32_t* fields[] = {&shape.clumpSizeChange, &shape.geometryListSizeChange,
                             &shape.geometries[0].geometrySizeChange,
                             &shape.geometries[0].extensionSizeChange};
        *fields[in.Below(4)] = static_cast<int8_t>(in.Byte());
    }
    return shape;
}

bool Resized(const ModelShape& shape) {
    const GeometryShape& g = shape.geometries[0];
    return shape.clumpSizeChange || shape.geometryListSizeChange || g.geometrySizeChange ||
           g.extensionSizeChange;
}

// Chunks of a written model, walked as a reader of the format would.
uint32_t At(const Bytes& bytes, size_t offset) {
    return offset + 4 <= bytes.size() ? rw::Load32(&bytes[offset]) : 0;
}
uint64_t End(const Bytes& bytes, size_t chunk) { return chunk + 12 + uint64_t{At(bytes, chunk + 4)}; }
// The first chunk of the type among the ones after first, up to limit;
// SIZE_MAX when none is there.
size_t Find(const Bytes& bytes, size_t first, uint64_t limit, uint32_t type) {
    for (uint64_t p = End(bytes, first); p + 12 <= limit && p + 12 <= bytes.size(); p = End(bytes, p))
        if (At(bytes, p) == type) return static_cast<size_t>(p);
    return SIZE_MAX;
}

// What is wrong with a written model against its day model: the new chunk
// must be a whole child of the first Geometry's Extension, the first night
// colour chunk there, ending where the Extension ends or where a next child
// begins; the Clump (unless the Geometry List lies after it), the Geometry
// List, the Geometry and the Extension must each end at or after it; and
// every byte but those of the new chunk and the four size fields must be the
// day model's.
std::string StructureProblems(const Bytes& day, const Bytes& out) {
    const size_t list = Find(out, 12, out.size(), 0x1A), geometry = list + 28;
    if (list == SIZE_MAX || geometry + 52 > out.size()) return "no first geometry";
    const uint32_t n = At(out, list + 60);
    const size_t extension = Find(out, geometry + 12, End(out, geometry), 0x03);
    if (extension == SIZE_MAX) return "no Extension";
    const uint64_t extensionEnd = End(out, extension), length = 16 + uint64_t{4} * n;
    size_t chunk = extension + 12;
    while (chunk + 12 <= extensionEnd && At(out, chunk) != 0x0253F2F9) chunk = static_cast<size_t>(End(out, chunk));
    if (chunk + length > extensionEnd) return "the new chunk is no whole child of the Extension";
    if (At(out, chunk + 4) != 4 + 4 * n || At(out, chunk + 8) != 0x1803FFFF || At(out, chunk + 12) != 0x01010101)
        return "the new chunk's header";
    if (chunk + length != extensionEnd && chunk + length + 12 > extensionEnd)
        return "the new chunk ends inside the Extension's next child";
    const bool clumpGrows = list < End(day, 0);
    for (size_t holder : {size_t{0}, list, geometry, extension})
        if ((holder || clumpGrows) && End(out, holder) < chunk + length) return "a chunk that holds it ends before it";
    if (day.size() + length < out.size()) return "longer than the day model and the new chunk";
    const size_t replaced = day.size() + length - out.size();
    if (chunk + replaced > day.size()) return "the new chunk lies past the day model";
    Bytes expected(day.begin(), day.begin() + chunk);
    const Bytes added(out.begin() + chunk, out.begin() + chunk + length);
    expected.insert(expected.end(), added.begin(), added.end());
    expected.insert(expected.end(), day.begin() + chunk + replaced, day.end());
    for (size_t holder : {size_t{0}, list, geometry, extension})
        if (holder || clumpGrows) rw::Store32(&expected[holder + 4], At(day, holder + 4) + uint32_t(length - replaced));
    return expected == out ? "" : "bytes outside the new chunk and the sizes changed";
}

[[noreturn]] void Broken(const std::string& what, const MemorySession& session) {
    std::fprintf(stderr, "PROPERTY VIOLATED: %s\n--- log ---\n%s\n", what.c_str(), session.log.c_str());
    std::abort();
}

enum class Outcome { Refused, Merged, LeftAsItIs };

// The colours a geometry starts with: its own, or the fields' one colour.
Bytes MadeWithout(const MemorySession& session, const GeometryShape& g, uint32_t index) {
    if (session.ticked.count(Option::CopyDayColours))
        return g.colours.empty() ? PatternColours(index, g.vertexCount) : g.colours;
    Bytes colour(4);
    for (int i = 0; i < 4; ++i) colour[i] = static_cast<uint8_t>(std::stoi(session.fields[i]));
    return Repeat(colour, g.vertexCount);
}

// What an uncut sequence must come to, and the colours of each geometry's
// chunk when merged: every geometry that can take them with every
// geometry, or the first.
Outcome Expected(const MemorySession& session, const ModelShape& day, const ModelShape& night,
                 std::map<uint32_t, Bytes>* colours) {
    const bool every = session.ticked.count(Option::EveryGeometry) > 0;
    if (day.firstChunkType != 0x10 || day.version != 0x1803FFFF || (!every && !day.geometries[0].prelit))
        return Outcome::Refused;
    bool left = false;  // with every geometry, one with night colours skipped
    for (uint32_t k = 0; k < (every ? day.geometries.size() : 1); ++k) {
        const GeometryShape& g = day.geometries[k];
        if (!g.prelit) continue;
        if (!g.hasExtension) {
            if (every) continue;
            return Outcome::Refused;
        }
        if (g.nightChunkIndex >= 0 && session.ticked.count(Option::SkipMerged)) {
            if (!every) return Outcome::LeftAsItIs;
            left = true;
            continue;
        }
        if (g.nightChunkIndex >= 0 && !session.ticked.count(Option::AlwaysMerge)) return Outcome::Refused;
        (*colours)[k] = MadeWithout(session, g, k);
    }
    if (colours->empty()) return left ? Outcome::LeftAsItIs : Outcome::Refused;
    if (session.ticked.count(Option::OneFileMode)) return Outcome::Merged;
    // The night model's colours, as far as both counts go.
    if (night.firstChunkType != 0x10 || night.version != 0x1803FFFF || !night.geometries[0].prelit)
        return Outcome::Refused;
    for (auto& chunk : *colours) {
        if (chunk.first >= night.geometries.size() || !night.geometries[chunk.first].prelit) continue;
        const GeometryShape& g = night.geometries[chunk.first];
        const Bytes own = g.colours.empty() ? PatternColours(chunk.first, g.vertexCount) : g.colours;
        std::copy_n(own.begin(), std::min(own.size(), chunk.second.size()), chunk.second.begin());
    }
    return Outcome::Merged;
}

// The same for a cut day or night model, its first geometry only: the
// colours as far as the night model holds them whole.
Outcome ExpectedCut(const MemorySession& session, const ModelShape& day, const ModelShape& night,
                    std::map<uint32_t, Bytes>* colours) {
    const modelgen::ModelLayout layout = modelgen::LayoutOf(day);
    if (day.truncateAt < layout.firstExtensionEnd && day.geometries[0].prelit && day.geometries[0].hasExtension)
        return Outcome::Refused;
    ModelShape whole = day, wholeNight = night;
    whole.truncateAt = wholeNight.truncateAt = SIZE_MAX;
    const Outcome outcome = Expected(session, whole, wholeNight, colours);
    if (outcome != Outcome::Merged || session.ticked.count(Option::OneFileMode)) return outcome;
    const size_t data = modelgen::LayoutOf(night).firstGeometryData;
    if (night.truncateAt < data + 12) return Outcome::Refused;
    const Bytes nightBytes = Build(night);
    const size_t inFile = nightBytes.size() > data + 16 ? (nightBytes.size() - data - 16) / 4 : 0;
    Bytes& first = (*colours)[0];
    first = MadeWithout(session, day.geometries[0], 0);
    const size_t count = std::min<size_t>({first.size() / 4, night.geometries[0].vertexCount, inFile});
    std::copy_n(nightBytes.begin() + data + 16, 4 * count, first.begin());
    return Outcome::Merged;
}

// Whether a strip takes the night colours of geometry k: the first
// geometry's, or with every geometry, those of each with prelit colours.
bool Strips(const ModelShape& shape, size_t k, bool every) {
    return every ? shape.geometries[k].prelit : k == 0;
}

// The day model as a strip leaves it.
ModelShape Stripped(ModelShape shape, bool every) {
    for (size_t k = 0; k < shape.geometries.size(); ++k)
        if (Strips(shape, k, every)) shape.geometries[k].nightChunkIndex = -1;
    return shape;
}

// A merged model stripped: the day model again, unless the merge replaced
// old night colours (or a patch may have made some); then, of a whole day
// model, the generator's without them.
void CheckStripped(const Bytes& merged, const Bytes& dayBytes, const ModelShape& day, bool every,
                   bool patched) {
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    os.files[Day] = merged;
    session.ticked = {Option::OneFileMode, Option::Strip};
    if (every) session.ticked.insert(Option::EveryGeometry);
    bool old = false;
    for (size_t k = 0; k < day.geometries.size(); ++k)
        old = old || (Strips(day, k, every) && day.geometries[k].nightChunkIndex >= 0 &&
                      day.geometries[k].hasExtension);
    // What came of it is judged by the log and the files.
    (void)merge::HandleDroppedPath(sequence, os, session, Day.c_str());
    const std::string problems = ProblemsAtEnd(os, session, sequence);
    if (!problems.empty()) Broken("stripped: " + problems, session);
    if (patched || (old && (day.truncateAt != SIZE_MAX || Resized(day)))) return;
    if (session.log.find("\r\nDFF created: ") == std::string::npos)
        Broken("a merged model could not be stripped", session);
    if (os.files[Day] != (old ? Build(Stripped(day, every)) : dayBytes))
        Broken("a merged model, stripped, is not the day model", session);
}

// A preview reads every geometry's data, patched or not, and writes nothing
// but its picture (or, after a fault, nothing at all); it ends clean.
// The PNG encoder is slow under the sanitizers: the picture is written only
// when asked.
void CheckPreview(MemoryOs& os, MemorySession& session, const std::map<std::string, Bytes>& before,
                  bool write) {
    merge::Picture picture;
    if (!merge::MakePreviewPicture(1, &picture)) Broken("no picture for one tile", session);
    const bool oneFile = session.ticked.count(Option::OneFileMode) > 0;
    // Drawn or failed, it must end clean: that is what is checked.
    (void)merge::PreviewModel(os, session, Day, oneFile ? "" : Night, merge::PathForm::Exact,
                              picture, 0);
    const std::string problems = ProblemsAtEnd(os, session, merge::DropSequence{});
    if (!problems.empty()) Broken(problems, session);
    const std::string png = "C:\\models\\preview.png";
    if (write) (void)merge::WritePicture(os, session, png, picture);
    // Written, though its folder may not be flushed.
    const bool written = session.log.find("\r\nPreview written: " + png) != std::string::npos;
    std::map<std::string, Bytes> after = os.files;
    if (written != (after.erase(png) > 0))
        Broken("a picture written but not said, or said but not written", session);
    if (after != before) Broken("a preview changed a file", session);
    if (os.Held() || os.misuses || !os.temporaries.empty())
        Broken("a preview did not end clean", session);
}

// A dry run says that it would write the model, or why not, and makes,
// changes and leaves nothing.
void CheckDryRun(const MemoryOs& os, const MemorySession& session,
                 const merge::DropSequence& sequence, const std::map<std::string, Bytes>& before,
                 const std::set<std::string>& folders, const std::string& target) {
    const std::string& log = session.log;
    const bool would =
        log.find("\r\nDFF would be created: " + target + "\r\n") != std::string::npos;
    if (!would && log.find(" Skipped: ") == std::string::npos &&
        log.find(" Error: ") == std::string::npos)
        Broken("no error line", session);
    if (log.find("DFF created") != std::string::npos) Broken("a dry run said it wrote", session);
    if (os.files != before || os.folders != folders || !os.temporaries.empty())
        Broken("a dry run changed a file or a folder", session);
    const std::string problems = ProblemsAtEnd(os, session, sequence);
    if (!problems.empty()) Broken(problems, session);
}

void Check(Input& in) {
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    const uint8_t bits = in.Byte(), more = in.Byte();
    const Option options[] = {Option::AlwaysMerge, Option::CopyDayColours, Option::OneFileMode,
                              Option::OutputInDffFolder, Option::EveryGeometry, Option::SkipMerged};
    for (int i = 0; i < 4; ++i)
        if (bits & (1 << i)) session.ticked.insert(options[i]);
    for (int i = 0; i < 2; ++i)
        if (more & (1 << i)) session.ticked.insert(options[4 + i]);
    if (session.ticked.count(Option::AlwaysMerge)) session.ticked.erase(Option::SkipMerged);
    for (std::string& field : session.fields) field = std::to_string(in.Byte());
    modelgen::ColourAdjustment adjustment;
    if (more & 0x04) {
        for (int c = 0; c < 4; ++c) {
            adjustment.scale[c] = (in.Byte() | in.Byte() << 8) % 1001;
            adjustment.offset[c] = static_cast<int32_t>((in.Byte() | in.Byte() << 8) % 511) - 255;
            session.adjustments[c] = {static_cast<int>(adjustment.scale[c]), adjustment.offset[c]};
        }
    }
    if (more & 0x08) session.ticked.insert(Option::Strip);
    const int fault = static_cast<int>(in.Below(4));  // 0: none, else the how-many-th call
    const Call call = static_cast<Call>(in.Below(static_cast<uint32_t>(Call::Count)));
    if (fault) os.FailCall(call, fault, SystemError::AccessDenied);
    const bool nightIsDay = bits & 0x10, patched = bits & 0x40;
    const size_t patchAt = in.Byte() | in.Byte() << 8;
    const ModelShape day = ReadShape(in), night = nightIsDay ? day : ReadShape(in);
    const std::string target =
        session.ticked.count(Option::OutputInDffFolder) ? "C:\\models\\dff\\day.dff" : Day;
    Bytes dayBytes = Build(day);
    for (size_t i = patchAt; patched && i < patchAt + 4 && i < dayBytes.size(); ++i) dayBytes[i] = in.Byte();
    os.files[Day] = dayBytes;
    os.files[Night] = Build(night);
    // Or with a second model alike, both committed as one group, as a batch
    // commits them, with the file system flushed whole or each file.
    const bool group = bits & 0x80;
    os.syncsWholeFileSystems = !(more & 0x80);
    if (group) os.files[Two] = dayBytes;
    if ((bits & 0x20) && target != Day) {  // an older output in the way
        os.folders.insert("C:\\models\\dff");
        os.files[target] = {'o', 'l', 'd'};
    }
    const std::map<std::string, Bytes> before = os.files;
    if (more & 0x10) return CheckPreview(os, session, before, (more & 0x20) != 0);
    const std::set<std::string> folders = os.folders;
    sequence.DryRun = (more & 0x40) != 0;

    MemorySession second = session;
    merge::DropSequence other;
    const std::pair<MemorySession*, merge::DropSequence*> both[] = {{&session, &sequence},
                                                                    {&second, &other}};
    const merge::CommitWhen when = group ? merge::CommitWhen::Later : merge::CommitWhen::AtOnce;
    const auto run = [&](merge::DropSequence& s, MemorySession& m, const std::string& path) {
        // What came of it is judged by the log and the files.
        (void)merge::HandleDroppedPath(s, os, m, path.c_str(), merge::PathForm::Exact, when);
        if (s.state == merge::SequenceState::AwaitingNight)
            (void)merge::HandleDroppedPath(s, os, m, (nightIsDay ? path : Night).c_str(),
                                     merge::PathForm::Exact, when);
    };
    run(sequence, session, Day);
    if (sequence.DryRun) return CheckDryRun(os, session, sequence, before, folders, target);
    std::vector<merge::PendingCommit> commits;
    if (group) run(other, second, Two);
    for (const auto& s : both)
        if (s.second->state == merge::SequenceState::Prepared)
            commits.push_back({s.second, s.first});
    merge::CommitOutputs(commits, os);  // none but a group's
    // Each sequence says what it came to, and ends clean.
    for (const auto& s : both) {
        const std::string& log = s.first->log;
        if (s.second == &other && !group) break;
        const auto lacks = [&](const char* line) { return log.find(line) == std::string::npos; };
        if (lacks("\r\nDFF created: ") && lacks(" Error: ") && lacks(" Skipped: File"))
            Broken("no error line", *s.first);
        const std::string problems = ProblemsAtEnd(os, *s.first, *s.second);
        if (!problems.empty()) Broken(problems, *s.first);
    }
    const std::string target2 = target.substr(0, target.size() - 7) + "two.dff";
    const bool created2 = second.log.find("\r\nDFF created: " + target2) != std::string::npos;
    const bool created = session.log.find("\r\nDFF created: " + target + "\r\n") != std::string::npos;
    // The model left as it is (a geometry alone may be, in a merged one).
    const bool left = session.log.find(" Skipped: File") != std::string::npos;
    std::map<std::string, Bytes> after = os.files;
    if (created2 && created && os.files[target] != os.files[target2])
        Broken("two models alike merged unlike", second);
    for (const auto& t : {std::make_pair(created, target), std::make_pair(created2, target2)}) {
        if (t.first) after.erase(t.second);
        if (t.first && before.count(t.second)) after[t.second] = before.at(t.second);
    }
    if (after != before) Broken("a file other than the target changed", session);
    const bool every = session.ticked.count(Option::EveryGeometry) > 0;
    const bool cut = day.truncateAt != SIZE_MAX || night.truncateAt != SIZE_MAX;
    if (session.ticked.count(Option::Strip)) {
        if (created && !patched && !cut && !Resized(day) &&
            os.files[target] != Build(Stripped(day, every)))
            Broken("the stripped model is not the generator's without night colours", session);
        return;
    }
    const std::string structure = created && !every ? StructureProblems(dayBytes, os.files[target]) : "";
    if (!structure.empty()) Broken(structure, session);
    if (created) CheckStripped(os.files[target], dayBytes, day, every, patched);
    if (patched || Resized(day) || (every && (cut || Resized(night)))) return;

    std::map<uint32_t, Bytes> colours;
    // A fault ends the sequence, but in a temporary file that is then made
    // under another name, or in a step after the replacement. Which of two
    // sequences it hit is not known.
    const bool fired = fault && os.calls[static_cast<int>(call)] >= fault && call != Call::Create &&
                       call != Call::SyncFolder && call != Call::AfterReplace;
    Outcome outcome = cut ? ExpectedCut(session, day, night, &colours) : Expected(session, day, night, &colours);
    if (fired) outcome = Outcome::Refused;
    for (auto& chunk : colours) chunk.second = modelgen::Adjusted(chunk.second, adjustment);
    if (!(fired && group) &&
        ((outcome == Outcome::Merged) != created || (outcome == Outcome::LeftAsItIs) != left))
        Broken(created ? "took a model it must refuse" : "refused a model it must take", session);
    // A cut day model is cut as far into the merged one.
    ModelShape merged = day;
    const GeometryShape& g = day.geometries[0];
    const size_t replaced = g.nightChunkIndex >= 0 ? 16 + 4 * size_t{g.nightChunkVertices} : 0;
    if (created && day.truncateAt != SIZE_MAX) merged.truncateAt += 16 + colours[0].size() - replaced;
    if (created && os.files[target] != modelgen::WithNightColours(merged, colours).bytes)
        Broken("the output is not the expected model", session);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Check(in);
    return 0;
}
