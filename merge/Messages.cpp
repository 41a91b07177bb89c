#include "merge/Messages.h"

#include <cstddef>

namespace merge {

const Message& MessageOf(Fault fault) {
    // In the order of Fault.
    static constexpr Message None = {Kind::Step, ""};
    static constexpr const Message* Lines[] = {
        &None,
        &text::NoClump,
        &text::WrongVersion,
        &text::NoGeometryList,
        &text::NoVertexColour,
        &text::NoExtension,
        &text::HasNightColours,
        &text::ListNotAsLaidOut,
        &text::GeometriesMiscounted,
        &text::EndsInGeometry,
        &text::CountDoesNotFit,
        &text::TooLarge,
        &text::NoMemory,
        &text::Unreadable,
        &text::ClumpPastFile,
        &text::ListPastFile,
        &text::GeometryPastFile,
        &text::ExtensionPastFile,
        &text::ExtensionPastGeometry,
        &text::NightPastFile,
        &text::NightPastExtension,
        &text::ChunkPastExtension,
        &text::GeometryPastList,
        &text::ListPastClump,
        &text::GeometryDataMiscounted,
        &text::MaterialsMiscounted,
        &text::MaterialNotGiven,
        &text::MaterialPastList,
        &text::TextureNameUnended,
    };
    static_assert(sizeof Lines / sizeof Lines[0] ==
                      static_cast<size_t>(Fault::TextureNameUnended) + 1,
                  "a line for every fault");
    return *Lines[static_cast<size_t>(fault)];
}

}  // namespace merge
