#include "mdr/app/first_run_backup.h"

#include "common/trace.h"
#include "mdr/repair/full_backup.h"
#include "mdr/repair/restore_point.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

int FirstRunFullBackup() {
    MDR_HERE();
    return FullbackupWindow();
}

int FirstRunRestorePoint() {
    MDR_HERE();
    return SetRestorePoint(0);
}

} // namespace mdr
