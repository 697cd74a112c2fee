// The small windows a tool shows while it works: a title bar, one line of text and a progress bar
// or a picture. The main window is disabled while one is open and comes back when it closes.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "common/progress_window.h"
#include "tools/frame/listing_export.h"

namespace mdr {

class WaitWindow : public ProgressWindow {
  public:
    // Opens the window centred on owner, with a progress bar; Opened() is false when it could
    // not be made (the owner is then enabled again at once).
    WaitWindow(HWND owner, const std::wstring& title, const std::wstring& text);
    // The form with a 16x16 picture before the text (333x57, no progress bar).
    WaitWindow(HWND owner, const std::wstring& title, const std::wstring& text, HICON picture);

    bool Opened() const { return Handle() != nullptr; }
};

// How a tool shows an export's progress in its status bar.
enum class ExportStatus {
    None,      // the status bar is left alone
    PerRecord, // the percentage before each record
    Full,      // 0% before the header, the percentage before each record, and "exported" after
};

struct ListingSource {
    size_t count = 0;
    // The record lines of record index, without the closing empty line and separator.
    std::function<std::vector<std::wstring>(size_t index)> recordLines;
    bool refuseEmpty = true;
    ExportStatus status = ExportStatus::None;
};

// The Export command: the save dialog, then the export. Returns true when a file was written.
// trailer: lines after the last record's block (a closing line, for example).
bool ExportListingCommand(const ListingSource& source,
                          const std::vector<std::wstring>& trailer = {});
// Writes the listing into file (already ending in ".txt"): the empty-list check, the overwrite
// question, the wait window and the closing message. True when the file was written.
bool WriteListingExport(const std::wstring& file, const ListingSource& source,
                        const std::vector<std::wstring>& trailer = {});

} // namespace mdr
