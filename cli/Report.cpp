#include "cli/Report.h"

#include "cli/Json.h"
#include "merge/Listing.h"
#include "merge/Messages.h"

namespace cli {

namespace {

namespace text = merge::text;

// The results' names, in the order of Result, as scripts read them.
const char* const Names[] = {"merged", "would-merge", "stripped", "would-strip",
                             "left",   "failed",      "listed",   "not-reached"};

bool Writes(Result result) {
    return result == Result::Merged || result == Result::Stripped ||
           result == Result::WouldMerge || result == Result::WouldStrip;
}

std::string ModelObject(const Job& job) {
    std::string messages;
    for (const auto& line : job.log.lines)
        messages += (messages.empty() ? "" : ",") + JsonString(line.second);
    return "{\"type\":\"model\",\"path\":" + JsonString(job.day) +
           ",\"output\":" + (Writes(job.result) ? JsonString(job.output) : "null") +
           ",\"result\":\"" + Names[static_cast<size_t>(job.result)] + "\",\"messages\":[" +
           messages + "]}" + text::LineEnd;
}

// A geometry's texture names as JSON: an array, a material's null when it
// has no texture; null when they cannot be read.
std::string Textures(const merge::ListedGeometry& g) {
    if (!g.texturesRead) return "null";
    std::string names;
    for (const auto& name : g.textures)
        names += (names.empty() ? "" : ",") + (name ? JsonString(*name) : "null");
    return "[" + names + "]";
}

// A listed model: a line (or an object) a geometry, or one for its error.
std::string Listed(const Job& job, bool json) {
    const merge::Listing& listing = job.listing;
    const std::string path = json ? JsonString(job.day) : merge::ListedPath(job.day);
    if (!listing.error.empty())
        return json ? "{\"type\":\"error\",\"path\":" + path +
                          ",\"message\":" + JsonString(listing.error) + "}" + text::LineEnd
                    : path + "\t" + listing.error + text::LineEnd;
    std::string lines;
    for (size_t k = 0; k < listing.geometries.size(); ++k) {
        const merge::ListedGeometry& g = listing.geometries[k];
        const std::string night = g.nightVertices < 0 ? (json ? "null" : "-")
                                                      : std::to_string(g.nightVertices);
        if (json)
            lines += "{\"type\":\"geometry\",\"path\":" + path +
                     ",\"geometry\":" + std::to_string(k + 1) +
                     ",\"vertices\":" + std::to_string(g.vertices) +
                     ",\"prelit\":" + (g.prelit ? "true" : "false") + ",\"night\":" + night +
                     ",\"textures\":" + Textures(g) + "}" + text::LineEnd;
        else
            lines += path + "\t" + std::to_string(k + 1) + "\t" + std::to_string(g.vertices) +
                     "\t" + (g.prelit ? "yes" : "no") + "\t" + night + text::LineEnd;
    }
    return lines;
}

}  // namespace

void Report::Write(const std::string& text) { written = output.WriteLog(text) && written; }

void Report::Model(const Job& job) {
    ++counts[static_cast<size_t>(job.result)];
    if (job.result == Result::NotReached) return;
    ++models;
    const bool failed = job.result == Result::Failed || !job.listing.error.empty();
    if (options.quiet && !failed && !job.log.Remarkable()) return;
    if (options.list) return Write(Listed(job, options.json));
    if (options.json) return Write(ModelObject(job));
    Write(between + job.log.text);
    between = text::LineEnd;
}

void Report::Picture(const std::string& path) {
    if (options.json)
        Write("{\"type\":\"picture\",\"path\":" + JsonString(path) + "}" + text::LineEnd);
}

void Report::Lines(const ModelLog& log) {
    if (options.json || (options.quiet && !log.Remarkable())) return;
    Write(log.text);
}

void Report::End(size_t notReached, bool interrupted, std::string* errors) {
    const auto count = [this](Result result) { return counts[static_cast<size_t>(result)]; };
    if (options.json) {
        std::string summary = "{\"type\":\"summary\"";
        for (Result result : {Result::Merged, Result::WouldMerge, Result::Stripped,
                              Result::WouldStrip, Result::Left, Result::Failed, Result::Listed}) {
            std::string name = Names[static_cast<size_t>(result)];
            for (char& c : name)
                if (c == '-') c = '_';
            summary += ",\"" + name + "\":" + std::to_string(count(result));
        }
        Write(summary + ",\"not_reached\":" + std::to_string(notReached) +
              ",\"interrupted\":" + (interrupted ? "true" : "false") + "}" + text::LineEnd);
    } else if (interrupted) {
        Write(between + text::NotReached.text + std::to_string(notReached) +
              text::NotReachedAfter);
    }
    // Every model reached when the run was not interrupted and its log written.
    if (interrupted || !written || models < 2) return;
    const size_t failed = count(Result::Failed);
    std::string line;
    if (options.list) {
        line = Count(models) + " models read, " + Count(failed) + " with errors";
    } else if (!options.preview.empty()) {
        line = Count(models) + " models drawn, " + Count(failed) + " with errors";
    } else {
        const std::string done = options.strip ? "stripped" : "merged";
        const size_t made = count(Result::Merged) + count(Result::Stripped) +
                            count(Result::WouldMerge) + count(Result::WouldStrip);
        const std::string would = options.dryRun ? "would be " : "";
        line = Count(made) + " " + would + done + ", " + Count(count(Result::Left)) + " " +
               (options.dryRun ? "would be left as it is" : "left as it was") + ", " +
               Count(failed) + (options.dryRun ? " would not be " : " not ") + done;
    }
    *errors += "tintweld-cli: " + line + "\n";
}

}  // namespace cli
