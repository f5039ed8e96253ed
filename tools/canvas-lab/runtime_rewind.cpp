#include "runtime_rewind.hpp"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kPage = kCanvasSlotPageBytes;
constexpr std::size_t kVerifyEvery = 256;

bool allZero(const unsigned char* bytes, std::size_t n) {
    static constexpr unsigned char kZeros[kPage] = {};
    return std::memcmp(bytes, kZeros, n) == 0;
}

// The parts of the record a rewind keeps, in address order.
std::vector<std::span<unsigned char>> rewoundState(Runtime& runtime) {
    const auto bytes = [](auto& member) {
        unsigned char* const begin = reinterpret_cast<unsigned char*>(&member);
        return std::span<unsigned char>(begin, sizeof member);
    };
    std::array<std::span<unsigned char>, 5> untouched = {
        bytes(runtime.pageEventDetail), bytes(runtime.bridgeRouter.reply), bytes(runtime.bridgeRouter.output),
        bytes(runtime.bridgeRouter.scratch), bytes(runtime.canvasImages.store)};
    std::sort(untouched.begin(), untouched.end(), [](auto a, auto b) { return a.data() < b.data(); });
    std::vector<std::span<unsigned char>> state;
    unsigned char* at = reinterpret_cast<unsigned char*>(&runtime);
    for (const std::span<unsigned char> skipped : untouched) {
        if (at < skipped.data()) state.emplace_back(at, skipped.data());
        at = std::max(at, skipped.data() + skipped.size());
    }
    unsigned char* const slots = reinterpret_cast<unsigned char*>(runtime.canvasSlots.pages.data());
    if (at < slots) state.emplace_back(at, slots);
    for (std::size_t i = 0; i < kCanvasSlotCount; ++i) {
        if (runtime.canvasSlots.used[i]) state.emplace_back(runtime.canvasSlots.pages[i].bytes, sizeof(CanvasSlot));
    }
    return state;
}

// Compares every saved page; with `restore` rewrites those that differ, otherwise answers
// whether any does.
bool compareAll(Runtime& runtime, const RuntimeRewind& rewind, bool restore) {
    const unsigned char* from = rewind.saved.data();
    std::size_t page = 0;
    bool differs = false;
    for (const std::span<unsigned char> part : rewoundState(runtime)) {
        for (std::size_t at = 0; at < part.size(); at += kPage, ++page) {
            const std::size_t n = std::min(kPage, part.size() - at);
            const bool same = rewind.zeroPages[page] ? allZero(part.data() + at, n)
                                                     : std::memcmp(part.data() + at, from + at, n) == 0;
            if (same) continue;
            differs = true;
            if (!restore) return true;
            if (rewind.zeroPages[page]) {
                std::memset(part.data() + at, 0, n);
            } else {
                std::memcpy(part.data() + at, from + at, n);
            }
        }
        from += part.size();
    }
    return differs;
}

// The tracked record: its system pages, which of them hold saved bytes, and those written since
// the last rewind. The signal handler reads and writes it, so it is set up before the handler is
// installed and changes only while no page is read-only.
struct WriteTracking {
    unsigned char* base = nullptr;
    std::size_t pageCount = 0;
    std::unique_ptr<bool[]> tracked;
    std::unique_ptr<volatile bool[]> written;
    std::unique_ptr<std::size_t[]> writtenList;
    volatile std::size_t writtenCount = 0;
    // Where each part lies in the record and in the saved bytes.
    struct Part {
        std::size_t offset = 0;
        std::size_t length = 0;
        std::size_t savedAt = 0;
    };
    std::vector<Part> parts;
    struct sigaction previous {};
};

WriteTracking gTracking;

void onWriteFault(int, siginfo_t* info, void*) {
    WriteTracking& t = gTracking;
    auto* at = static_cast<unsigned char*>(info->si_addr);
    if (t.base != nullptr && at >= t.base && at < t.base + t.pageCount * kPage) {
        const auto page = static_cast<std::size_t>(at - t.base) / kPage;
        if (t.tracked[page] && !t.written[page] &&
            mprotect(t.base + page * kPage, kPage, PROT_READ | PROT_WRITE) == 0) {
            t.written[page] = true;
            t.writtenList[t.writtenCount] = page;
            t.writtenCount = t.writtenCount + 1;
            return;
        }
    }
    // Not a tracked write: the handler before this one reports the access when it faults again.
    sigaction(SIGSEGV, &t.previous, nullptr);
}

void protectPages(std::size_t first, std::size_t count, int protection) {
    if (mprotect(gTracking.base + first * kPage, count * kPage, protection) != 0) {
        std::perror("kelvo rewind: mprotect");
        std::abort();
    }
}

