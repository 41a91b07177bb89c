#include "cli/ConsoleSession.h"

namespace cli {

bool ModelLog::Remarkable() const {
    for (const auto& line : lines)
        if (line.first == merge::Kind::Warning || line.first == merge::Kind::Error) return true;
    return false;
}

bool ConsoleSession::IsTicked(merge::Option option) {
    switch (option) {
        case merge::Option::AlwaysMerge: return options.alwaysMerge;
        case merge::Option::OutputInDffFolder: return options.dffFolder;
        case merge::Option::CopyDayColours: return options.copyDay;
        case merge::Option::OneFileMode: return oneFileMode;
        case merge::Option::EveryGeometry: return options.everyGeometry;
        // A model is left as it is when it is where its output goes; an
        // output elsewhere is judged by the batch before the model is read.
        case merge::Option::SkipMerged:
            return options.skipMerged && !options.dffFolder && options.outputFolder.empty();
        case merge::Option::Strip: return options.strip;
    }
    return false;
}

void ConsoleSession::ColourFieldText(merge::Channel channel, char* buffer, int size) {
    merge::CopyFieldText(options.colourTexts[static_cast<int>(channel)], buffer, size);
}

void ConsoleSession::BeginLine(merge::Kind kind) {
    // The empty line before each prompt is part of its text, so it goes too.
    prompt = kind == merge::Kind::Prompt;
    if (!prompt) log.lines.push_back({kind, ""});
}

void ConsoleSession::AppendLog(const char* text) {
    if (prompt) return;
    log.text += text;
    if (log.lines.empty()) return;
    // A line's own text: not the line end, nor the empty line before it,
    // nor its leading blank; a path's own characters, whatever they are.
    std::string& line = log.lines.back().second;
    std::string piece = text;
    const auto crlf = [](const std::string& s, size_t at) { return s.compare(at, 2, "\r\n") == 0; };
    if (line.empty() && crlf(piece, 0)) piece.erase(0, 2);
    if (piece.size() >= 2 && crlf(piece, piece.size() - 2)) piece.resize(piece.size() - 2);
    if (line.empty() && !piece.empty() && piece[0] == ' ') piece.erase(0, 1);
    line += piece;
}

merge::ChannelAdjustment ConsoleSession::AdjustmentOf(merge::Channel channel) {
    const int c = static_cast<int>(channel);
    return {options.scale[c], options.offset[c]};
}

// Any path the system takes: the system itself refuses one too long for it.
bool ConsoleSession::PathFits(const char*) { return true; }

}  // namespace cli
