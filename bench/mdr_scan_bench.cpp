// MDRBench: builds a synthetic machine in a throwaway registry sandbox, runs the real scan of all
// eighteen areas headless, and compares it with the bare registry and file calls it makes.
//
//   MDRBench [--classes N] [--interfaces N] [--uninstall N] [--services N] [--vendors N]
//            [--mru N] [--startup N] [--extensions N] [--broken PERCENT] [--seed N]
//            [--runs N] [--lang FILE] [--save-reference FILE] [--reference FILE]
//
// --save-reference keeps this run's recorded calls and findings in FILE; a later run given
// --reference FILE replays those calls as well, as the fixed floor of the engine that recorded
// them, and checks that its own scan examined the same items and found the same errors.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "mdr/core/localization.h"
#include "bench/bench_clock.h"
#include "bench/bench_sandbox.h"
#include "bench/call_reference.h"
#include "bench/call_replay.h"
#include "bench/synthetic_machine.h"
#include "common/text.h"
#include "common/trace.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/headless_view.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/scan_memo.h"
#include "mdr/scan/read_ahead.h"
#include "mdr/scan/scan_thread.h"

MDR_TRACE_MODULE(Misc);

using namespace mdr;
using namespace mdr::bench;

namespace {

// ---- The progress side of a scan, as the main window has it ----

CRITICAL_SECTION g_scanLock;
volatile LONG g_running = 0;
uint64_t g_items = 0;
std::wstring g_currentItem;
// Only in the recorded scan (not timed): a digest of every item's text, in order.
bool g_hashItems = false;
uint64_t g_itemsHash = 0;
std::wstring g_tag;

void HashText(uint64_t& hash, std::wstring_view text) {
    for (wchar_t c : text) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 1099511628211ull;
    }
    hash ^= 0xFFFF;
    hash *= 1099511628211ull;
}

int CountItem(const std::wstring& text) {
    EnterCriticalSection(&g_scanLock);
    ++g_items;
    g_currentItem = text;
    if (g_hashItems) HashText(g_itemsHash, WithoutTag(text, g_tag));
    LeaveCriticalSection(&g_scanLock);
    return g_running ? 1 : 0;
}

double PrivateMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return 0;
    return pmc.PagefileUsage / (1024.0 * 1024.0);
}

// The largest private memory seen while a scan ran, sampled by the status-bar refresher.
volatile double g_scanPrivatePeakMb = 0;

// The status-bar refresher: copies the counters every 250 ms without ever waiting for the lock.
DWORD WINAPI UiUpdateThread(void*) {
    std::wstring shown;
    uint64_t items = 0;
    do {
        if (TryEnterCriticalSection(&g_scanLock)) {
            shown = g_currentItem;
            items = g_items;
            LeaveCriticalSection(&g_scanLock);
        }
        (void)items;
        double mb = PrivateMb();
        if (mb > g_scanPrivatePeakMb) g_scanPrivatePeakMb = mb;
        Sleep(250);
    } while (g_running);
    return 0;
}

// The scan thread as the program starts it, plus a note of its own processor time (taken inside
// the thread: the system may forget an ended thread's times).
double g_scanThreadCpu = 0;

DWORD WINAPI ScanThreadWithTimes(void*) {
    DWORD result = ScanThreadEntry(nullptr);
    FILETIME created, exited, kernel, user;
    if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        auto ticks = [](const FILETIME& f) {
            return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
        };
        g_scanThreadCpu = (ticks(kernel) + ticks(user)) / 1e7;
    }
    return result;
}

// Every area ticked; notes when each area starts, for the per-area times.
class BenchView : public HeadlessScanView {
  public:
    BenchView() {
        SetAllChecked(true);
        Reset();
    }
    void Reset() {
        Clear(); // the results list starts empty, as StartScan leaves it
        std::fill(std::begin(started_), std::end(started_), 0.0);
        std::fill(std::begin(finished_), std::end(finished_), 0.0);
        clock_.Restart();
    }
    void SetAreaIcon(int item, AreaIcon icon) override {
        HeadlessScanView::SetAreaIcon(item, icon);
        if (item < 1 || item > kAreaCount) return;
        if (icon == AreaIcon::Scanning) {
            started_[item] = clock_.Seconds();
            RecordAreaStart(item);
        } else {
            finished_[item] = clock_.Seconds();
        }
    }
    double AreaSeconds(int item) const { return finished_[item] - started_[item]; }