// Every tracked page, in runs of neighbouring pages.
void protectTracked(int protection) {
    const WriteTracking& t = gTracking;
    for (std::size_t page = 0; page < t.pageCount;) {
        if (!t.tracked[page]) {
            ++page;
            continue;
        }
        std::size_t end = page;
        while (end < t.pageCount && t.tracked[end]) ++end;
        protectPages(page, end - page, protection);
        page = end;
    }
}

// Puts back the saved bytes of one written page and makes it read-only again.
void restorePage(const RuntimeRewind& rewind, std::size_t page) {
    const std::size_t begin = page * kPage;
    const std::size_t end = begin + kPage;
    for (const WriteTracking::Part& part : gTracking.parts) {
        const std::size_t from = std::max(begin, part.offset);
        const std::size_t to = std::min(end, part.offset + part.length);
        if (from >= to) continue;
        std::memcpy(gTracking.base + from, rewind.saved.data() + part.savedAt + (from - part.offset), to - from);
    }
    protectPages(page, 1, PROT_READ);
}

}  // namespace

void saveRuntimeState(Runtime& runtime, RuntimeRewind& rewind) {
    rewind.saved.clear();
    rewind.zeroPages.clear();
    for (const std::span<unsigned char> part : rewoundState(runtime)) {
        rewind.saved.insert(rewind.saved.end(), part.begin(), part.end());
        for (std::size_t at = 0; at < part.size(); at += kPage) {
            rewind.zeroPages.push_back(allZero(part.data() + at, std::min(kPage, part.size() - at)));
        }
    }
}

void rewindRuntime(Runtime& runtime, RuntimeRewind& rewind) {
    if (!rewind.trackingWrites) {
        // A replay changes few pages of the record: comparing a page costs less than copying it.
        (void)compareAll(runtime, rewind, true);
        return;
    }
    WriteTracking& t = gTracking;
    for (std::size_t i = 0; i < t.writtenCount; ++i) {
        restorePage(rewind, t.writtenList[i]);
        t.written[t.writtenList[i]] = false;
    }
    t.writtenCount = 0;
    if (++rewind.rewinds % kVerifyEvery == 0 && compareAll(runtime, rewind, false)) {
        std::fputs("kelvo rewind: the runtime changed without a tracked write\n", stderr);
        std::abort();
    }
}

bool trackRuntimeWrites(Runtime& runtime, RuntimeRewind& rewind) {
    WriteTracking& t = gTracking;
    if (t.base != nullptr || sysconf(_SC_PAGESIZE) != static_cast<long>(kPage)) return false;
    auto* const base = reinterpret_cast<unsigned char*>(&runtime);
    if (reinterpret_cast<std::uintptr_t>(base) % kPage != 0) return false;
    const std::size_t pageCount = (sizeof(Runtime) + kPage - 1) / kPage;
    t.tracked = std::make_unique<bool[]>(pageCount);
    t.written = std::make_unique<volatile bool[]>(pageCount);
    t.writtenList = std::make_unique<std::size_t[]>(pageCount);
    t.writtenCount = 0;
    t.parts.clear();
    std::size_t savedAt = 0;
    for (const std::span<unsigned char> part : rewoundState(runtime)) {
        const auto offset = static_cast<std::size_t>(part.data() - base);
        t.parts.push_back({offset, part.size(), savedAt});
        savedAt += part.size();
        for (std::size_t page = offset / kPage; page * kPage < offset + part.size(); ++page) t.tracked[page] = true;
    }
    t.base = base;
    t.pageCount = pageCount;
    struct sigaction handler {};
    handler.sa_sigaction = &onWriteFault;
    // On the alternate stack where one is set up, so that a stack overflow still reaches the
    // handler before it (which reports it).
    handler.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&handler.sa_mask);
    if (sigaction(SIGSEGV, &handler, &t.previous) != 0) {
        t.base = nullptr;
        return false;
    }
    // Starts from the saved state, with every tracked page read-only.
    (void)compareAll(runtime, rewind, true);
    protectTracked(PROT_READ);
    rewind.trackingWrites = true;
    rewind.rewinds = 0;
    return true;
}

void stopTrackingRuntimeWrites(RuntimeRewind& rewind) {
    WriteTracking& t = gTracking;
    if (!rewind.trackingWrites || t.base == nullptr) return;
    protectTracked(PROT_READ | PROT_WRITE);
    sigaction(SIGSEGV, &t.previous, nullptr);
    t.base = nullptr;
    rewind.trackingWrites = false;
}

}  // namespace kelvo
