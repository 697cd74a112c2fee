#include "app/first_run_backup.h"

#include "common/trace.h"
#include "repair/full_backup.h"
#include "repair/restore_point.h"

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
