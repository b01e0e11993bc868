// What tests read of their own process: the peak resident size, which shows an allocation of what a
// damaged or huge file claims, and the id of a process that has ended, as a crashed writer's would be.
#pragma once

#include <sys/types.h>

namespace testing_support {

// The process's peak resident size in kilobytes.
long PeakResidentKilobytes();

// The id of a child that has exited and been reaped; -1 when no child could be made.
pid_t EndedProcessId();

} // namespace testing_support
