#include "tools/modelgen/CommandLine.h"

#include "cli/OptionTable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

namespace modelgen {

namespace {

constexpr uint8_t PluginFill = 0xC3;
constexpr uint8_t TrailingFill = 0xEE;

bool ParseNumber(const std::string& text, int base, uint64_t max, uint64_t* value) {
    std::string digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x')
        digits = digits.substr(2);
    // strtoull would accept blanks and a sign; a number here is digits only.
    if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0]))) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(digits.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || parsed > max) return false;
    *value = parsed;
    return true;
}

bool ParseU32(const std::string& text, int base, uint32_t* value) {
    uint64_t parsed;
    if (!ParseNumber(text, base, UINT32_MAX, &parsed)) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

// "A:B", A parsed in baseA and B in decimal.
bool ParsePair(const std::string& text, int baseA, uint32_t* a, uint32_t* b) {
    size_t colon = text.find(':');
    return colon != std::string::npos && ParseU32(text.substr(0, colon), baseA, a) &&
           ParseU32(text.substr(colon + 1), 10, b);
}

bool ParseChunk(const std::string& text, RawChunk* chunk) {
    uint32_t length;
    if (!ParsePair(text, 16, &chunk->type, &length)) return false;
    chunk->payload.assign(length, PluginFill);
    return true;
}

// "R,G,B,A" as four decimals from low to high (a sign allowed when low < 0).
template <typename Number>
bool ParseFour(const std::string& text, int64_t low, int64_t high, Number numbers[4]) {
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = i < 3 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return false;
        const std::string item = text.substr(start, comma - start);
        const bool negative = low < 0 && !item.empty() && item[0] == '-';
        uint64_t magnitude;
        if (!ParseNumber(item.substr(negative ? 1 : 0), 10, 1000, &magnitude)) return false;
        const int64_t value = static_cast<int64_t>(magnitude) * (negative ? -1 : 1);
        if (value < low || value > high) return false;
        numbers[i] = static_cast<Number>(value);
        start = comma + 1;
    }
    return true;
}

// "I,J,..." as decimals from low to high (a sign allowed when low < 0).
template <typename Number>
bool ParseList(const std::string& text, int64_t low, int64_t high, std::vector<Number>* numbers) {
    numbers->clear();
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        const bool negative = low < 0 && !item.empty() && item[0] == '-';
        uint64_t magnitude;
        if (!ParseNumber(item.substr(negative ? 1 : 0), 10, uint64_t{UINT32_MAX}, &magnitude))
            return false;
        const int64_t value = static_cast<int64_t>(magnitude) * (negative ? -1 : 1);
        if (value < low || value > high) return false;
        numbers->push_back(static_cast<Number>(value));
        start = comma + 1;
    }
    return true;
}

bool ParseColour(const std::string& text, uint8_t colour[4]) {
    return ParseFour(text, 0, 255, colour);
}

// "CHUNK:N" with N a signed decimal: the size field it changes, by how much.
bool ApplySizeChange(const std::string& text, GeometryShape& geometry, ModelShape& shape) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    const std::string chunk = text.substr(0, colon), number = text.substr(colon + 1);
    const bool negative = !number.empty() && number[0] == '-';
    uint64_t magnitude;
    if (!ParseNumber(number.substr(negative ? 1 : 0), 10, INT32_MAX, &magnitude)) return false;
    const int32_t change =
        static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : magnitude);
    int32_t* field = chunk == "clump"       ? &shape.clumpSizeChange
                     : chunk == "list"      ? &shape.geometryListSizeChange
                     : chunk == "geometry"  ? &geometry.geometrySizeChange
                     : chunk == "extension" ? &geometry.extensionSizeChange
                                            : nullptr;
    if (!field) return false;
    *field = change;
    return true;
}

// What the options set for every geometry, applied once all are read.
struct GeometryOptions {
    GeometryShape geometry;
    // Night colour chunks by geometry: before which plugin, for how many vertices.
    std::map<uint32_t, std::pair<int, uint32_t>> nightChunks;
    uint32_t count = 1;
    bool triangleCountGiven = false;
    bool materialsGiven = false;  // in place of the one without a texture
    bool colourGiven = false;
    uint8_t colour[4] = {};
    // The night chunks' colours made from the geometry's own.
    bool adjustmentGiven = false;
    ColourAdjustment adjustment;
};

