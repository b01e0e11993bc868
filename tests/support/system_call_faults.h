// Faults planted in this process's system calls, for what a test cannot arrange on the machine it runs
// on: a file system without hard links, a disk that takes no new file. They last until the process ends
// and pass to the programs it runs, so tests plant them in a child.
#pragma once

namespace testing_support {

// Every later link() and linkat() fails with EPERM. False when system calls cannot be filtered here.
bool RefuseHardLinks();

// Every later open() or openat() that creates a file exclusively (O_EXCL), as temporary files are made,
// fails with ENOSPC. False when system calls cannot be filtered here.
bool RefuseExclusiveCreation();

} // namespace testing_support
