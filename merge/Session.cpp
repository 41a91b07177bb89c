#include "merge/Session.h"

#include <string>

#include "merge/Messages.h"

namespace merge {

void ReportLastError(Session& session, const char* prefix, const Status& error) {
    session.AppendLog(prefix);
    session.AppendLog(text::Error);
    session.AppendLog(error.text.c_str());
}

void AppendCountLine(Session& session, uint32_t count) {
    session.AppendLog(text::CountBefore);
    session.AppendLog(std::to_string(count).c_str());
    session.AppendLog(text::CountAfter);
}

}  // namespace merge
