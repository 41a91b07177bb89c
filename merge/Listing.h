// A model's geometries listed, for the command line: what a merge of every
// geometry with "Always Merge" reads and would replace.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "merge/Os.h"

namespace merge {

struct ListedGeometry {
    uint32_t vertices = 0;
    bool prelit = false;
    int64_t nightVertices = -1;  // of the night colours a merge would replace; -1: none
    // When asked for: each material's texture name, in list order (none: a
    // material without a texture); texturesRead is false where they cannot
    // be read.
    bool texturesRead = false;
    std::vector<std::optional<std::string>> textures;
};

struct Listing {
    // The refusal's line (from "Error: " on, without its end) of a model
    // that such a merge refuses; empty when its geometries are listed. One
    // refused only because no geometry can take night colours is listed.
    std::string error;
    std::vector<ListedGeometry> geometries;
};

// With textures, each geometry's texture names are read too. With lit, the
// model is read as a merge with lit rules reads it: refused where that
// refuses for its materials.
Listing ListModel(Os& os, const std::string& path, bool textures = false, bool lit = false);

// Whether the model at path holds night colours in every geometry that a
// merge would give them, as a skip judges it: the first, or, with every
// geometry, each with prelit colours and an Extension. False for a model
// that cannot be read, or that such a merge would refuse.
bool HoldsNightColours(Os& os, const std::string& path, bool every);

// A path as a field of a listing, one line without tabs: a tab, a line
// feed, a carriage return and a backslash written \t, \n, \r and \\, and
// any other control byte as \xHH.
std::string ListedPath(const std::string& path);

}  // namespace merge