  private:
    Stopwatch clock_;
    double started_[kAreaCount + 1];
    double finished_[kAreaCount + 1];
};

struct ScanRun {
    double seconds = 0;
    uint64_t items = 0;
    uint64_t errors = 0;
    int result = 0;
    double cpuSeconds = 0; // user and kernel time of the scan thread itself
    std::vector<double> areaSeconds;
    std::vector<int> areaErrors;
};

ScanRun RunScan(BenchView& view) {
    MDR_HERE();
    ClearRecords();
    SetErrorsFound(0);
    g_items = 0;
    g_currentItem.clear();
    view.Reset();
    SetScanView(&view);
    ScanRun run;
    Stopwatch watch;
    InterlockedExchange(&g_running, 1);
    g_scanThreadCpu = 0;
    HANDLE scan = CreateThread(nullptr, 0, ScanThreadWithTimes, nullptr, 0, nullptr);
    HANDLE ui = CreateThread(nullptr, 0, UiUpdateThread, nullptr, 0, nullptr);
    if (!scan || !ui) {
        std::fprintf(stderr, "Could not start the scan threads\n");
        std::exit(1);
    }
    WaitForSingleObject(scan, INFINITE);
    run.seconds = watch.Seconds();
    DWORD code = 0;
    GetExitCodeThread(scan, &code);
    run.cpuSeconds = g_scanThreadCpu;
    run.result = static_cast<int>(code);
    InterlockedExchange(&g_running, 0);
    WaitForSingleObject(ui, 1000);
    CloseHandle(scan);
    CloseHandle(ui);
    run.items = g_items;
    run.errors = ErrorsFound();
    for (int item = 1; item <= kAreaCount; ++item) {
        run.areaSeconds.push_back(view.AreaSeconds(item));
        run.areaErrors.push_back(AreaTable()[item - 1].errorsFound);
    }
    return run;
}

// ---- Command line ----

struct Options {
    MachineSize size;
    int runs = 3; // timed scans and timed replays
    std::wstring lang;
    std::wstring saveReference;
    std::wstring reference;
};

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--help" || a == L"-h" || i + 1 >= argc) return false;
        std::wstring v = argv[++i];
        int n = ParseInt(v);
        if (a == L"--classes")
            o.size.classes = n;
        else if (a == L"--interfaces")
            o.size.interfaces = n;
        else if (a == L"--uninstall")
            o.size.uninstall = n;
        else if (a == L"--services")
            o.size.services = n;
        else if (a == L"--vendors")
            o.size.vendors = n;
        else if (a == L"--mru")
            o.size.mru = n;
        else if (a == L"--startup")
            o.size.startup = n;
        else if (a == L"--extensions")
            o.size.extensions = n;
        else if (a == L"--broken")
            o.size.brokenPercent = _wtof(v.c_str());
        else if (a == L"--seed")
            o.size.seed = static_cast<unsigned>(n);
        else if (a == L"--runs")
            o.runs = std::max(1, n);
        else if (a == L"--lang")
            o.lang = v;
        else if (a == L"--save-reference")
            o.saveReference = v;
        else if (a == L"--reference")
            o.reference = v;
        else
            return false;
        if (n < 0) return false;
    }
    return true;
}

void Usage() {
    std::printf("usage: MDRBench [--classes N] [--interfaces N] [--uninstall N] [--services N]\n"
                "                [--vendors N] [--mru N] [--startup N] [--extensions N]\n"
                "                [--broken PERCENT] [--seed N] [--runs N] [--lang FILE]\n"
                "                [--save-reference FILE] [--reference FILE]\n"
                "defaults: 10000 classes, 20000 interfaces, 500 uninstall entries, 600 services,\n"
                "          3000 vendor keys, 150 recent documents, 30 startup values,\n"
                "          400 file extensions, 3%% broken, 3 timed scans and replays\n");
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.rfind(L'\\') + 1);
}

