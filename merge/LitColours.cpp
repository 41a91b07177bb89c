// Lit rules: which vertices a rule lights, found in the day stage from the
// day model's triangles and materials while its file is open; and their
// colours, put over the night colours once every other change is made.
#include <cstring>

#include "merge/DropSequence.h"
#include "merge/MaterialList.h"
#include "rwstream/Format.h"

namespace merge {

namespace {

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The first byte of the character after the one at at: a UTF-8 character's
// continuation bytes go with it.
size_t NextCharacter(const std::string& text, size_t at) {
    for (++at; at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;) ++at;
    return at;
}

// The number of the first rule whose pattern the material's texture name
// matches, from 1; 0 for none, and for a material without a texture.
uint8_t RuleOf(const std::vector<LitRule>& rules, const MaterialRead& material) {
    for (size_t r = 0; material.textured && r < rules.size(); ++r)
        if (TextureMatches(rules[r].pattern, material.texture)) return static_cast<uint8_t>(r + 1);
    return 0;
}

// Each vertex of the triangles whose material has a rule takes the rule,
// unless it has an earlier one already: the first rule given wins.
void MarkTriangles(const MaterialsRead& list, const uint8_t* materialRule, const uint8_t* batch,
                   uint32_t count, uint8_t* ruleOf, uint32_t n) {
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* triangle = batch + TriangleSize * k;
        const uint32_t entry = TriangleField(triangle, TriangleMaterial);
        // The judgement refused a model whose list is not whole or whose
        // triangle names a material past it; this walk reads the file
        // again, and trusts it no more than the reading did.
        if (entry >= list.entries.size() || list.entries[entry] >= list.materials.size()) continue;
        const uint8_t rule = materialRule[list.entries[entry]];
        for (int field : TriangleCorners) {
            const uint32_t v = TriangleField(triangle, field);
            // A corner past the vertices is no vertex to light.
            if (rule && v < n && (!ruleOf[v] || rule < ruleOf[v])) ruleOf[v] = rule;
        }
    }
}

}  // namespace

bool TextureMatches(const std::string& pattern, const std::string& name) {
    // A star's place in both, to go back to when what follows it fails:
    // each star need only be tried at each place once.
    size_t p = 0, n = 0, star = std::string::npos, starAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = ++p;
            starAt = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n = NextCharacter(name, n);
        } else if (p < pattern.size() && Folded(pattern[p]) == Folded(name[n])) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star;
            n = starAt = NextCharacter(name, starAt);
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool MarkLitVertices(DropSequence& sequence, Os& os, Session& session, rw::ByteStream& file) {
    LitVertices& lit = sequence.Lit;
    const DayModel& day = *sequence.Day;
    for (const NightChunk& chunk : day.Judged.plan.Chunks) {
        const GeometryRead& geometry = day.Reading.geometries[chunk.Geometry];
        const MaterialsRead& list = geometry.materials;
        const uint32_t n = chunk.TakenOut ? 0 : chunk.VertexCount;
        lit.ruleOf.push_back(AllocateBlock(os, n));
        // Each Material's rule, matched once, not once a triangle.
        const Block materialRule = AllocateBlock(os, list.materials.size());
        if (!lit.ruleOf.back() || !materialRule) {
            SayAboutGeometry(session, chunk.Geometry, text::NoMemory);
            return false;
        }
        for (size_t m = 0; m < list.materials.size(); ++m)
            materialRule.get()[m] = RuleOf(lit.rules, list.materials[m]);
        uint8_t* ruleOf = lit.ruleOf.back().get();
        const auto mark = [&](const uint8_t* batch, uint32_t count) {
            MarkTriangles(list, materialRule.get(), batch, count, ruleOf, n);
        };
        if (n > 0 && !VisitTriangles(file, geometry.data, mark)) {
            SayAboutGeometry(session, chunk.Geometry, text::Unreadable);
            return false;
        }
    }
    return true;
}

void LightNightColours(DropSequence& sequence) {
    const LitVertices& lit = sequence.Lit;
    const std::vector<NightChunk>& chunks = sequence.Day->Judged.plan.Chunks;
    for (size_t c = 0; c < lit.ruleOf.size(); ++c) {
        const uint8_t* ruleOf = lit.ruleOf[c].get();
        uint8_t* colours = sequence.Colours[c].get();
        for (uint32_t k = 0; !chunks[c].TakenOut && k < chunks[c].VertexCount; ++k)
            if (ruleOf[k])
                std::memcpy(colours + size_t{rw::ColourSize} * k, lit.rules[ruleOf[k] - 1].colour,
                            rw::ColourSize);
    }
}

}  // namespace merge
