#include "preview/Picture.h"
#include "preview/Png.h"

namespace preview {

bool PreparePageFile(merge::Os& os, merge::Session& session, Page& page,
                     const merge::FileRequest& request, merge::PreparedFile* file) {
    if (!merge::PrepareFile(os, session, request, file)) return false;
    merge::Status status = WritePng(os, {page.width, page.height, page.pixels.get()}, *file);
    page.pixels.reset();
    if (status.ok()) status = merge::FinishFile(os, *file);
    if (status.ok()) return true;
    merge::ReportLastError(session, " ", status);
    merge::AbandonFile(os, *file);
    return false;
}

}  // namespace preview
