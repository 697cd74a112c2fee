#include "app/first_run_backup.h"

#include "common/trace.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

// Replaced by calls into the full-backup and restore-point code once those modules exist.
int FirstRunFullBackup() {
    MDR_HERE();
    return 0;
}

int FirstRunRestorePoint() {
    MDR_HERE();
    return 0;
}

} // namespace mdr