void ApplyGeometryOptions(GeometryOptions& options, ModelShape& shape) {
    GeometryShape& geometry = options.geometry;
    if (!options.triangleCountGiven) geometry.triangleCount = geometry.vertexCount / 3;
    if (options.colourGiven) {
        geometry.colours.resize(size_t{4} * geometry.vertexCount);
        for (size_t i = 0; i < geometry.colours.size(); ++i)
            geometry.colours[i] = options.colour[i % 4];
    }
    // The size changes are the first geometry's only.
    GeometryShape others = geometry;
    others.geometrySizeChange = others.extensionSizeChange = 0;
    shape.geometries.assign(options.count, others);
    if (!shape.geometries.empty()) shape.geometries[0] = geometry;
    for (const auto& chunk : options.nightChunks) {
        if (chunk.first >= shape.geometries.size()) continue;
        shape.geometries[chunk.first].nightChunkIndex = chunk.second.first;
        shape.geometries[chunk.first].nightChunkVertices = chunk.second.second;
    }
    for (uint32_t k = 0; options.adjustmentGiven && k < shape.geometries.size(); ++k) {
        GeometryShape& g = shape.geometries[k];
        if (g.nightChunkIndex < 0) continue;
        // Cut or filled out to the chunk's own count.
        g.nightColours = Adjusted(g.colours.empty() ? PatternColours(k, g.vertexCount) : g.colours,
                                  options.adjustment);
        g.nightColours.resize(size_t{4} * g.nightChunkVertices, 0x5A);
    }
}

// What the options have said so far.
struct Reading : GeometryOptions {
    ModelShape shape;
    std::vector<std::string> paths;
    bool help = false;
    std::string error;
};

using Value = const std::string&;

bool TakeChunk(Value value, std::vector<RawChunk>& chunks) {
    RawChunk chunk;
    if (!ParseChunk(value, &chunk)) return false;
    chunks.push_back(chunk);
    return true;
}

bool TakeMaterial(Reading& r, bool textured, Value texture) {
    if (!r.materialsGiven) r.geometry.materials.clear();
    r.materialsGiven = true;
    r.geometry.materials.push_back({textured, texture});
    return true;
}

bool TakeNightChunk(Reading& r, Value value) {
    const size_t at = value.find('@');
    uint32_t before = 0, vertices = 0, index = 1;
    if (!ParsePair(value.substr(0, at), 10, &before, &vertices) || before > INT32_MAX ||
        (at != std::string::npos && (!ParseU32(value.substr(at + 1), 10, &index) || index == 0)))
        return false;
    r.nightChunks[index - 1] = {static_cast<int>(before), vertices};
    return true;
}

// n bytes of fill, n given in decimal.
bool TakeFill(Value value, uint8_t fill, Bytes& bytes) {
    uint32_t n;
    if (!ParseU32(value, 10, &n)) return false;
    bytes.assign(n, fill);
    return true;
}

bool TakeTruncation(Reading& r, Value value) {
    uint64_t size;
    if (!ParseNumber(value, 10, SIZE_MAX, &size)) return false;
    r.shape.truncateAt = static_cast<size_t>(size);
    return true;
}

bool TakePath(Reading& r, Value path) {
    r.paths.push_back(path);
    return true;
}

#define SETS(field, to) [](Reading& r, Value) { return (field = to), true; }

