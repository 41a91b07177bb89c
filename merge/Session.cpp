#include "merge/Session.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace merge {

void CopyFieldText(const std::string& text, char* buffer, int size) {
    const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

void Say(Session& session, const Message& line) {
    session.BeginLine(line.kind);
    session.AppendLog(line.text);
}

void SayAbout(Session& session, const Message& line, const std::string& what) {
    Say(session, line);
    session.AppendLog(what.c_str());
    session.AppendLog(text::LineEnd);
}

void ReportLastError(Session& session, const char* prefix, const Status& error) {
    session.BeginLine(Kind::Error);
    session.AppendLog(prefix);
    session.AppendLog(text::SystemError.text);
    session.AppendLog(error.Is(Problem::NotADiskFile) ? text::NotADiskFile : error.text.c_str());
}

void LogPathAndText(Session& session, const Message& line, const std::string& path,
                    const std::string& text) {
    Say(session, line);
    session.AppendLog(path.c_str());
    session.AppendLog(text::PathFailedBecause);
    session.AppendLog(text.c_str());
}

void SayAboutGeometry(Session& session, uint32_t geometry, const Message& line) {
    if (geometry == 0) return Say(session, line);
    session.BeginLine(line.kind);
    session.AppendLog(text::GeometryBefore);
    session.AppendLog(std::to_string(geometry + 1).c_str());
    session.AppendLog(text::GeometryAfter);
    session.AppendLog(line.text + 1);
}

void SayCount(Session& session, uint32_t geometry, uint32_t count) {
    SayAboutGeometry(session, geometry, text::Count);
    session.AppendLog(std::to_string(count).c_str());
    session.AppendLog(text::CountAfter);
}

}  // namespace merge
