// libFuzzer target: a whole drop sequence over the in-memory system with one fault at any
// call, or two alike committed as one group as a batch does; merged, stripped, previewed or run
// dry, with lit rules or without. Beyond the sanitizers: a refused sequence logs an error line,
// no file but the target changes, every sequence ends clean, and a well-formed accepted one
// writes exactly the generator's own merged or stripped model, lit as its triangles say.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "preview/Picture.h"
#include "preview/Tile.h"
#include "tests/support/Models.h"
#include "tests/support/ProblemsAtEnd.h"

namespace {

using namespace testsupport;
using merge::Option;
using modelgen::GeometryShape;
using modelgen::ModelShape;
using modelgen::WithoutNightColours;
using State = merge::SequenceState;

// The input as a stream of numbers; zeros once it runs out.
struct Input {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size ? (--size, *data++) : 0; }
    uint32_t Below(uint32_t limit) { return Byte() % limit; }
    uint32_t Word() { const uint32_t low = Byte(); return low | Byte() << 8; }
};

const std::string Folder = "C:\\models\\", Day = Folder + "day.dff",
                  Night = Folder + "night.dff", Png = Folder + "preview.png";

const char* const Textures[] = {"window_lit", "Lamp01", "neon_sign", ""};
const char* const Patterns[] = {"WINDOW*", "lamp??", "*", "*SIGN", "?"};

// Materials textured or not, each triangle's in turn (now and then past the list); now and then
// the list or the names malformed.
void ReadMaterials(Input& in, GeometryShape& g) {
    g.materials.clear();
    for (uint32_t i = in.Below(4); i > 0; --i) g.materials.push_back({in.Below(4) != 0, ""});
    for (auto& material : g.materials) material.texture = Textures[in.Below(4)];
    const uint32_t past = static_cast<uint32_t>(g.materials.size()) + 1;
    for (uint32_t i = in.Below(3); i > 0; --i)
        g.triangleMaterials.push_back(static_cast<uint16_t>(in.Below(past)));
    const uint32_t broken = in.Below(16);
    g.unterminatedTextures = broken == 0;
    if (broken == 1) g.materialIndices.assign(g.materials.size() + 1, -1);  // one too many
    if (broken == 2) g.materialIndices = {static_cast<int32_t>(in.Byte())};  // not given earlier
}

// Whether lit rules find the geometry's materials whole, and each triangle's among them.
bool MaterialsWhole(const GeometryShape& g) {
    bool named = false;
    for (const auto& material : g.materials) named = named || material.textured;
    if ((g.unterminatedTextures && named) || !g.materialIndices.empty()) return false;
    const auto& of = g.triangleMaterials;
    for (uint32_t t = 0; t < std::min<size_t>(g.triangleCount, std::max<size_t>(of.size(), 1)); ++t)
        if ((of.empty() ? 0 : of[t]) >= g.materials.size()) return false;
    return true;
}

bool Matches(const char* pattern, const char* name) {
    if (*pattern == '*') return Matches(pattern + 1, name) || (*name && Matches(pattern, name + 1));
    if (!*name) return !*pattern;
    return (*pattern == '?' || std::tolower(*pattern) == std::tolower(*name)) &&
           Matches(pattern + 1, name + 1);
}

// The colours lit: each vertex of a triangle whose texture a rule matches, by the first rule.
void Light(const GeometryShape& g, const std::vector<merge::LitRule>& rules, Bytes& colours) {
    std::vector<size_t> first(g.vertexCount, rules.size());
    for (uint32_t t = 0; t < g.triangleCount; ++t) {
        const auto& of = g.triangleMaterials;
        const auto& material = g.materials[of.empty() ? 0 : of[t % of.size()]];
        size_t r = 0;
        while (r < rules.size() &&
               !(material.textured && Matches(rules[r].pattern.c_str(), material.texture.c_str())))
            ++r;
        uint32_t corners[3];
        modelgen::TriangleCorners(g.vertexCount, t, corners);
        for (uint32_t v : corners)
            if (v < g.vertexCount) first[v] = std::min(first[v], r);
    }
    for (uint32_t v = 0; v < g.vertexCount; ++v)
        if (first[v] < rules.size()) std::copy_n(rules[first[v]].colour, 4, &colours[4 * v]);
}

