// The floor of the benchmark: the registry and file-system calls a scan makes, recorded through
// this program's import table while a scan runs, then replayed in a bare loop with the same
// arguments, the same order and the same handles (mapped), and nothing else around them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mdr::bench {

enum class OpKind : uint8_t {
    OpenKey,
    CloseKey,
    EnumKey,
    EnumValue,
    QueryValue,
    QueryInfoKey,
    GetValue,
    FindFile,
    FindFileEx,
    FindClose,
    FileAttributes,
    FileAttributesEx,
    DriveType,
    LongPathName,
    AreaStart, // marker: the scan began tree item `index`
    Count
};
constexpr int kOpKinds = static_cast<int>(OpKind::Count);
const char* OpName(OpKind kind);

struct Op {
    OpKind kind;
    uint32_t flags = 0; // which optional pointers the call passed
    uint32_t ref = 0;   // key or find handle: a slot number, or a predefined root
    uint32_t slot = 0;  // slot that receives an opened handle
    uint32_t index = 0; // enumeration index, access mask, info level or tree item
    uint32_t size = 0;  // buffer sizes as passed in
    uint32_t size2 = 0;
    uint32_t text = 0; // string table entries (kNoText when absent)
    uint32_t text2 = 0;
};
constexpr uint32_t kNoText = 0xFFFFFFFFu;

struct Recording {
    std::vector<Op> ops;
    std::vector<std::wstring> texts;
    uint32_t keySlots = 0;
    uint32_t findSlots = 0;
    uint64_t unmappedHandles = 0; // handles opened outside the recording (replayed as invalid)
    uint64_t yields = 0;          // SleepEx calls: the engine's pause after each item, not replayed
};

// Patches the import table of this program; false when an entry could not be found.
bool StartRecording(Recording& into);
void StopRecording();
// Called by the view when an area starts, so the replay can time areas.
void RecordAreaStart(int item);

struct ReplayResult {
    double seconds = 0;
    double cpuSeconds = 0; // processor time of the replaying thread
    std::array<uint64_t, kOpKinds> count{};
    std::array<double, kOpKinds> opSeconds{}; // only when timed per call
    std::array<double, 19> areaSeconds{};     // index = tree item
};

// timePerCall adds a counter read around each call to split the time by call kind and area.
ReplayResult Replay(const Recording& recording, bool timePerCall);
// Seconds taken by `count` calls of SleepEx(0, TRUE), the pause a scan makes with delay 0.
double TimeYields(uint64_t count);

} // namespace mdr::bench
