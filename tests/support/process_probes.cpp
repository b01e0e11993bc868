// Peak resident size and ended process ids for tests.
#include "support/process_probes.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

pid_t EndedProcessId() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    if (child > 0) {
        waitpid(child, nullptr, 0);
    }
    return child;
}

} // namespace testing_support
