// What the window, or the command line in its place, supplies to the
// pipeline: the options, the colour fields, the log and the state of "Don't
// request 2 DFF". Everything is read at the moment of use, never kept.
#pragma once

#include <cstdint>

#include "merge/Os.h"

namespace merge {

enum class Option {
    AlwaysMerge,        // "Always Merge"
    OutputInDffFolder,  // "Output in DFF Folder"
    CopyDayColours,     // "Copy Day Vertex Color"
    OneFileMode,        // "Don't request 2 DFF"
};

enum class Channel { Red, Green, Blue, Alpha };

struct Session {
    virtual bool IsTicked(Option option) = 0;
    // The field's text cut to size - 1 characters and NUL-terminated, as the
    // window reads its fields.
    virtual void ColourFieldText(Channel channel, char* buffer, int size) = 0;
    // Locks "Don't request 2 DFF" while a night model is awaited.
    virtual void EnableOneFileMode(bool enabled) = 0;
    // Appends a text at the end of the log; no line break is added.
    virtual void AppendLog(const char* text) = 0;
    // Whether a path is short enough for this session to take it whole. The
    // window takes what Windows' classic path length allows: 259 characters,
    // counted as Windows counts them (UTF-16 code units).
    virtual bool PathFits(const char* path) = 0;

protected:
    ~Session() = default;
};

// prefix, "Error: " and the system's text of the failed call.
void ReportLastError(Session& session, const char* prefix, const Status& error);

// " ", the count in plain decimal, " vertex.": one line in three appends.
void AppendCountLine(Session& session, uint32_t count);

}  // namespace merge
