// Ids of the window's controls that the pipeline reads or changes.
#pragma once

namespace merge {

constexpr int IdAlwaysMerge = 1000;
constexpr int IdOutputInDffFolder = 1001;
constexpr int IdFieldR = 1004;
constexpr int IdFieldG = 1007;
constexpr int IdFieldB = 1010;
constexpr int IdFieldA = 1013;
constexpr int IdCopyDayColours = 1015;
constexpr int IdOneFileMode = 1016;
constexpr int IdLogPane = 1017;

}  // namespace merge
