#include "merge/Session.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "merge/Messages.h"

namespace merge {

void CopyFieldText(const std::string& text, char* buffer, int size) {
    const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

void ReportLastError(Session& session, const char* prefix, const Status& error) {
    session.AppendLog(prefix);
    session.AppendLog(text::Error);
    session.AppendLog(error.text.c_str());
}

void LogPathAndText(Session& session, const char* line, const std::string& path,
                    const std::string& text) {
    session.AppendLog(line);
    session.AppendLog(path.c_str());
    session.AppendLog(text::PathFailedBecause);
    session.AppendLog(text.c_str());
}

void AppendGeometryLine(Session& session, uint32_t geometry, const char* line) {
    if (geometry == 0) return session.AppendLog(line);
    session.AppendLog(text::GeometryBefore);
    session.AppendLog(std::to_string(geometry + 1).c_str());
    session.AppendLog(text::GeometryAfter);
    session.AppendLog(line + 1);
}

void AppendCountLine(Session& session, uint32_t geometry, uint32_t count) {
    AppendGeometryLine(session, geometry, text::CountBefore);
    session.AppendLog(std::to_string(count).c_str());
    session.AppendLog(text::CountAfter);
}

}  // namespace merge
