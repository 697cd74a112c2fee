// Message boxes of the repair subsystem.
#include "mdr/repair/message_box.h"

#include <string>
#include <utility>

#include "common/trace.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {

namespace {
MessagePresenter g_presenter;
} // namespace

int ShowMessage(std::wstring_view text, std::wstring_view title, UINT flags) {
    MDR_HERE();
    if (g_presenter) return g_presenter(text, title, flags);
    const std::wstring textCopy(text), titleCopy(title);
    return MessageBoxW(GetActiveWindow(), textCopy.c_str(), titleCopy.c_str(), flags);
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
    return std::exchange(g_presenter, std::move(presenter));
}

} // namespace mdr
