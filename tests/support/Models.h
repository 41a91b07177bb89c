// The generator's models and the log's lines, as the tests expect them.
#pragma once

#include <string>

#include "rwstream/Chunk.h"
#include "tools/modelgen/ModelGen.h"

namespace testsupport {

using modelgen::Bytes;
using modelgen::PatternColours;
using modelgen::Repeat;

// One geometry of n vertices with these colours (none: the generator's
// pattern); a shape's bytes; the colour fields' defaults for n vertices.
inline modelgen::ModelShape Shape(uint32_t n, const Bytes& colours = {}) {
    modelgen::ModelShape shape;
    shape.geometries[0].vertexCount = n;
    shape.geometries[0].colours = colours;
    return shape;
}
inline Bytes Build(const modelgen::ModelShape& shape) { return modelgen::BuildModel(shape).bytes; }
inline Bytes Grey(uint32_t n) { return Repeat({64, 64, 64, 255}, n); }
// The first byte after the chunk whose header starts at bytes[at].
inline size_t ChunkEnd(const Bytes& bytes, size_t at) {
    return at + 12 + rw::Load32(&bytes[at + 4]);
}
// The merged model, as the generator writes it on its own.
inline Bytes Merged(const modelgen::ModelShape& day, const Bytes& colours) {
    return modelgen::WithNightColours(day, colours).bytes;
}

// The log's lines, as the window writes them.
inline const std::string Ready = "\r\nReady. Drop day dff file.\r\n";
inline std::string Open(const std::string& path) { return " Opening file: " + path + "\r\n"; }
inline std::string Counted(uint32_t n) {
    return " Analyzing file...\r\n " + std::to_string(n) + " vertex.\r\n";
}
inline std::string Error(const std::string& text) { return " Error: " + text + "\r\n"; }
inline std::string Created(const std::string& path) {
    return "\r\nDFF created: " + path + "\r\n" + Ready;
}

}  // namespace testsupport
