// Internal links between the host-integration sources: each cache owner exposes its reset so that
// ResetHostCaches can forget everything at once.
#pragma once

namespace zolta::detail {

void ResetFileCaches();      // this computer/user/process, the no-prompt flag, the path export
void ResetProgressStack();
void ResetPathExport();    // the host's path-expansion export   // status-bar progress entries

}  // namespace zolta::detail