const char* AreaName(int item) {
    static const char* const names[] = {"ActiveX / COM",
                                        "Application paths",
                                        "Drivers",
                                        "Help files",
                                        "File extensions",
                                        "Fonts",
                                        "History list (MRU)",
                                        "IE BHO",
                                        "IE Extensions",
                                        "IE Toolbars",
                                        "Installed software",
                                        "MUI Cache",
                                        "Obsolete software",
                                        "Services",
                                        "Shared DLLs",
                                        "Sounds",
                                        "Startup software",
                                        "Type libraries"};
    return item >= 1 && item <= kAreaCount ? names[item - 1] : "?";
}

double PeakWorkingSetMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return 0;
    return pmc.PeakWorkingSetSize / (1024.0 * 1024.0);
}

double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return 0;
    return pmc.WorkingSetSize / (1024.0 * 1024.0);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    MDR_HERE();
    Options opt;
    if (!ParseOptions(argc, argv, opt)) {
        Usage();
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    InitializeCriticalSection(&g_scanLock);

    // Language texts: descriptions are built for every report, as in the program.
    std::wstring lang =
        opt.lang.empty() ? ProgramFolder() + L"..\\dist\\Localization\\English.ini" : opt.lang;
    if (LoadLanguage(ProgramFolder(), lang) != 1)
        std::printf("warning: language file not loaded (%s); descriptions stay empty\n",
                    ToUtf8(lang).c_str());

    // Folders come from the real user profile, before the roots are redirected.
    InitScanEnginePaths();
    const EnginePaths& paths = ScanEnginePaths();

    BenchSandbox box;
    if (!box.Ok()) {
        std::fprintf(stderr, "Could not set up the registry sandbox\n");
        return 1;
    }
    const MachineSize& s = opt.size;
    std::printf("Synthetic machine: %d classes, %d interfaces, %d uninstall entries, %d services, "
                "%d vendor keys, %d recent documents, %d startup values, %d file extensions, "
                "%.1f%% broken\n",
                s.classes, s.interfaces, s.uninstall, s.services, s.vendors, s.mru, s.startup,
                s.extensions, s.brokenPercent);
    Stopwatch setup;
    MachineStats stats = BuildMachine(box, s, paths.recentFolder, paths.fontsFolder);
    double setupSeconds = setup.Seconds();
    const WriteCounts& w = Written();
    std::printf("Set-up: %.1f s (%llu keys, %llu values, %d files in the sandbox folder, %d in "
                "Recent and Fonts; %llu registry and %d file failures)\n",
                setupSeconds, w.keys, w.values, stats.files, stats.foreignFiles, w.failures,
                stats.fileFailures);

    SetProgressCallback(CountItem);
    SetErrorReportCallback(ReportDetectedError);
    SetScanDelay(0);
    SetSkipRemovable(1);
    BenchView view;
    g_tag = L"MDRBench-" + std::to_wstring(GetCurrentProcessId());

    Reference reference;
    bool haveReference = false;
    if (!opt.reference.empty()) {
        std::string why;
        haveReference = LoadReference(opt.reference, g_tag, reference, why);
        if (!haveReference)
            std::printf("warning: reference not used: %s\n", why.c_str());
        else if (!SameMachine(reference.size, s)) {
            std::printf("warning: reference not used: it was recorded on another synthetic "
                        "machine (other sizes or seed)\n");
            haveReference = false;
        }
    }

    // The first timed scan comes before the recording, so the working-set peak is the scan's.
    // Then scans and bare replays alternate, and the best of each counts: the machine is shared.
    std::vector<ScanRun> runs;
    auto timedScan = [&] {
        runs.push_back(RunScan(view));
        const ScanRun& r = runs.back();
        std::printf("Scan %zu: %.2f s, %llu items, %llu errors, scan thread CPU %.2f s%s\n",
                    runs.size(), r.seconds, r.items, r.errors, r.cpuSeconds,
                    r.result == 1 ? "" : " (the scan thread did not finish normally)");
    };
    const ReadAheadCounts aheadBefore = ReadAheadTotals();
    double privateBeforeMb = PrivateMb();
    g_scanPrivatePeakMb = privateBeforeMb;
    timedScan();
    double privatePeakMb = g_scanPrivatePeakMb;
    const ReadAheadCounts aheadAfter = ReadAheadTotals();
    double privateAfterMb = PrivateMb();
    double peakMb = PeakWorkingSetMb();
    double wsMb = WorkingSetMb();

    Recording rec;
    g_hashItems = true;
    g_itemsHash = 14695981039346656037ull;
    bool hooked = StartRecording(rec);
    ScanRun recorded = RunScan(view);
    StopRecording();
    g_hashItems = false;
    std::printf("Recorded %zu registry and file calls and %llu pauses (%llu items)\n",
                rec.ops.size(), rec.yields, recorded.items);

    ScanOutcome outcome;
    outcome.items = recorded.items;
    outcome.itemsHash = g_itemsHash;
    outcome.areaErrors = recorded.areaErrors;
    for (const DetectedError& e : Records()) {
        std::wstring line = RootKeyName(e.root) + L"\t" + e.keyPath + L"\t" + e.valueName + L"\t" +
                            e.valueData + L"\t" + e.category + L"\t" + e.description + L"\t" +
                            std::to_wstring(e.safety) + L"\t" + std::to_wstring(e.entryType) +
                            L"\t" + std::to_wstring(e.areaIndex);
        outcome.findings.push_back(WithoutTag(line, g_tag));
    }
    if (!opt.saveReference.empty()) {
        Reference mine{s, g_tag, outcome, rec};
        std::printf("%s %s\n",
                    SaveReference(opt.saveReference, mine) ? "Reference saved to"
                                                           : "Could not save to",
                    ToUtf8(opt.saveReference).c_str());
    }

    ReplayResult floor, refFloor;
    floor.seconds = refFloor.seconds = 1e30;
    for (int r = 0; r < opt.runs; ++r) {
        ReplayResult f = Replay(rec, false);
        std::printf("Floor %d: %.2f s, replaying thread CPU %.2f s\n", r + 1, f.seconds,
                    f.cpuSeconds);
        if (f.seconds < floor.seconds) floor = f;
        if (haveReference) {
            ReplayResult g = Replay(reference.calls, false);
            std::printf("Reference floor %d: %.2f s, replaying thread CPU %.2f s\n", r + 1,
                        g.seconds, g.cpuSeconds);
            if (g.seconds < refFloor.seconds) refFloor = g;
        }
        if (r + 1 < opt.runs) timedScan();
    }
    ReplayResult split = Replay(rec, true);
    double yields = TimeYields(rec.yields);
    const ScanRun& best =
        *std::min_element(runs.begin(), runs.end(),
                          [](const ScanRun& a, const ScanRun& b) { return a.seconds < b.seconds; });
    int planted = 0;
    for (int b : stats.broken)
        planted += b;

    std::printf("\nEngine (ScanThread, all 18 areas, headless, scan delay 0), best of %zu:\n",
                runs.size());
    std::printf("  items examined   %llu\n", best.items);
    std::printf("  errors found     %llu (planted: %d)\n", best.errors, planted);
    std::printf("  wall time        %.2f s\n", best.seconds);
    std::printf("  items per second %.0f\n", best.seconds > 0 ? best.items / best.seconds : 0.0);
    std::printf("  peak working set %.1f MB (after the scan: %.1f MB)\n", peakMb, wsMb);
    std::printf("  private memory   %.1f MB before the first scan, %.1f MB at most during it "
                "(growth %.1f MB), %.1f MB after it\n",
                privateBeforeMb, privatePeakMb, privatePeakMb - privateBeforeMb, privateAfterMb);
    const ScanMemoStats memo = LastScanMemoStats();
    std::printf("  the scan's memo  %zu keys, %zu values, %zu paths, about %.1f MB\n", memo.keys,
                memo.values, memo.paths, memo.bytes / (1024.0 * 1024.0));
    std::printf(
        "  read ahead       %ld keys read by the readers ahead of the walk, %ld of them used\n",
        aheadAfter.read - aheadBefore.read, aheadAfter.taken - aheadBefore.taken);
    std::printf("\nFloor: the scan's %zu registry and file calls replayed bare%s, best of %d:\n",
                rec.ops.size(), hooked ? "" : " (some imports not hooked)", opt.runs);
    std::printf("  wall time        %.2f s\n", floor.seconds);
    std::printf("  engine / floor   %.2f (target: within 1.3)\n",
                floor.seconds > 0 ? best.seconds / floor.seconds : 0.0);
    std::printf("  of the difference, %llu pauses SleepEx(0, alertable) alone take %.2f s\n",
                rec.yields, yields);
    // Processor time of our own thread does not depend on what else the machine runs.
    std::printf("  processor time of the scanning thread: engine %.2f s, floor %.2f s (%.2f)\n",
                best.cpuSeconds, floor.cpuSeconds,
                floor.cpuSeconds > 0 ? best.cpuSeconds / floor.cpuSeconds : 0.0);
    if (rec.unmappedHandles)
        std::printf("  note: %llu calls used handles opened outside the recording\n",
                    rec.unmappedHandles);

    if (haveReference) {
        const ScanOutcome& was = reference.outcome;
        std::printf("\nReference: the %zu calls recorded by the engine that made %s,\n"
                    "replayed bare in this run, best of %d:\n",
                    reference.calls.ops.size(), ToUtf8(opt.reference).c_str(), opt.runs);
        std::printf("  wall time        %.2f s\n", refFloor.seconds);
        std::printf("  engine / reference floor  %.2f (target: at most 0.5)\n",
                    refFloor.seconds > 0 ? best.seconds / refFloor.seconds : 0.0);
        std::printf("  new floor / reference floor %.2f\n",
                    refFloor.seconds > 0 ? floor.seconds / refFloor.seconds : 0.0);
        bool sameItems = was.items == outcome.items && was.itemsHash == outcome.itemsHash;
        std::printf("  items examined   %s (%llu then, %llu now)\n",
                    sameItems ? "identical" : "DIFFERENT", was.items, outcome.items);
        size_t firstDiff = 0;
        while (firstDiff < was.findings.size() && firstDiff < outcome.findings.size() &&
               was.findings[firstDiff] == outcome.findings[firstDiff])
            ++firstDiff;
        bool sameFindings = was.findings.size() == outcome.findings.size() &&
                            firstDiff == outcome.findings.size() &&
                            was.areaErrors == outcome.areaErrors;
        std::printf("  findings         %s (%zu then, %zu now, in order)\n",
                    sameFindings ? "identical" : "DIFFERENT", was.findings.size(),
                    outcome.findings.size());
        if (!sameFindings && firstDiff < std::max(was.findings.size(), outcome.findings.size())) {
            auto at = [&](const std::vector<std::wstring>& v) {
                return firstDiff < v.size() ? ToUtf8(v[firstDiff]) : std::string("(none)");
            };
            std::printf("  first difference at %zu:\n    then: %s\n    now:  %s\n", firstDiff,
                        at(was.findings).c_str(), at(outcome.findings).c_str());
        }
        std::printf("\nCalls per kind     reference       now\n");
        for (int k = 0; k < kOpKinds; ++k) {
            if (!refFloor.count[k] && !split.count[k]) continue;
            std::printf("  %-22s %9llu %9llu\n", OpName(static_cast<OpKind>(k)), refFloor.count[k],
                        split.count[k]);
        }
        uint64_t before = 0, after = 0;
        for (int k = 0; k < kOpKinds; ++k) {
            before += refFloor.count[k];
            after += split.count[k];
        }
        std::printf("  %-22s %9llu %9llu\n", "all", before, after);
    }

    std::printf("\nCalls of the floor (timed one by one, %.2f s in all):\n", split.seconds);
    for (int k = 0; k < kOpKinds; ++k) {
        if (!split.count[k]) continue;
        std::printf("  %-22s %9llu calls %8.2f s %7.1f us each\n", OpName(static_cast<OpKind>(k)),
                    split.count[k], split.opSeconds[k], 1e6 * split.opSeconds[k] / split.count[k]);
    }

    std::printf("\nPer area:                        engine s  floor s   errors  planted\n");
    for (int item = 1; item <= kAreaCount; ++item) {
        std::printf("  %2d %-28s %8.2f %8.2f %8d %8d\n", item, AreaName(item),
                    best.areaSeconds[item - 1], split.areaSeconds[item], best.areaErrors[item - 1],
                    stats.broken[item - 1]);
    }

    SetScanView(nullptr);
    ClearRecords();
    double teardown = box.Remove();
    std::printf("\nTear-down: %.1f s\n", teardown);
    DeleteCriticalSection(&g_scanLock);
    return 0;
}
