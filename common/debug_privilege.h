// Enables SeDebugPrivilege in the calling thread's token (or the process token when the thread
// has none), so that other processes can be opened and inspected. Shared by MDR and the tools.
#pragma once

namespace mdr {

// 1 when the privilege is enabled. 0 on failure, with the reason as the last error:
// ERROR_ACCESS_DENIED when the token does not hold the privilege at all.
int EnableDebugPrivilege();

} // namespace mdr
