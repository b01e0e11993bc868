// Replaces global operator new and delete of this test program with malloc and free that note the
// largest request while an AllocationTracker is alive.
#include "allocation_tracking.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> tracking{false};
std::atomic<size_t> largest{0};

} // namespace

namespace testing_support {

AllocationTracker::AllocationTracker() {
    largest = 0;
    tracking = true;
}

AllocationTracker::~AllocationTracker() {
    tracking = false;
}

size_t AllocationTracker::Largest() const {
    return largest;
}

} // namespace testing_support

void* operator new(size_t size) {
    if (tracking) {
        size_t seen = largest;
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* operator new[](size_t size) {
    return operator new(size);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, size_t) noexcept {
    std::free(memory);
}
