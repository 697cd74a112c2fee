// Ending the process.
#include "mdr/core/program_end.h"

#include <windows.h>
#include <objbase.h>

#include "common/trace.h"
#include "common/resources.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {
namespace {
bool g_comInitialized = false;
} // namespace

void NoteComInitialized() {
    g_comInitialized = true;
}

void ReleaseRuntime() {
    MDR_HERE();
    ReleaseAppResources();
    if (g_comInitialized) {
        CoUninitialize();
        g_comInitialized = false;
    }
}

void EndProgram(int exitCode) {
    MDR_HERE();
    ReleaseRuntime();
    ExitProcess(static_cast<UINT>(exitCode));
}

} // namespace mdr