GeometryShape ReadGeometry(Input& in) {
    GeometryShape g;
    g.vertexCount = in.Below(40);
    g.triangleCount = in.Below(4) ? g.vertexCount / 3 : in.Below(80);
    ReadMaterials(in, g);
    g.prelit = in.Below(8) != 0;
    g.hasExtension = in.Below(8) != 0;
    for (uint32_t i = in.Below(4); i > 0; --i)
        g.plugins.push_back({0x0100u + in.Byte(), Bytes(in.Below(20), 0xC3)});
    // Only prelit ones: a strip of every geometry leaves the others' night colours alone.
    if (g.prelit && in.Below(4) == 0) {
        g.nightChunkIndex = static_cast<int>(in.Below(uint32_t(g.plugins.size()) + 1));
        g.nightChunkVertices = in.Below(40);
    }
    return g;
}

// Clears wellFormed when the shape is cut or one of its size fields is wrong.
ModelShape ReadShape(Input& in, bool* wellFormed) {
    ModelShape shape;
    shape.geometries = {ReadGeometry(in)};
    for (uint32_t i = in.Below(3); i > 0; --i) shape.geometries.push_back(ReadGeometry(in));
    if (in.Below(16) == 0) shape.firstChunkType = in.Byte();
    if (in.Below(16) == 0) shape.version -= 1 + in.Byte();
    shape.geometryListAfterClump = in.Below(8) == 0;
    if (in.Below(2))
        shape.chunksBeforeGeometryList.push_back({0x0100u + in.Byte(), Bytes(in.Below(12), 0x11)});
    if (in.Below(2)) shape.clumpPlugins.push_back({0x0253F2F9, Bytes(4 + 4 * in.Below(4), 0x22)});
    shape.trailing = Bytes(in.Below(4) * 12, 0xEE);
    if (in.Below(8) == 0) shape.truncateAt = in.Word(), *wellFormed = false;
    if (in.Below(8) == 0) {
        int32_t* fields[] = {&shape.clumpSizeChange, &shape.geometryListSizeChange,
                             &shape.geometries[0].geometrySizeChange,
                             &shape.geometries[0].extensionSizeChange};
        *wellFormed &= (*fields[in.Below(4)] = static_cast<int8_t>(in.Byte())) == 0;
    }
    return shape;
}

void Require(bool holds, const std::string& what, const MemorySession& session) {
    if (holds) return;
    std::fprintf(stderr, "PROPERTY VIOLATED: %s\n--- log ---\n%s\n", what.c_str(),
                 session.log.c_str());
    std::abort();
}

bool Said(const MemorySession& session, const std::string& text) {
    return session.log.find(text) != std::string::npos;
}

void RequireClean(const MemoryOs& os, const MemorySession& s, const merge::DropSequence& sequence) {
    const std::string problems = ProblemsAtEnd(os, s, sequence);
    Require(problems.empty(), problems, s);
}

enum class Outcome { Refused, Merged, LeftAsItIs };

// The colours a geometry starts with: its own, or the fields' one colour.
Bytes MadeWithout(const MemorySession& session, const GeometryShape& g, uint32_t index) {
    if (session.ticked.count(Option::CopyDayColours)) return PatternColours(index, g.vertexCount);
    Bytes colour(4);
    for (int i = 0; i < 4; ++i) colour[i] = static_cast<uint8_t>(std::stoi(session.fields[i]));
    return Repeat(colour, g.vertexCount);
}

bool Readable(const ModelShape& shape) {
    return shape.firstChunkType == 0x10 && shape.version == 0x1803FFFF;
}

