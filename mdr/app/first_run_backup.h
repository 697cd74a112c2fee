// What the first start offers before the program is used: a full export of the registry and a
// restore point.
#pragma once

namespace mdr {

// The full registry backup (folder picker, five exports with progress and Cancel). 1 when the
// exports ran or were cancelled, 0 when none was made (no folder chosen, no registry editor).
int FirstRunFullBackup();
// A restore point, created as the Restore point command does (interactive, argument 0). 0 when
// System Restore is not available, else 1 (the user has been told how it went).
int FirstRunRestorePoint();

} // namespace mdr
