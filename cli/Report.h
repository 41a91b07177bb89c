// What a run tells, in order: each model's log as the window's log would
// say it (or, with --json, an object a line for scripts), then how it ended.
// With --quiet only the models that need a look: a warning or an error.
#pragma once

#include <cstddef>
#include <string>

#include "cli/Batch.h"

namespace cli {

struct Report {
    Report(const Options& options, BatchOutput& output) : options(options), output(output) {}

    // A job done: its log, its listing, or its object.
    void Model(const Job& job);
    // A page of a preview written.
    void Picture(const std::string& path);
    // Lines of the run's own (a preview's picture), shown with --quiet too
    // when they say an error.
    void Lines(const ModelLog& log);
    // How the run ended: with --json, the summary; otherwise after an
    // interruption, the models not reached. The line that counts what came
    // of more than one model goes to errors, for standard error, unless the
    // run was interrupted or its log could not be written.
    void End(size_t notReached, bool interrupted, std::string* errors);

    const Options& options;
    BatchOutput& output;
    bool written = true;  // every log written
    size_t counts[static_cast<size_t>(Result::NotReached) + 1] = {};
    size_t models = 0;

private:
    void Write(const std::string& text);
    std::string between;  // an empty line between two models' logs
};

}  // namespace cli
