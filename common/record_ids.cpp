#include "common/record_ids.h"

#include <windows.h>

#include <mutex>
#include <random>
#include <unordered_set>

#include "common/lock.h"

namespace mdr {
namespace {

constexpr uint32_t kMaxRecordId = 99999999;

struct IdPool {
    Mutex lock;
    std::unordered_set<uint32_t> inUse;
    std::mt19937 random{Seed()};

    static std::mt19937::result_type Seed() {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        std::seed_seq seq{
            static_cast<uint32_t>(counter.LowPart), static_cast<uint32_t>(counter.HighPart),
            static_cast<uint32_t>(GetTickCount()), static_cast<uint32_t>(GetCurrentProcessId()),
            static_cast<uint32_t>(GetCurrentThreadId())};
        std::mt19937::result_type seed[1];
        seq.generate(seed, seed + 1);
        return seed[0];
    }
};

IdPool& Ids() {
    static IdPool pool;
    return pool;
}

} // namespace

uint32_t NewRecordId() {
    IdPool& pool = Ids();
    std::lock_guard<Mutex> guard(pool.lock);
    std::uniform_int_distribution<uint32_t> draw(1, kMaxRecordId);
    for (;;) {
        uint32_t id = draw(pool.random);
        if (pool.inUse.insert(id).second) return id;
    }
}

void ReleaseRecordId(uint32_t id) {
    IdPool& pool = Ids();
    std::lock_guard<Mutex> guard(pool.lock);
    pool.inUse.erase(id);
}

} // namespace mdr
