// Keys read ahead of a walk by other threads: each key's answers are the ones the key itself gives
// (a refused subkey, values only further down, more subkeys than are listed), whatever changes
// under the walk, and a walk stopped by the user leaves no reader running.
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "mdr/scan/area_support.h"
#include "mdr/scan/read_ahead.h"
#include "mdr/scan/scan_memo.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;

namespace {

constexpr wchar_t kContainer[] = L"Software\\Ahead";
constexpr const wchar_t* kSubkeys[] = {L"InprocServer32"};
constexpr const wchar_t* kValues[] = {L"id"};
const ItemPlan kPlan{true, true, kSubkeys, kValues};

struct Seen {
    bool holdsValues;
    bool server;
    std::wstring serverFile;
    std::wstring id;
    bool operator==(const Seen&) const = default;
};
std::map<std::wstring, Seen> g_seen;
std::vector<std::wstring> g_order;
// Run by the check at the walk's first key (before anything else is read of it).
void (*g_atFirstKey)() = nullptr;
int g_stopAtKey = -1;

int RecordKey(RootKey root, const std::wstring& keyPath) {
    ItemKey key(root, keyPath);
    if (g_order.empty() && g_atFirstKey) g_atFirstKey();
    if (static_cast<int>(g_order.size()) == g_stopAtKey) return -1;
    Seen seen{};
    seen.holdsValues = key.HoldsValues();
    seen.server = key.Subkey(L"InprocServer32", seen.serverFile);
    seen.id = key.Value(L"id").text;
    const std::wstring name = LastComponent(keyPath);
    g_order.push_back(name);
    g_seen[name] = seen;
    return 0;
}

int ProcessThreads() {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    return count;
}

class ReadAheadTest : public mdr::test::AreaTest {
  protected:
    void SetUp() override {
        AreaTest::SetUp();
        g_seen.clear();
        g_order.clear();
        g_atFirstKey = nullptr;
        g_stopAtKey = -1;
    }
    void TearDown() override {
        SetScanDelay(0);
        AreaTest::TearDown();
    }
    std::wstring Key(const std::wstring& name) const {
        return std::wstring(kContainer) + L"\\" + name;
    }
    // Keys k00, k01, ... holding their own name as "id" and a server named after them.
    void PlantNumbered(int count) {
        for (int i = 0; i < count; ++i) {
            wchar_t name[8];
            swprintf(name, 8, L"k%02d", i);
            Str(HKEY_CURRENT_USER, Key(name), L"id", name);
            Str(HKEY_CURRENT_USER, Key(name) + L"\\InprocServer32", L"",
                std::wstring(name) + L".dll");
        }
    }
    long Taken() const { return ReadAheadTotals().taken; }
};

TEST_F(ReadAheadTest, EachKeyAnswersAsItselfReadAheadOrReadByTheWalk) {
    // Listed after the numbered keys, where readers are ahead of the walk.
    Str(HKEY_CURRENT_USER, Key(L"m_own") + L"\\InprocServer32", L"", L"own.dll");
    Str(HKEY_CURRENT_USER, Key(L"m_own"), L"id", L"own");
    Str(HKEY_CURRENT_USER, Key(L"n_below") + L"\\Sub\\Deep", L"v", L"1");
    box_->CreateKey(HKEY_CURRENT_USER, Key(L"o_empty") + L"\\Sub\\Deeper");
    Str(HKEY_CURRENT_USER, Key(L"p_refused"), L"id", L"refused");
    box_->DenyRead(HKEY_CURRENT_USER, Key(L"p_refused") + L"\\InprocServer32");
    for (const wchar_t* sub : {L"A", L"B", L"C", L"D", L"E", L"F", L"G"})
        box_->CreateKey(HKEY_CURRENT_USER, Key(L"q_many") + L"\\" + sub);
    Str(HKEY_CURRENT_USER, Key(L"q_many") + L"\\InprocServer32", L"", L"many.dll");
    Str(HKEY_CURRENT_USER, Key(L"r_noserver"), L"id", L"alone");
    PlantNumbered(40);

    const std::map<std::wstring, Seen> expected = [] {
        std::map<std::wstring, Seen> table{
            {L"m_own", {true, true, L"own.dll", L"own"}},
            {L"n_below", {true, false, L"", L""}},
            {L"o_empty", {false, false, L"", L""}},
            {L"p_refused", {true, true, L"", L"refused"}},
            {L"q_many", {true, true, L"many.dll", L""}},
            {L"r_noserver", {true, false, L"", L"alone"}},
        };
        for (int i = 0; i < 40; ++i) {
            wchar_t name[8];
            swprintf(name, 8, L"k%02d", i);
            table[name] = {true, true, std::wstring(name) + L".dll", name};
        }
        return table;
    }();

    // A gentle scan (a delay above 0) reads alone; the default scan with its readers.
    for (int delay : {1, 0}) {
        SCOPED_TRACE(delay);
        SetScanDelay(delay);
        g_seen.clear();
        g_order.clear();
        const long takenBefore = Taken();
        EXPECT_EQ(EnumerateSubkeysInViews(kHkcu, kContainer, false, RecordKey, &kPlan), 1);
        EXPECT_EQ(g_seen, expected);
        if (delay > 0)
            EXPECT_EQ(Taken(), takenBefore);
        else
            EXPECT_GE(Taken() - takenBefore, 10);
    }
}

TEST_F(ReadAheadTest, AKeyDeletedUnderTheWalkShiftsNoAnswerOntoAnother) {
    PlantNumbered(30);
    // Readers have read ahead by the time the first key is checked; the walk then finds k06
    // where k05 was.
    g_atFirstKey = [] {
        ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Ahead\\k05\\InprocServer32"), 0);
        ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Ahead\\k05"), 0);
    };
    EXPECT_EQ(EnumerateSubkeysInViews(kHkcu, kContainer, false, RecordKey, &kPlan), 1);
    ASSERT_EQ(g_order.size(), 29u);
    EXPECT_EQ(g_order[5], L"k06");
    for (const auto& [name, seen] : g_seen) {
        EXPECT_EQ(seen.id, name);
        EXPECT_EQ(seen.serverFile, name + L".dll");
    }
}

TEST_F(ReadAheadTest, AStoppedWalkLeavesNoReaderRunning) {
    PlantNumbered(60);
    const int threads = ProcessThreads();
    g_stopAtKey = 3;
    EXPECT_EQ(EnumerateSubkeysInViews(kHkcu, kContainer, false, RecordKey, &kPlan), -1);
    EXPECT_EQ(g_order.size(), 3u);
    EXPECT_EQ(ProcessThreads(), threads);
}

} // namespace
