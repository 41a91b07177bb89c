// What the pipeline's tests and its fuzzer share: a session in memory, the
// expected output of a merge, and the state every sequence must end in.
#pragma once

#include <set>
#include <string>

#include "merge/DropSequence.h"
#include "merge/Session.h"
#include "tests/support/MemoryOs.h"
#include "tools/modelgen/ModelGen.h"

namespace testsupport {

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

// The merged model, as the generator writes it on its own: the day model's
// shape with a night colour chunk of these colours in its first Extension,
// in place of its old one or as its last child.
Bytes Merged(modelgen::ModelShape day, const Bytes& colours);

// What is wrong with the state a sequence ended in, empty when nothing is:
// every block released once, no file open, the box enabled, waiting for a
// day model, and every replacement made only once its file had the target's
// permissions and was on the disk, its folder flushed after it.
std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                          const merge::DropSequence& sequence);

}  // namespace testsupport
