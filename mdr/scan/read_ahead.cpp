#include "mdr/scan/read_ahead.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "common/handles.h"
#include "common/lock.h"
#include "common/trace.h"
#include "mdr/scan/area_support.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/scan_memo.h"

MDR_TRACE_MODULE(Registry);

namespace mdr {

namespace {
// Readers per walk. Measured under Wine on the heaviest walks (the classes with their servers):
// with three, the walk, which itself only asks for names and pauses, mostly takes answers; with
// one or two it still waits for them.
constexpr int kReaders = 3;
// A reader waits when it would be this many keys ahead of the walk.
constexpr DWORD kMostAhead = 64;
constexpr DWORD kNone = MAXDWORD;

std::atomic<long> g_taken{0};
std::atomic<long> g_read{0};
} // namespace

class ReadAhead {
  public:
    ReadAhead(RootKey root, const std::wstring& containerPath, const ItemPlan& plan)
        : root_(root), container_(WithoutTrailingBackslash(containerPath)), plan_(plan),
          view_(CurrentView()) {}

    ~ReadAhead() { Stop(); }

    // False when no reader could be started.
    bool Start() {
        if (!readDone_ || !moved_) return false;
        for (Reader& reader : readers_) {
            reader.ahead = this;
            reader.thread.reset(reinterpret_cast<HANDLE>(
                _beginthreadex(nullptr, 0, &ReadAhead::ThreadEntry, &reader, 0, nullptr)));
        }
        return static_cast<bool>(readers_[0].thread);
    }

    void Stop() {
        {
            std::lock_guard<Mutex> hold(lock_);
            stop_ = true;
        }
        ReleaseSemaphore(moved_.get(), kReaders, nullptr);
        for (Reader& reader : readers_) {
            if (!reader.thread) continue;
            WaitForSingleObject(reader.thread.get(), INFINITE);
            reader.thread.reset();
        }
    }

    // The walk asks for its keys in its own order, one Take per key: the n-th call is for the
    // walk's n-th key, which a reader has read under the same number (checked by its path).
    bool Take(RootKey root, const std::wstring& keyPath, ItemAnswers& answers) {
        if (root != root_) return false;
        std::unique_lock<Mutex> hold(lock_);
        const DWORD index = walked_++;
        // Readers waiting because they were far enough ahead may go on.
        if (readersWaiting_ > 0) {
            ReleaseSemaphore(moved_.get(), readersWaiting_, nullptr);
            readersWaiting_ = 0;
        }
        for (;;) {
            // Answers for keys the walk has passed are of no more use.
            while (!ready_.empty() && ready_.begin()->first < index)
                ready_.erase(ready_.begin());
            auto found = ready_.find(index);
            if (found != ready_.end()) {
                const bool same = found->second.path == keyPath;
                if (same) answers = std::move(found->second.answers);
                ready_.erase(found);
                if (same) ++g_taken;
                return same;
            }
            if (!BeingRead(index)) break;
            // A reader is at this very key: its answer is a moment away.
            walkWaits_ = true;
            hold.unlock();
            WaitForSingleObject(readDone_.get(), INFINITE);
            hold.lock();
        }
        // Not read: this thread reads it. No reader starts on a key the walk has reached.
        return false;
    }

  private:
    struct Reader {
        ReadAhead* ahead = nullptr;
        UniqueHandle thread;
        DWORD at = kNone; // the key it is reading
    };

    static unsigned __stdcall ThreadEntry(void* context) {
        auto* reader = static_cast<Reader*>(context);
        ReadAhead* ahead = reader->ahead;
        // Nothing may escape a thread entry; a failed reader only leaves its keys to the walk.
        try {
            ahead->Run(*reader);
        } catch (...) {
        }
        std::lock_guard<Mutex> hold(ahead->lock_);
        reader->at = kNone;
        ahead->walkWaits_ = false;
        SetEvent(ahead->readDone_.get());
        return 0;
    }

    bool BeingRead(DWORD index) const {
        for (const Reader& reader : readers_)
            if (reader.at == index) return true;
        return false;
    }

