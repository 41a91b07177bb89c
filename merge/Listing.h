// The listing of a model's geometries, for the command line.
#pragma once

#include <string>

#include "merge/Os.h"

namespace merge {

// Appends a line for each geometry of the model at path, its fields
// tab-separated: the path (as ListedPath writes it), the geometry's number
// from 1, its vertex count, whether it has prelit colours ("yes" or "no"),
// and the vertex count of the night colours that a merge would replace
// ("-" for none). The model is read as a merge of every geometry with
// "Always Merge" reads it: one that such a merge refuses is one line, the
// path and the merge's error, and false; one refused only because no
// geometry can take night colours is listed all the same.
[[nodiscard]] bool ListModel(Os& os, const std::string& path, std::string* lines);

// Whether the model at path holds night colours in every geometry that a
// merge would give them: the first, or, with every geometry, each with
// prelit colours and an Extension. False for a model that cannot be read.
bool HoldsNightColours(Os& os, const std::string& path, bool every);

// A path as a field of a listing, one line without tabs: a tab, a line
// feed, a carriage return and a backslash written \t, \n, \r and \\, and
// any other control byte as \xHH.
std::string ListedPath(const std::string& path);

}  // namespace merge
