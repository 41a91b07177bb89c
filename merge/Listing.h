// The listing of a model's geometries, for the command line.
#pragma once

#include <string>

#include "merge/Os.h"

namespace merge {

// Appends a line for each geometry of the model at path, its fields
// tab-separated: the path, the geometry's number from 1, its vertex count,
// whether it has prelit colours ("yes" or "no"), and the vertex count of its
// night colours ("-" for none). A model that cannot be read is one line, the
// path and why. False then.
bool ListModel(Os& os, const std::string& path, std::string* lines);

// Whether the model at path holds night colours in every geometry that a
// merge would give them: the first, or, with every geometry, each with
// prelit colours and an Extension. False for a model that cannot be read.
bool HoldsNightColours(Os& os, const std::string& path, bool every);

}  // namespace merge
