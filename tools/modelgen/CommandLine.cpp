#include "tools/modelgen/CommandLine.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace modelgen {

const char* const UsageText =
    "Usage: modelgen [OPTION]... OUT.dff\n"
    "Writes a synthetic RW binary stream model (DFF) to OUT.dff: a Clump with a\n"
    "Frame List, a Geometry List of prelit geometries, Atomics and Extensions.\n"
    "\n"
    "Geometries (every option applies to each geometry):\n"
    "  --vertices N             vertices per geometry (default 3)\n"
    "  --triangles N            triangles per geometry (default vertices / 3)\n"
    "  --geometries K           number of geometries (default 1)\n"
    "  --no-prelit              no prelit colours (format flag 0x08 clear)\n"
    "  --colour R,G,B,A         every vertex this colour (default: a pattern that\n"
    "                           differs per vertex and per geometry)\n"
    "  --no-extension           no Extension in the geometries\n"
    "  --plugin TYPE:LEN        a chunk of type TYPE (hex) and LEN bytes in each\n"
    "                           geometry's Extension; repeatable, kept in order\n"
    "  --night-chunk INDEX:VERTICES[@GEOMETRY]\n"
    "                           a night colour chunk for VERTICES vertices in the\n"
    "                           Extension of geometry GEOMETRY (from 1; the first\n"
    "                           when not given), before plugin INDEX (INDEX =\n"
    "                           number of plugins puts it last); repeatable\n"
    "  --night-scale R,G,B,A    the night chunks' colours made from the geometry's\n"
    "                           own, each channel scaled by these percentages\n"
    "                           (0-1000), as tintweld-cli --copy-day --scale does\n"
    "  --night-offset R,G,B,A   the same, with these added (-255-255), as\n"
    "                           tintweld-cli --offset does\n"
    "\n"
    "Model:\n"
    "  --version HEX            the Clump's version stamp (default 1803FFFF)\n"
    "  --first-type HEX         the first chunk's type (default 10, Clump)\n"
    "  --before-list TYPE:LEN   a chunk between the Clump's Struct and the Frame\n"
    "                           List; repeatable\n"
    "  --clump-plugin TYPE:LEN  a chunk in the Clump's Extension; repeatable\n"
    "  --list-after-clump       the Geometry List after the end of the Clump\n"
    "  --list-struct-extra LEN  LEN more bytes in the Geometry List's Struct,\n"
    "                           after its count\n"
    "\n"
    "Malformed files:\n"
    "  --vertex-count-field N   write N as the first geometry's vertex count\n"
    "  --trailing N             append N bytes after the Clump\n"
    "  --truncate N             cut the file after N bytes\n"
    "  --size-change CHUNK:N    add N (may be negative) to the size field of the\n"
    "                           clump, list, geometry or extension (those of the\n"
    "                           first geometry); repeatable\n"
    "\n"
    "  -h, --help               show this help and exit\n"
    "\n"
    "Numbers are decimal, TYPE and HEX hexadecimal (with or without 0x).\n"
    "Exit status: 0 when written, 1 when the file cannot be written, 2 on a\n"
    "usage error.\n";

namespace {

constexpr uint8_t PluginFill = 0xC3;
constexpr uint8_t TrailingFill = 0xEE;

bool ParseNumber(const std::string& text, int base, uint64_t max, uint64_t* value) {
    std::string digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
    }
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
    const int32_t change = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : magnitude);
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
        for (size_t i = 0; i < geometry.colours.size(); ++i) geometry.colours[i] = options.colour[i % 4];
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

const char* const ValueOptions[] = {
    "--vertices", "--triangles", "--geometries", "--colour", "--color", "--plugin", "--night-chunk", "--version",
    "--first-type", "--before-list", "--clump-plugin", "--vertex-count-field", "--trailing", "--truncate",
    "--size-change", "--list-struct-extra", "--night-scale", "--night-offset",
};

bool IsValueOption(const std::string& name) {
    for (const char* option : ValueOptions) {
        if (name == option) return true;
    }
    return false;
}

