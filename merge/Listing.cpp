// The listing and the skip's look at an output: actions over the one
// reading and judgement of a model, which change nothing.
#include "merge/Listing.h"

#include "merge/Judgement.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// A line of the table as a field: from "Error: " on, without its line end.
std::string LineField(const char* line) {
    std::string field = line + 1;
    return field.substr(0, field.find_first_of("\r\n"));
}

}  // namespace

std::string ListedPath(const std::string& path) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string listed;
    for (const char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            listed += "\\t";
        } else if (c == '\n') {
            listed += "\\n";
        } else if (c == '\r') {
            listed += "\\r";
        } else if (c == '\\') {
            listed += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            listed += "\\x";
            listed += Hex[byte >> 4];
            listed += Hex[byte & 15];
        } else {
            listed += c;
        }
    }
    return listed;
}

Listing ListModel(Os& os, const std::string& path, bool textures, bool lit) {
    Listing listing;
    InputFile file;
    const Status opened = OpenInput(os, path.c_str(), &file);
    if (!opened.ok()) {
        const std::string text = opened.Is(Problem::NotADiskFile) ? text::NotADiskFile
                                                                   : opened.text;
        listing.error = text::SystemError.text + text.substr(0, text.find_first_of("\r\n"));
        return listing;
    }
    MergeMode mode;
    mode.every = mode.alwaysMerge = true;
    mode.lit = lit;
    ReadDepth depth;
    depth.materials = textures || lit;
    const ModelRead model = ReadModel(*file, true, depth);
    const Judgement judged = Judge(model, mode);
    const bool noneTakes = (judged.fault == Fault::NoVertexColour ||
                            judged.fault == Fault::NoExtension) &&
                           model.geometries[0].counted;
    if (judged.verdict == Verdict::Refused && !noneTakes) {
        listing.error = LineField(MessageOf(judged.fault).text);
        return listing;
    }
    for (const GeometryRead& geometry : model.geometries) {
        ListedGeometry listed;
        listed.vertices = geometry.vertexCount;
        listed.prelit = geometry.prelit;
        // A triangle's material past the list leaves the list whole.
        const Fault fault = geometry.materialFault;
        listed.texturesRead = textures && geometry.counted &&
                              (fault == Fault::None || fault == Fault::MaterialPastList);
        const MaterialsRead& list = geometry.materials;
        for (size_t k = 0; listed.texturesRead && k < list.entries.size(); ++k) {
            const MaterialRead& material = list.materials[list.entries[k]];
            if (material.textured)
                listed.textures.emplace_back(material.texture);
            else
                listed.textures.emplace_back();
        }
        listing.geometries.push_back(listed);
    }
    for (const NightChunk& chunk : judged.plan.Chunks) {
        const uint32_t size = model.geometries[chunk.Geometry].extension.nightSize;
        if (chunk.ReplacedLength > 0)
            listing.geometries[chunk.Geometry].nightVertices =
                size < 4 ? 0 : (size - 4) / rw::ColourSize;
    }
    return listing;
}

bool HoldsNightColours(Os& os, const std::string& path, bool every) {
    InputFile file;
    if (!OpenInput(os, path.c_str(), &file).ok()) return false;
    MergeMode mode;
    mode.every = every;
    mode.skip = true;
    return Judge(ReadModel(*file, every, MergeDepth), mode).verdict == Verdict::LeftAsItIs;
}

}  // namespace merge