    void Run(Reader& reader) {
        MDR_HERE();
        // Values are expanded and paths mapped as in the walk this reader serves.
        std::optional<Wow32ViewScope> wow32;
        if (view_ == RegistryView::Wow32) wow32.emplace();
        UniqueHkey key;
        if (RegOpenKeyExW(ToHkey(root_), container_.c_str(), 0, KEY_ENUMERATE_SUB_KEYS,
                          key.put()) != ERROR_SUCCESS)
            return;
        NameReader names(key.get(), NameReader::Subkeys);
        std::wstring name;
        for (;;) {
            const DWORD index = Claim(reader);
            if (index == kNone) return;
            const LONG rc = names.Read(index, name);
            Ready ready;
            if (rc == ERROR_SUCCESS) {
                ready.path = JoinKey(container_, name);
                ready.answers = Read(ready.path);
                ++g_read;
            }
            std::lock_guard<Mutex> hold(lock_);
            reader.at = kNone;
            // Past the last key: no reader needs to go further.
            if (rc == ERROR_NO_MORE_ITEMS) end_ = std::min(end_, index);
            if (rc == ERROR_SUCCESS) ready_.emplace(index, std::move(ready));
            if (std::exchange(walkWaits_, false)) SetEvent(readDone_.get());
        }
    }

    // The next key for this reader, marked as being read; kNone when it is to stop. The key the
    // walk comes to next is left to the walk, so that the walk and the readers read different keys
    // at the same time; a reader waits while it would be too far ahead.
    DWORD Claim(Reader& reader) {
        std::unique_lock<Mutex> hold(lock_);
        for (;;) {
            if (stop_) return kNone;
            const DWORD index = std::max(next_, walked_ + 1);
            if (index >= end_) return kNone;
            if (index - walked_ <= kMostAhead) {
                next_ = index + 1;
                reader.at = index;
                return index;
            }
            ++readersWaiting_;
            hold.unlock();
            WaitForSingleObject(moved_.get(), INFINITE);
            hold.lock();
        }
    }

    // What the checks ask, asked as they ask it.
    ItemAnswers Read(const std::wstring& path) {
        MDR_HERE();
        ItemKey item(root_, path);
        if (plan_.count) item.Count();
        if (plan_.holdsValues) item.HoldsValues();
        std::wstring text;
        for (const wchar_t* subkey : plan_.subkeys)
            item.Subkey(subkey, text);
        for (const wchar_t* value : plan_.values)
            item.Value(value);
        return item.TakeAnswers();
    }

    struct Ready {
        std::wstring path;
        ItemAnswers answers;
    };

    const RootKey root_;
    const std::wstring container_;
    const ItemPlan plan_;
    const RegistryView view_;

    Mutex lock_;
    std::map<DWORD, Ready> ready_; // by the key's number in the walk
    DWORD walked_ = 0;             // keys the walk has come to
    DWORD next_ = 0;               // the next key no reader has taken on
    DWORD end_ = kNone;            // the number of keys, once a reader has come past the last
    bool stop_ = false;
    // The walk is signalled only when it waits, and readers only when they wait: under Wine
    // every signal is a call to the server.
    bool walkWaits_ = false;  // for readDone_: a reader finished a key (or stopped)
    LONG readersWaiting_ = 0; // for moved_: the walk came to its next key (or is stopping)
    UniqueHandle readDone_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle moved_{CreateSemaphoreW(nullptr, 0, MAXLONG, nullptr)};
    Reader readers_[kReaders];
};

namespace {
thread_local ReadAhead* t_ahead = nullptr;
} // namespace

ReadAheadScope::ReadAheadScope(RootKey root, const std::wstring& containerPath,
                               const ItemPlan* plan)
    : outer_(t_ahead) {
    if (!plan || GetScanDelay() > 0) return;
    ahead_ = std::make_unique<ReadAhead>(root, containerPath, *plan);
    if (ahead_->Start())
        t_ahead = ahead_.get();
    else
        ahead_.reset();
}

ReadAheadScope::~ReadAheadScope() {
    if (ahead_) ahead_->Stop();
    t_ahead = outer_;
}

bool TakeReadAhead(RootKey root, const std::wstring& keyPath, ItemAnswers& answers) {
    return t_ahead && t_ahead->Take(root, keyPath, answers);
}

ReadAheadCounts ReadAheadTotals() {
    return {g_taken.load(), g_read.load()};
}

} // namespace mdr