bool ApplyValueOption(const std::string& name, const std::string& value, GeometryOptions& options,
                      ModelShape& shape) {
    GeometryShape& geometry = options.geometry;
    uint32_t number;
    uint64_t size;
    RawChunk chunk;
    if (name == "--vertices") return ParseU32(value, 10, &geometry.vertexCount);
    if (name == "--triangles") return options.triangleCountGiven = ParseU32(value, 10, &geometry.triangleCount);
    if (name == "--geometries") return ParseU32(value, 10, &options.count);
    if (name == "--colour" || name == "--color") return options.colourGiven = ParseColour(value, options.colour);
    if (name == "--night-scale")
        return options.adjustmentGiven = ParseFour(value, 0, 1000, options.adjustment.scale);
    if (name == "--night-offset")
        return options.adjustmentGiven = ParseFour(value, -255, 255, options.adjustment.offset);
    if (name == "--version") return ParseU32(value, 16, &shape.version);
    if (name == "--first-type") return ParseU32(value, 16, &shape.firstChunkType);
    if (name == "--vertex-count-field") {
        return shape.overrideVertexCount = ParseU32(value, 10, &shape.vertexCountField);
    }
    if (name == "--night-chunk") {
        const size_t at = value.find('@');
        uint32_t vertices = 0, index = 1;
        if (!ParsePair(value.substr(0, at), 10, &number, &vertices) || number > INT32_MAX ||
            (at != std::string::npos && (!ParseU32(value.substr(at + 1), 10, &index) || index == 0)))
            return false;
        options.nightChunks[index - 1] = {static_cast<int>(number), vertices};
        return true;
    }
    if (name == "--trailing") {
        if (!ParseU32(value, 10, &number)) return false;
        shape.trailing.assign(number, TrailingFill);
        return true;
    }
    if (name == "--size-change") return ApplySizeChange(value, geometry, shape);
    if (name == "--list-struct-extra") {
        if (!ParseU32(value, 10, &number)) return false;
        shape.listStructExtra.assign(number, PluginFill);
        return true;
    }
    if (name == "--truncate") {
        if (!ParseNumber(value, 10, SIZE_MAX, &size)) return false;
        shape.truncateAt = static_cast<size_t>(size);
        return true;
    }
    if (!ParseChunk(value, &chunk)) return false;
    if (name == "--plugin") geometry.plugins.push_back(chunk);
    if (name == "--before-list") shape.chunksBeforeGeometryList.push_back(chunk);
    if (name == "--clump-plugin") shape.clumpPlugins.push_back(chunk);
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line, std::string* error) {
    *line = CommandLine{};
    ModelShape& shape = line->shape;
    GeometryOptions options;
    GeometryShape& geometry = options.geometry;
    bool optionsEnded = false;
    std::vector<std::string> paths;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (optionsEnded || name.size() < 2 || name[0] != '-') {
            paths.push_back(name);
            continue;
        }
        if (name == "--") {
            optionsEnded = true;
            continue;
        }
        if (name == "-h" || name == "--help") {
            line->help = true;
            return true;
        }
        // Both "--name value" and "--name=value".
        std::string value;
        bool inlineValue = false;
        size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        if (name == "--no-prelit" || name == "--no-extension" || name == "--list-after-clump") {
            if (inlineValue) {
                *error = "option '" + name + "' takes no value";
                return false;
            }
            if (name == "--no-prelit") geometry.prelit = false;
            if (name == "--no-extension") geometry.hasExtension = false;
            if (name == "--list-after-clump") shape.geometryListAfterClump = true;
            continue;
        }
        if (!IsValueOption(name)) {
            *error = "unknown option '" + name + "'";
            return false;
        }
        if (!inlineValue && i + 1 >= arguments.size()) {
            *error = "option '" + name + "' needs a value";
            return false;
        }
        if (!inlineValue) value = arguments[++i];
        if (!ApplyValueOption(name, value, options, shape)) {
            *error = "invalid value '" + value + "' for option '" + name + "'";
            return false;
        }
    }
    if (paths.size() != 1) {
        *error = paths.empty() ? "no output file given" : "more than one output file given";
        return false;
    }
    for (const auto& chunk : options.nightChunks) {
        if (chunk.second.first > static_cast<int>(geometry.plugins.size()) || chunk.first >= options.count) {
            *error = "night chunk " + std::to_string(chunk.second.first) + "@" + std::to_string(chunk.first + 1) +
                     " is past the plugins or the geometries";
            return false;
        }
    }
    line->outputPath = paths[0];
    ApplyGeometryOptions(options, shape);
    return true;
}

}  // namespace modelgen
