// A model's geometries listed, one line each: what the command line's
// listing shows. The model is read by the day stage itself, planned as a
// merge of every geometry with "Always Merge" would plan it, so that a
// listing refuses what a merge refuses, with its message, and changes
// nothing.
#include <cstring>
#include <string>

#include "merge/DropSequence.h"
#include "merge/Listing.h"
#include "merge/Messages.h"
#include "merge/ModelStart.h"

namespace merge {

namespace {

// The day stage's session for a listing: every geometry, old night colours
// replaced, no night model; its log kept.
struct ListingSession final : Session {
    bool IsTicked(Option option) override {
        return option == Option::EveryGeometry || option == Option::AlwaysMerge ||
               option == Option::OneFileMode;
    }
    void ColourFieldText(Channel, char* buffer, int) override { buffer[0] = '\0'; }
    ChannelAdjustment AdjustmentOf(Channel) override { return {}; }
    void EnableOneFileMode(bool) override {}
    void AppendLog(const char* text) override { log += text; }
    bool PathFits(const char*) override { return true; }

    std::string log;
};

// The log's error line as a field of the listing: from "Error: " to its
// line end.
std::string ErrorField(const std::string& log) {
    const size_t error = log.find(text::Error);
    if (error == std::string::npos) return "";
    return log.substr(error, log.find_first_of("\r\n", error) - error);
}

// A refusal that says only that no geometry can take night colours: no
// fault of the model, whose geometries are listed all the same.
bool NoneCanTakeColours(const std::string& error) {
    for (const char* line : {text::NoVertexColour, text::NoExtension})
        if (error + text::LineEnd == line + std::strlen(" ")) return true;
    return false;
}

}  // namespace

std::string ListedPath(const std::string& path) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string listed;
    for (const char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            listed += "\\t";
        } else if (c == '\n') {
            listed += "\\n";
        } else if (c == '\r') {
            listed += "\\r";
        } else if (c == '\\') {
            listed += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            listed += "\\x";
            listed += Hex[byte >> 4];
            listed += Hex[byte & 15];
        } else {
            listed += c;
        }
    }
    return listed;
}

bool ListModel(Os& os, const std::string& path, std::string* lines) {
    ListingSession session;
    DropSequence sequence;
    std::vector<GeometryRead> geometries;
    sequence.DayPath = path;
    sequence.Listed = &geometries;
    const bool planned = AnalyseDayFile(sequence, os, session) == DayResult::Analysed;
    sequence.Plan.reset();
    const std::string error = planned ? "" : ErrorField(session.log);
    const std::string listed = ListedPath(path);
    if (!planned && !NoneCanTakeColours(error)) {
        *lines += listed + "\t" + error + text::LineEnd;
        return false;
    }
    for (size_t k = 0; k < geometries.size(); ++k) {
        const GeometryRead& geometry = geometries[k];
        *lines += listed + "\t" + std::to_string(k + 1) + "\t" +
                  std::to_string(geometry.VertexCount) + "\t" + (geometry.Prelit ? "yes" : "no") +
                  "\t" +
                  (geometry.NightVertices < 0 ? "-" : std::to_string(geometry.NightVertices)) +
                  text::LineEnd;
    }
    return true;
}

bool HoldsNightColours(Os& os, const std::string& path, bool every) {
    InputFile file;
    ModelStart start;
    std::vector<GeometryFields> geometries;
    if (!OpenInput(os, path.c_str(), &file).ok() || CheckModelStart(*file, &start, false) ||
        FindGeometries(*file, start.geometryList, &geometries) || geometries.empty())
        return false;
    if (!every) geometries.resize(1);
    for (const GeometryFields& geometry : geometries) {
        ExtensionFields extension;
        if (FindExtension(*file, geometry, file->Size(), &extension)) return false;
        const bool takes = geometry.prelit && extension.offset;
        // Only night colours that "Always Merge" would replace count.
        const bool holds = extension.night && !ExtensionProblem(extension);
        if ((takes || !every) && !holds) return false;
    }
    return true;
}

}  // namespace merge
