// What the window, or the command line in its place, supplies to the
// pipeline: the options, the colour fields, the log and the state of "Don't
// request 2 DFF". Everything is read at the moment of use, never kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "merge/Messages.h"
#include "merge/Os.h"

namespace merge {

enum class Option {
    AlwaysMerge,        // "Always Merge"
    OutputInDffFolder,  // "Output in DFF Folder"
    CopyDayColours,     // "Copy Day Vertex Color"
    OneFileMode,        // "Don't request 2 DFF"
    // The command line's alone: the window has no such boxes.
    EveryGeometry,  // night colours for every geometry, not the first alone
    SkipMerged,     // a model that holds night colours is left as it is
    Strip,          // night colour chunks taken out, none put in
};

enum class Channel { Red, Green, Blue, Alpha };

// The colour fields' texts as the window starts, in the order of Channel.
inline constexpr const char* DefaultColourTexts[] = {"64", "64", "64", "255"};

// How each night colour's channel is changed before it is written: scaled by
// a whole percentage (0 to 1000), rounded, moved by an offset (-255 to 255)
// and kept within 0 to 255. The defaults change nothing.
struct ChannelAdjustment {
    int Scale = 100;
    int Offset = 0;
};

// A lit rule: every vertex of a triangle whose material's texture name
// matches pattern (the whole name, in any case; * any run of characters, ?
// one) gets colour, once every other change is made.
struct LitRule {
    std::string pattern;
    uint8_t colour[4];
};
// The rules that a byte a vertex tells apart; the command line takes no more.
inline constexpr size_t MaxLitRules = 255;

struct Session {
    virtual bool IsTicked(Option option) = 0;
    // The field's text cut to size - 1 characters and NUL-terminated, as the
    // window reads its fields.
    virtual void ColourFieldText(Channel channel, char* buffer, int size) = 0;
    virtual ChannelAdjustment AdjustmentOf(Channel channel) = 0;
    // In the order given: for each triangle, the first that matches decides.
    virtual std::vector<LitRule> LitRules() = 0;
    // Locks "Don't request 2 DFF" while a night model is awaited.
    virtual void EnableOneFileMode(bool enabled) = 0;
    // A line of this kind begins with the next text appended.
    virtual void BeginLine(Kind) {}
    // Appends a text at the end of the log; no line break is added.
    virtual void AppendLog(const char* text) = 0;
    // Whether a path is short enough for this session to take it whole. The
    // window takes what Windows' classic path length allows: 259 characters,
    // counted as Windows counts them (UTF-16 code units).
    virtual bool PathFits(const char* path) = 0;

protected:
    ~Session() = default;
};

// Puts text into a field's buffer of size bytes as the window reads its
// fields: cut to size - 1 characters, NUL-terminated.
void CopyFieldText(const std::string& text, char* buffer, int size);

// A line of the table, whole.
void Say(Session& session, const Message& line);
// A line that the table only begins: it, then what (a path), then its end.
void SayAbout(Session& session, const Message& line, const std::string& what);

// prefix, "Error: " and the system's text of the failed call.
void ReportLastError(Session& session, const char* prefix, const Status& error);

// line, the path, ": " and the system's text: a failure about a path.
void LogPathAndText(Session& session, const Message& line, const std::string& path,
                    const std::string& text);

// A line about a geometry (its index from 0): the line as it is for the
// first geometry; for another, " Geometry N:" in place of its leading blank.
void SayAboutGeometry(Session& session, uint32_t geometry, const Message& line);

// " ", the count in plain decimal, " vertex.": one line about a geometry.
void SayCount(Session& session, uint32_t geometry, uint32_t count);

}  // namespace merge
