// System-call faults through seccomp filters that return an error for the calls they match.
#include "support/system_call_faults.h"

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <vector>

namespace testing_support {

namespace {

// The low half of an argument, on a little-endian machine.
constexpr unsigned ArgumentAt(int index) {
    return static_cast<unsigned>(offsetof(seccomp_data, args) + 8 * index);
}

// Makes the system calls `call` and `atCall` (its form relative to a folder) fail with `error`; with a
// `flag`, only those whose flags argument (`flagsAt` of `call`, `atFlagsAt` of `atCall`) holds it.
bool Refuse(unsigned call, unsigned atCall, int error, unsigned flag = 0, int flagsAt = 0,
            int atFlagsAt = 0) {
    sock_filter flagTest = BPF_JUMP(BPF_JMP | BPF_JA, 0, 0, 0); // every call matches
    if (flag != 0) {
        flagTest = BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, flag, 0, 1);
    }
    std::vector<sock_filter> rules = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, atCall, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call, 3, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgumentAt(atFlagsAt)),
        BPF_JUMP(BPF_JMP | BPF_JA, 1, 0, 0),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgumentAt(flagsAt)),
        flagTest,
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(rules.size()), rules.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

bool RefuseHardLinks() {
#ifdef SYS_link
    return Refuse(SYS_link, SYS_linkat, EPERM);
#else
    return Refuse(SYS_linkat, SYS_linkat, EPERM);
#endif
}

bool RefuseExclusiveCreation() {
    // open(path, flags, mode) and openat(folder, path, flags, mode)
#ifdef SYS_open
    return Refuse(SYS_open, SYS_openat, ENOSPC, O_EXCL, 1, 2);
#else
    return Refuse(SYS_openat, SYS_openat, ENOSPC, O_EXCL, 2, 2);
#endif
}

} // namespace testing_support
