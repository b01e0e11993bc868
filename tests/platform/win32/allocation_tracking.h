// Records the largest single operator-new request while a tracker is alive: lets tests show that a
// damaged file is refused without allocating the sizes it claims. Global new and delete of this test
// program are replaced (in allocation_tracking.cpp) by malloc and free with this bookkeeping.
#pragma once

#include <cstddef>

namespace testing_support {

class AllocationTracker {
public:
    AllocationTracker();
    ~AllocationTracker();
    AllocationTracker(const AllocationTracker&) = delete;
    AllocationTracker& operator=(const AllocationTracker&) = delete;

    size_t Largest() const;
};

} // namespace testing_support
