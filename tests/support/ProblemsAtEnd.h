// The state every sequence must end in.
#pragma once

#include <string>

#include "merge/DropSequence.h"
#include "tests/support/MemoryOs.h"
#include "tests/support/MemorySession.h"

namespace testsupport {

// What is wrong with the state a sequence ended in, empty when nothing is:
// every block released once, no file open, no temporary file left, every
// replacement made only once its file had the target's permissions and was
// on the disk and its folder flushed after it, the box enabled, and waiting
// for a day model.
std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                          const merge::DropSequence& sequence);

}  // namespace testsupport