constexpr cli::OptionRow<Reading> Rows[] = {
    {'\0', nullptr, nullptr, "Geometries (every option applies to each geometry):", nullptr},
    {'\0', "vertices", "N", "vertices per geometry (default 3)",
     [](Reading& r, Value v) { return ParseU32(v, 10, &r.geometry.vertexCount); }},
    {'\0', "triangles", "N", "triangles per geometry (default vertices / 3)",
     [](Reading& r, Value v) {
         return r.triangleCountGiven = ParseU32(v, 10, &r.geometry.triangleCount);
     }},
    {'\0', "geometries", "K", "number of geometries (default 1)",
     [](Reading& r, Value v) { return ParseU32(v, 10, &r.count); }},
    {'\0', "no-prelit", nullptr, "no prelit colours (format flag 0x08 clear)",
     SETS(r.geometry.prelit, false)},
    {'\0', "colour", "R,G,B,A",
     "every vertex this colour (default: a pattern that\n"
     "differs per vertex and per geometry)",
     [](Reading& r, Value v) { return r.colourGiven = ParseColour(v, r.colour); }},
    {'\0', "color", "R,G,B,A", "the same as --colour",
     [](Reading& r, Value v) { return r.colourGiven = ParseColour(v, r.colour); }},
    {'\0', "no-extension", nullptr, "no Extension in the geometries",
     SETS(r.geometry.hasExtension, false)},
    {'\0', "plugin", "TYPE:LEN",
     "a chunk of type TYPE (hex) and LEN bytes in each\n"
     "geometry's Extension; repeatable, kept in order",
     [](Reading& r, Value v) { return TakeChunk(v, r.geometry.plugins); }},
    {'\0', "night-chunk", "INDEX:VERTICES[@GEOMETRY]",
     "a night colour chunk for VERTICES vertices in the\n"
     "Extension of geometry GEOMETRY (from 1; the first\n"
     "when not given), before plugin INDEX (INDEX =\n"
     "number of plugins puts it last); repeatable",
     TakeNightChunk},
    {'\0', "night-scale", "R,G,B,A",
     "the night chunks' colours made from the geometry's\n"
     "own, each channel scaled by these percentages\n"
     "(0-1000), as tintweld-cli --copy-day --scale does",
     [](Reading& r, Value v) {
         return r.adjustmentGiven = ParseFour(v, 0, 1000, r.adjustment.scale);
     }},
    {'\0', "night-offset", "R,G,B,A",
     "the same, with these added (-255-255), as\n"
     "tintweld-cli --offset does",
     [](Reading& r, Value v) {
         return r.adjustmentGiven = ParseFour(v, -255, 255, r.adjustment.offset);
     }},
    {'\0', "texture", "NAME",
     "a material textured NAME in the Material List;\n"
     "repeatable, kept in order (without --texture or\n"
     "--untextured: one material without a texture)",
     [](Reading& r, Value v) { return TakeMaterial(r, true, v); }},
    {'\0', "untextured", nullptr, "a material without a texture; repeatable",
     [](Reading& r, Value) { return TakeMaterial(r, false, ""); }},
    {'\0', "triangle-materials", "I,J,...",
     "each triangle's material, by its index in the list\n"
     "from 0, in turn and over again (default 0)",
     [](Reading& r, Value v) { return ParseList(v, 0, 65535, &r.geometry.triangleMaterials); }},
    {'\0', nullptr, nullptr, "\nModel:", nullptr},
    {'\0', "version", "HEX", "the Clump's version stamp (default 1803FFFF)",
     [](Reading& r, Value v) { return ParseU32(v, 16, &r.shape.version); }},
    {'\0', "first-type", "HEX", "the first chunk's type (default 10, Clump)",
     [](Reading& r, Value v) { return ParseU32(v, 16, &r.shape.firstChunkType); }},
    {'\0', "before-list", "TYPE:LEN",
     "a chunk between the Clump's Struct and the Frame\n"
     "List; repeatable",
     [](Reading& r, Value v) { return TakeChunk(v, r.shape.chunksBeforeGeometryList); }},
    {'\0', "clump-plugin", "TYPE:LEN", "a chunk in the Clump's Extension; repeatable",
     [](Reading& r, Value v) { return TakeChunk(v, r.shape.clumpPlugins); }},
    {'\0', "list-after-clump", nullptr, "the Geometry List after the end of the Clump",
     SETS(r.shape.geometryListAfterClump, true)},
    {'\0', "list-struct-extra", "LEN",
     "LEN more bytes in the Geometry List's Struct,\n"
     "after its count",
     [](Reading& r, Value v) { return TakeFill(v, PluginFill, r.shape.listStructExtra); }},
    {'\0', nullptr, nullptr, "\nMalformed files:", nullptr},
    {'\0', "vertex-count-field", "N", "write N as the first geometry's vertex count",
     [](Reading& r, Value v) {
         return r.shape.overrideVertexCount = ParseU32(v, 10, &r.shape.vertexCountField);
     }},
    {'\0', "trailing", "N", "append N bytes after the Clump",
     [](Reading& r, Value v) { return TakeFill(v, TrailingFill, r.shape.trailing); }},
    {'\0', "truncate", "N", "cut the file after N bytes", TakeTruncation},
    {'\0', "size-change", "CHUNK:N",
     "add N (may be negative) to the size field of the\n"
     "clump, list, geometry or extension (those of the\n"
     "first geometry); repeatable",
     [](Reading& r, Value v) { return ApplySizeChange(v, r.geometry, r.shape); }},
    {'\0', "material-indices", "I,J,...",
     "write these as the Material List's indices (-1: a\n"
     "material follows), whatever the materials written",
     [](Reading& r, Value v) {
         return ParseList(v, INT32_MIN, INT32_MAX, &r.geometry.materialIndices);
     }},
    {'\0', "unterminated-textures", nullptr,
     "write each texture name without its zero byte",
     SETS(r.geometry.unterminatedTextures, true)},
    {'\0', nullptr, nullptr, "", nullptr},
    {'h', "help", nullptr, "show this help and exit", SETS(r.help, true)},
};

#undef SETS

}  // namespace

std::string UsageText() {
    return "Usage: modelgen [OPTION]... OUT.dff\n"
           "Writes a synthetic RW binary stream model (DFF) to OUT.dff: a Clump with a\n"
           "Frame List, a Geometry List of prelit geometries, Atomics and Extensions.\n"
           "\n" +
           cli::OptionHelp(Rows) +
           "\n"
           "Numbers are decimal, TYPE and HEX hexadecimal (with or without 0x).\n"
           "Exit status: 0 when written, 1 when the file cannot be written, 2 on a\n"
           "usage error.\n";
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    Reading r;
    CommandLine line;
    line.help = cli::ParseOptions(Rows, arguments, r, TakePath) && r.help;
    if (line.help) return line;
    if (r.error.empty() && r.paths.size() != 1)
        r.error = r.paths.empty() ? "no output file given" : "more than one output file given";
    for (const auto& chunk : r.nightChunks) {
        if (!r.error.empty()) break;
        if (chunk.second.first > static_cast<int>(r.geometry.plugins.size()) ||
            chunk.first >= r.count)
            r.error = "night chunk " + std::to_string(chunk.second.first) + "@" +
                      std::to_string(chunk.first + 1) + " is past the plugins or the geometries";
    }
    line.error = r.error;
    if (!line.error.empty()) return line;
    line.outputPath = r.paths[0];
    ApplyGeometryOptions(r, r.shape);
    line.shape = r.shape;
    return line;
}

}  // namespace modelgen