// What a sequence of well-formed models must come to, and each merged geometry's colours:
// every geometry that can take them with every geometry, or the first.
Outcome Expected(const MemorySession& session, const ModelShape& day, const ModelShape& night,
                 std::map<uint32_t, Bytes>* colours) {
    // A list of one geometry is read as without every geometry.
    const bool every = session.ticked.count(Option::EveryGeometry) > 0 && day.geometries.size() > 1;
    const bool lit = !session.lit.empty();
    if (!Readable(day)) return Outcome::Refused;
    bool left = false;  // a geometry with night colours skipped
    for (uint32_t k = 0; k < (every ? day.geometries.size() : 1); ++k) {
        const GeometryShape& g = day.geometries[k];
        if (!g.prelit || !g.hasExtension) {
            if (every) continue;
            return Outcome::Refused;
        }
        if (lit && !MaterialsWhole(g)) return Outcome::Refused;
        if (g.nightChunkIndex < 0 || session.ticked.count(Option::AlwaysMerge))
            (*colours)[k] = MadeWithout(session, g, k);
        else if (session.ticked.count(Option::SkipMerged))
            left = true;
        else
            return Outcome::Refused;
    }
    if (colours->empty()) return left ? Outcome::LeftAsItIs : Outcome::Refused;
    if (session.ticked.count(Option::OneFileMode)) return Outcome::Merged;
    if (!Readable(night) || (!every && !night.geometries[0].prelit)) return Outcome::Refused;
    for (auto& chunk : *colours) {  // the night model's colours, as far as both counts go
        const uint32_t k = chunk.first;
        if (k >= night.geometries.size() || !night.geometries[k].prelit) continue;
        const Bytes own = PatternColours(k, night.geometries[k].vertexCount);
        std::copy_n(own.begin(), std::min(own.size(), chunk.second.size()), chunk.second.begin());
    }
    return Outcome::Merged;
}

// A preview reads every geometry's data, patched or not, and changes no model. The PNG
// encoder is slow under the sanitizers: the picture is written only when asked.
void CheckPreview(MemoryOs& os, MemorySession& session, const std::map<std::string, Bytes>& before,
                  bool write) {
    preview::Page page;
    const bool paged = preview::MakePage(os, 1, &page);  // a fault may refuse it memory
    merge::DropSequence sequence;
    merge::RunPolicy keep;
    keep.action = merge::Action::Keep;
    (void)merge::HandleDroppedPath(sequence, os, session, Day.c_str(), merge::PathForm::Exact,
                                   keep);
    if (sequence.state == State::AwaitingNight)
        (void)merge::HandleDroppedPath(sequence, os, session, Night.c_str(),
                                       merge::PathForm::Exact, keep);
    // Drawn or failed, it must end clean: that is what is checked.
    if (sequence.Day && paged)
        (void)preview::DrawModel(os, page, 0, *sequence.Day, sequence.Colours);
    merge::ReleaseDay(sequence);
    merge::PreparedFile file;
    merge::FileRequest request;
    request.path = Png;
    request.done = &merge::text::PreviewWritten;
    std::vector<merge::PendingCommit> commits;
    MemorySession sequenceEnded = session;  // its log before the picture's lines
    if (write && paged && preview::PreparePageFile(os, session, page, request, &file))
        commits.push_back({&file, &session});
    merge::CommitFiles(commits, os);
    page.pixels.reset();
    RequireClean(os, sequenceEnded, sequence);
    const bool written = os.files.erase(Png) > 0;  // though its folder may be unflushed
    Require(written == Said(session, "\r\nPreview written: " + Png) && os.files == before &&
                !os.Held() && !os.misuses && os.temporaries.empty(),
            "a preview changed a model, or its picture's line or its end is wrong", session);
}

