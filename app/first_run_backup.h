// What the first start offers before the program is used: a full export of the registry and a
// restore point. Stand-ins until the backup and restore-point modules provide them; they return
// 0 (nothing done) and show nothing.
#pragma once

namespace mdr {

// The full registry backup of the backup manager; 1 when made.
int FirstRunFullBackup();
// A restore point, created as the Restore point command does with argument 0; 1 when set.
int FirstRunRestorePoint();

} // namespace mdr
