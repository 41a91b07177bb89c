// What the pipeline's tests and its fuzzer share: a session in memory, the
// generator's models, and the state every sequence must end in.
#pragma once

#include <set>
#include <string>

#include "merge/DropSequence.h"
#include "tests/support/MemoryOs.h"
#include "tools/modelgen/ModelGen.h"

namespace testsupport {

using modelgen::PatternColours;
using modelgen::Repeat;

// The window as it starts: no box ticked, the fields 64, 64, 64, 255.
struct MemorySession final : merge::Session {
    std::string log;
    std::set<merge::Option> ticked;
    std::string fields[4] = {"64", "64", "64", "255"};
    bool oneFileModeEnabled = true;

    bool IsTicked(merge::Option option) override { return ticked.count(option) > 0; }
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override;
    void EnableOneFileMode(bool enabled) override { oneFileModeEnabled = enabled; }
    void AppendLog(const char* text) override { log += text; }
};

// One geometry of n vertices with these colours (none: the generator's
// pattern); a shape's bytes; the colour fields' defaults for n vertices.
modelgen::ModelShape Shape(uint32_t n, const Bytes& colours = {});
inline Bytes Build(const modelgen::ModelShape& shape) { return modelgen::BuildModel(shape).bytes; }
inline Bytes Grey(uint32_t n) { return Repeat({64, 64, 64, 255}, n); }
// The merged model, as the generator writes it on its own.
inline Bytes Merged(const modelgen::ModelShape& day, const Bytes& colours) {
    return modelgen::WithNightColours(day, colours).bytes;
}

// What is wrong with the state a sequence ended in, empty when nothing is:
// every block released once, no file open, no temporary file left, every
// replacement made only once its file had the target's permissions and was
// on the disk and its folder flushed after it, the box enabled, and waiting
// for a day model.
std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                          const merge::DropSequence& sequence);

}  // namespace testsupport