// One reading, every mode: a skip refuses what "Always Merge" refuses, with its line, lit rules
// or not; a strip, which makes no colours to light, what it refuses without them.
void CheckModesAgree(const MemorySession& session, const Bytes& day) {
    std::string errors[4];
    const Option modes[] = {Option::AlwaysMerge, Option::SkipMerged, Option::AlwaysMerge,
                            Option::Strip};
    for (int m = 0; m < 4; ++m) {
        MemoryOs os;
        MemorySession alone;
        merge::DropSequence sequence;
        os.folders = {"C:", "C:\\models"};
        os.files[Day] = day;
        alone.ticked = {Option::OneFileMode, modes[m]};
        if (m < 2) alone.lit = session.lit;
        if (session.ticked.count(Option::EveryGeometry)) alone.ticked.insert(Option::EveryGeometry);
        (void)merge::HandleDroppedPath(sequence, os, alone, Day.c_str());
        const size_t error = alone.log.find("Error: ");
        if (error != std::string::npos)
            errors[m] = alone.log.substr(error, alone.log.find('\r', error) - error);
    }
    Require(errors[1] == errors[0] &&
                (errors[3] == errors[2] || errors[2] == "Error: File is too large."),
            "a skip or a strip refused otherwise than \"Always Merge\": " + errors[0] + " / " +
                errors[1] + " / " + errors[2] + " / " + errors[3], session);
}

