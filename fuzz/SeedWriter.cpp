// Writes the fuzzer's seed corpus into a folder: generated models of several
// shapes, valid and malformed, each paired with a night file and a few sets
// of options. The corpus itself is never committed; this program makes it.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "tools/modelgen/ModelGen.h"

namespace {

using modelgen::Bytes;
using modelgen::ModelShape;

std::vector<ModelShape> DayShapes() {
    std::vector<ModelShape> shapes;
    ModelShape plain;
    shapes.push_back(plain);

    ModelShape empty;
    empty.geometries[0].vertexCount = 0;
    empty.geometries[0].triangleCount = 0;
    shapes.push_back(empty);

    ModelShape two;
    two.geometries.push_back(modelgen::GeometryShape{});
    two.geometries[1].vertexCount = 5;
    shapes.push_back(two);

    ModelShape plugins;
    plugins.geometries[0].plugins = {{0x0116, {1, 2, 3, 4}}, {0x050E, {}}};
    plugins.chunksBeforeGeometryList = {{0x0253F2FE, {9, 9}}};
    plugins.clumpPlugins = {{0x0253F2F9, {1, 1, 1, 1}}};
    shapes.push_back(plugins);

    for (int index : {0, 1, 2}) {
        for (uint32_t vertices : {3u, 7u, 0u}) {
            ModelShape night = plugins;
            night.geometries[0].nightChunkIndex = index;
            night.geometries[0].nightChunkVertices = vertices;
            shapes.push_back(night);
        }
    }

    ModelShape after;
    after.geometryListAfterClump = true;
    shapes.push_back(after);

    ModelShape trailing;
    trailing.trailing = modelgen::BuildModel(ModelShape{}).bytes;
    shapes.push_back(trailing);

    ModelShape noExtension;
    noExtension.geometries[0].hasExtension = false;
    shapes.push_back(noExtension);
    noExtension.geometries.push_back(modelgen::GeometryShape{});
    shapes.push_back(noExtension);

    ModelShape unlit;
    unlit.geometries[0].prelit = false;
    shapes.push_back(unlit);

    ModelShape version;
    version.version = 0x1803FFFE;
    shapes.push_back(version);

    ModelShape notClump;
    notClump.firstChunkType = 0x0E;
    shapes.push_back(notClump);

    ModelShape huge;
    huge.overrideVertexCount = true;
    huge.vertexCountField = 0x40000000;
    shapes.push_back(huge);
    return shapes;
}

// Cuts a valid model at the places where the readers change their mind.
std::vector<Bytes> Truncations(const modelgen::Model& model) {
    const modelgen::ModelLayout& at = model.layout;
    std::vector<size_t> cuts = {3,
                                11,
                                20,
                                at.geometryList + 8,
                                at.firstGeometryData + 1,
                                at.firstGeometryData + 10,
                                at.firstGeometryData + 18,
                                at.firstExtension + 6,
                                at.firstExtensionEnd - 1};
    std::vector<Bytes> out;
    for (size_t cut : cuts) {
        if (cut < model.bytes.size())
            out.emplace_back(model.bytes.begin(), model.bytes.begin() + cut);
    }
    return out;
}

bool WriteSeed(const std::string& folder, int number, const Bytes& seed) {
    std::string path = folder + "/seed-" + std::to_string(number);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(seed.data(), 1, seed.size(), file) == seed.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    const uint8_t defaults[4] = {64, 64, 64, 255};
    const uint8_t odd[4] = {3, 11, 17, 22};
    // One-file, two-file, replacing, copying, into the dff folder over an
    // older output, odd field texts.
    const uint8_t optionSets[] = {
        fuzzinput::OptionOneFile,
        0,
        fuzzinput::OptionAlwaysMerge | fuzzinput::OptionCopyDayColours,
        fuzzinput::OptionAlwaysMerge | fuzzinput::OptionOneFile | fuzzinput::OptionDffFolder |
            fuzzinput::OptionExistingOutput,
        fuzzinput::OptionOneFile | fuzzinput::OptionOddFieldTexts,
    };

    ModelShape fewer;
    fewer.geometries[0].vertexCount = 2;
    ModelShape more;
    more.geometries[0].vertexCount = 9;
    Bytes plainNight = modelgen::BuildModel(ModelShape{}).bytes;
    std::vector<Bytes> nights = {plainNight, modelgen::BuildModel(fewer).bytes,
                                 modelgen::BuildModel(more).bytes,
                                 Bytes(plainNight.begin(), plainNight.begin() + 90)};

    int number = 0;
    std::vector<ModelShape> shapes = DayShapes();
    for (size_t s = 0; s < shapes.size(); ++s) {
        modelgen::Model model = modelgen::BuildModel(shapes[s]);
        for (size_t o = 0; o < sizeof optionSets; ++o) {
            uint8_t options = optionSets[o];
            const uint8_t* channels = options & fuzzinput::OptionOddFieldTexts ? odd : defaults;
            const Bytes& night = nights[(s + o) % nights.size()];
            if (!WriteSeed(folder, number++,
                           fuzzinput::Encode(options, channels, 0, model.bytes, night)))
                return 1;
        }
        if (s == 0) {
            for (const Bytes& cut : Truncations(model)) {
                if (!WriteSeed(folder, number++,
                               fuzzinput::Encode(fuzzinput::OptionOneFile, defaults, 0, cut, {})))
                    return 1;
                if (!WriteSeed(folder, number++,
                               fuzzinput::Encode(0, defaults, 0, model.bytes, cut)))
                    return 1;
            }
            // File operations failing, and reads of either file cut short,
            // over a two-file sequence.
            for (int fault = 1; fault <= 255; fault += fault < 28 || fault >= 250 ? 1 : 5) {
                if (!WriteSeed(
                        folder, number++,
                        fuzzinput::Encode(fuzzinput::OptionDffFolder, defaults,
                                          static_cast<uint8_t>(fault), model.bytes, plainNight)))
                    return 1;
            }
        }
    }
    std::printf("%d seeds in %s\n", number, folder.c_str());
    return 0;
}
