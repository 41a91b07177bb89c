// A structural check of an RW binary stream for the tests: is the file a
// well-formed tree of chunks?
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsupport {

// Walks the file as a tree: Clump, Frame List, Geometry List, Geometry,
// Material List, Material, Atomic and Extension hold child chunks; Struct and
// every other type are leaves. True when every container's children exactly
// fill its payload and the top-level chunks exactly fill the file (an empty
// file is not a tree). Otherwise false, and why (when given) says where the
// first fault lies.
bool CheckChunkTree(const uint8_t* data, size_t size, std::string* why);

}  // namespace testsupport