void Check(Input& in) {
    MemoryOs os;
    MemorySession session;
    os.folders = {"C:", "C:\\models"};
    const uint32_t flags = in.Word();
    const Option options[] = {Option::AlwaysMerge,       Option::CopyDayColours,
                              Option::OneFileMode,       Option::OutputInDffFolder,
                              Option::EveryGeometry,     Option::SkipMerged, Option::Strip};
    for (int i = 0; i < 7; ++i)
        if (flags & (1 << i)) session.ticked.insert(options[i]);
    if (session.ticked.count(Option::AlwaysMerge)) session.ticked.erase(Option::SkipMerged);
    for (std::string& field : session.fields) field = std::to_string(in.Byte());
    for (uint32_t r = in.Below(3); r > 0; --r)
        session.lit.push_back({Patterns[in.Below(5)], {in.Byte(), in.Byte(), in.Byte(), 255}});
    modelgen::ColourAdjustment adjustment;
    for (int c = 0; c < 4 && (flags & 0x80); ++c) {
        adjustment.scale[c] = in.Word() % 1001;
        adjustment.offset[c] = static_cast<int32_t>(in.Word() % 511) - 255;
        session.adjustments[c] = {static_cast<int>(adjustment.scale[c]), adjustment.offset[c]};
    }
    const int fault = static_cast<int>(in.Below(4));  // 0: none, else the how-many-th call
    const Call call = static_cast<Call>(in.Below(static_cast<uint32_t>(Call::Count)));
    if (fault) os.FailCall(call, fault, SystemError::AccessDenied);
    const bool nightIsDay = flags & 0x100, patched = flags & 0x200, group = flags & 0x400;
    const size_t patchAt = in.Word();
    bool wellFormed = !patched;
    const ModelShape day = ReadShape(in, &wellFormed);
    const ModelShape night = nightIsDay ? day : ReadShape(in, &wellFormed);
    Bytes dayBytes = Build(day);
    for (size_t i = patchAt; patched && i < patchAt + 4 && i < dayBytes.size(); ++i)
        dayBytes[i] = in.Byte();
    os.files = {{Day, dayBytes}, {Night, Build(night)}};
    const bool inDff = session.ticked.count(Option::OutputInDffFolder) > 0;
    const std::string folder = inDff ? Folder + "dff\\" : Folder, target = folder + "day.dff",
                      two = folder + "two.dff";
    if (group) os.files[Folder + "two.dff"] = dayBytes;
    if ((flags & 0x800) && inDff) {  // an older output in the way
        os.folders.insert(Folder + "dff");
        os.files[target] = {'o', 'l', 'd'};
    }
    os.syncsWholeFileSystems = !(flags & 0x1000);
    const std::map<std::string, Bytes> before = os.files;
    const std::set<std::string> folders = os.folders;
    if (flags & 0x2000) return CheckPreview(os, session, before, flags & 0x4000);

    merge::RunPolicy policy;
    policy.when = group ? merge::CommitWhen::Later : merge::CommitWhen::AtOnce;
    const bool dry = (flags & 0x8000) != 0;
    if (dry) policy.action = merge::Action::DryRun;
    merge::DropSequence sequences[2];
    merge::PreparedFile files[2];
    MemorySession second = session;
    MemorySession* sessions[2] = {&session, &second};
    std::vector<merge::PendingCommit> commits;
    for (int k = 0; k < (group ? 2 : 1); ++k) {
        const std::string path = k == 0 ? Day : Folder + "two.dff";
        const std::string dropped[] = {path, nightIsDay ? path : Night};
        // What came of it is judged by the log and the files.
        merge::DropResult result = merge::DropResult::NotWritten;
        for (int i = 0; i < 2 && (!i || sequences[k].state == State::AwaitingNight); ++i)
            result = merge::HandleDroppedPath(sequences[k], os, *sessions[k], dropped[i].c_str(),
                                              merge::PathForm::Exact, policy, &files[k]);
        if (result == merge::DropResult::Prepared) commits.push_back({&files[k], sessions[k]});
    }
    // A sequence whose output waits for its commit has ended already.
    const MemorySession ended[2] = {session, second};
    merge::CommitFiles(commits, os);  // none but a group's
    for (int k = 0; k < (group ? 2 : 1); ++k) {
        const MemorySession& ran = *sessions[k];
        Require(Said(ran, "created: ") || Said(ran, " Error: ") || Said(ran, " Skipped: File"),
                "no error line", ran);
        RequireClean(os, ended[k], sequences[k]);
    }
    if (!fault) CheckModesAgree(session, dayBytes);
    const std::string created = dry ? "\r\nDFF would be created: " : "\r\nDFF created: ";
    const bool merged = Said(session, created + target + "\r\n");
    const bool wrote = merged && !dry, wrote2 = Said(second, created + two) && !dry;
    std::map<std::string, Bytes> expected = before;  // and the second target as the first
    if (wrote) expected[target] = os.files[target];
    if (wrote2) expected[two] = wrote ? expected[target] : os.files[two];
    Require(os.files == expected && (!dry || os.folders == folders),
            "another file changed, two alike differ, or a dry run made a folder", session);
    const bool every = session.ticked.count(Option::EveryGeometry) > 0;
    if (!wellFormed) return;
    if (session.ticked.count(Option::Strip))
        return Require(!wrote || os.files[target] == Build(WithoutNightColours(day, every)),
                       "the stripped model is not the generator's without night colours", session);

    // A fault ends the sequence, but in a temporary file that is then made under another name,
    // or in a step after the replacement. Which of two sequences it hit is not known.
    const bool fired = fault && os.calls[static_cast<int>(call)] >= fault && call != Call::Create &&
                       call != Call::SyncFolder;
    std::map<uint32_t, Bytes> colours;
    const Outcome outcome = Expected(session, day, night, &colours);
    for (auto& chunk : colours) {
        chunk.second = modelgen::Adjusted(chunk.second, adjustment);
        Light(day.geometries[chunk.first], session.lit, chunk.second);
    }
    const Outcome came = merged ? Outcome::Merged
                         : Said(session, " Skipped: File") ? Outcome::LeftAsItIs : Outcome::Refused;
    Require((fired && group) || came == (fired ? Outcome::Refused : outcome),
            merged ? "took a model it must refuse" : "refused a model it must take", session);
    Require(!wrote || os.files[target] == modelgen::WithNightColours(day, colours).bytes,
            "the output is not the expected model", session);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Check(in);
    return 0;
}
