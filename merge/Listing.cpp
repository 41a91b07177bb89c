// A model's geometries listed, one line each: what the command line's
// listing shows, read as a merge reads a model and changing nothing.
#include <string>

#include "merge/Listing.h"
#include "merge/ModelStart.h"
#include "merge/Messages.h"
#include "rwstream/Format.h"

namespace merge {

namespace {

// A log line as a field of the listing: without its leading blank and its
// line end.
std::string Field(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    const size_t end = line.find_last_not_of("\r\n");
    return line.substr(first, end + 1 - first);
}

std::string Refused(const std::string& path, const std::string& error) {
    return path + "\t" + Field(error) + text::LineEnd;
}

}  // namespace

bool ListModel(Os& os, const std::string& path, std::string* lines) {
    InputFile file;
    const Status opened = OpenInput(os, path.c_str(), &file);
    if (!opened.ok()) {
        *lines += Refused(path, text::Error + opened.text);
        return false;
    }
    ModelStart start;
    std::vector<GeometryFields> geometries;
    const char* problem = CheckModelStart(*file, &start, false);
    if (!problem) problem = FindGeometries(*file, start.geometryList, &geometries);
    for (size_t k = 0; !problem && k < geometries.size(); ++k) {
        const GeometryFields& geometry = geometries[k];
        ExtensionFields extension;
        FindExtension(*file, geometry, file->Size(), &extension);
        const bool night = extension.offset && extension.night && extension.nightSize >= 4;
        *lines += path + "\t" + std::to_string(k + 1) + "\t" +
                  std::to_string(geometry.vertexCount) + "\t" + (geometry.prelit ? "yes" : "no") +
                  "\t" +
                  (night ? std::to_string((extension.nightSize - 4) / rw::ColourSize) : "-") +
                  text::LineEnd;
    }
    if (problem) *lines += Refused(path, problem);
    return !problem;
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
        const bool holds = extension.night && !extension.nightPastFile && !extension.nightCut;
        if ((takes || !every) && !holds) return false;
    }
    return true;
}

}  // namespace merge
