#include "mdr/ui/gadget_scan_view.h"

#include <atomic>
#include <iterator>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "common/trace.h"
#include "common/lock.h"
#include "common/late_bound.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/ui/area_tree.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/results_list.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

// Beyond this many queued changes the scan waits for the window to catch up, so a window that
// cannot keep pace does not make the queue grow without bound.
constexpr size_t kMaxQueued = 2000;

class GadgetScanView final : public ScanView {
  public:
    bool IsAreaChecked(int item) override {
        bool checked = false;
        RunOnUiThread([&] { checked = IsAreaItemChecked(item); });
        return checked;
    }
    void SetAreaIcon(int item, AreaIcon icon) override {
        Queue([=] { SetAreaItemIcon(item, icon); });
    }
    void SetAreaText(int item, const std::wstring& text) override {
        Queue([=] { SetAreaItemText(item, text); });
    }
    void StoreTreeItems() override {
        Queue([] { StoreAreaItemStates(); });
    }
    void RestoreTreeItems() override {
        Queue([] { RestoreAreaItemStates(); });
    }
    void HideTreeCheckboxes() override {
        Queue([] { HideAreaCheckboxes(); });
    }
    void ShowTreeCheckboxes() override {
        Queue([] { ShowAreaCheckboxes(); });
    }
    void SelectTreeItem(int item) override {
        Queue([=] { SelectAreaItem(item); });
    }
    void SetProgress(int percent) override {
        Queue([=] { SendMessageW(Ui().progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0); });
    }
    int RowCount() override {
        std::lock_guard<Mutex> lock(mutex_);
        return rows_;
    }
    void AddRow(const ResultRow& row) override {
        // The record was appended on this thread just before; its description travels with the
        // row so the window never reads the record list while the scan writes it.
        std::wstring description;
        const auto& records = Records();
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            if (it->id == row.id) {
                description = it->description;
                break;
            }
        }
        Queue([row, description] { AppendResultRow(row, description); }, 1);
    }
    void SetRowColor(int row, COLORREF color) override {
        Queue([=] { SetResultRowColor(row, color); });
    }
    void CheckRow(int row) override {
        Queue([=] { CheckResultRow(row); });
    }
    void SelectRow(int row) override {
        Queue([=] { SelectResultRow(row); });
    }
    void ShowDetails(const std::wstring& text) override {
        Queue([=] { SetDetailsText(text); });
    }
    void ShowInformation(const std::wstring& text, const std::wstring& title) override {
        RunOnUiThread([&] {
            MessageBoxW(Ui().window, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
        });
    }

    // Carries out queued changes. With a time budget it stops once the budget is spent and
    // leaves the rest to a timer, whose message comes only after input and painting, so a
    // flood of rows never keeps the window from answering the user.
    void Flush(DWORD budgetMs = INFINITE) {
        MDR_HERE();
        std::vector<Change> batch;
        {
            std::lock_guard<Mutex> lock(mutex_);
            batch.swap(queue_);
            flushPosted_ = false;
        }
        if (batch.empty()) return;
        const ULONGLONG deadline = TickCount64() + budgetMs;
        const bool many = batch.size() > 20;
        if (many) SendMessageW(Ui().list, WM_SETREDRAW, FALSE, 0);
        size_t done = 0;
        for (; done < batch.size(); ++done) {
            if (budgetMs != INFINITE && done % 16 == 0 && done > 0 && TickCount64() >= deadline)
                break;
            Change& c = batch[done];
            c.apply();
            if (c.addedRows) {
                std::lock_guard<Mutex> lock(mutex_);
                pendingRows_ -= c.addedRows;
            }
        }
        if (many) {
            SendMessageW(Ui().list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(Ui().list, nullptr, FALSE);
        }
        if (done < batch.size()) {
            std::lock_guard<Mutex> lock(mutex_);
            // Older changes go first; nothing new is posted until the timer has run.
            queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin() + done),
                          std::make_move_iterator(batch.end()));
            flushPosted_ = true;
            SetTimer(Ui().window, kFlushTimerId, USER_TIMER_MINIMUM, nullptr);
        }
    }

    void SyncRows() {
        std::lock_guard<Mutex> lock(mutex_);
        rows_ = ResultRowCount() + pendingRows_;
    }

  private:
    struct Change {
        std::function<void()> apply;
        int addedRows = 0;
    };

    void Queue(std::function<void()> apply, int addedRows = 0) {
        if (!Ui().window || GetCurrentThreadId() == Ui().threadId) {
            // Already on the window's thread: nothing may overtake what is queued.
            Flush();
            apply();
            if (addedRows) SyncRows();
            return;
        }
        bool post = false;
        bool full = false;
        {
            std::lock_guard<Mutex> lock(mutex_);
            queue_.push_back({std::move(apply), addedRows});
            rows_ += addedRows;
            pendingRows_ += addedRows;
            post = !flushPosted_;
            flushPosted_ = true;
            full = queue_.size() >= kMaxQueued;
        }
        if (full) {
            RunOnUiThread([] {}); // runs after a flush of everything queued
        } else if (post && !PostMessageW(Ui().window, kMsgFlushScanView, 0, 0)) {
            std::lock_guard<Mutex> lock(mutex_);
            flushPosted_ = false;
        }
    }

    Mutex mutex_;
    std::vector<Change> queue_;
    bool flushPosted_ = false;
    int rows_ = 0;        // rows the scan sees: in the list plus queued
    int pendingRows_ = 0; // queued rows not yet in the list
};

GadgetScanView& View() {
    static GadgetScanView view;
    return view;
}

} // namespace

ScanView& MainWindowScanView() {
    return View();
}

void FlushScanViewQueue() {
    View().Flush();
}

void FlushScanViewQueueFor(DWORD budgetMs) {
    View().Flush(budgetMs);
}

void SyncScanViewRowCount() {
    View().SyncRows();
}

} // namespace mdr
