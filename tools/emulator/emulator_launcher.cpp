// Starts an arm64 program under qemu-user for the cross build's tests:
//   orbitrak-emulator <qemu-aarch64-static> [qemu options] <program> [arguments]
//
// qemu-user 7.2 (Debian 12) passes waitid(P_PIDFD) through to this machine's kernel, so Qt's
// QProcess inside the emulated program concludes that clone() can hand it a pidfd, yet the
// emulator's clone() ignores CLONE_PIDFD and leaves that descriptor unwritten: QProcess then
// watches and waits on a number that is no descriptor of its child and loses the child, and its
// clean-up has signalled processes it did not start. Refusing waitid(P_PIDFD) with EINVAL, as a
// kernel without pidfds would, makes Qt take its older path (SIGCHLD and a pipe), which the
// emulator handles. The filter is kept across exec and by every process the test starts.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

#if defined(__x86_64__)
constexpr unsigned kHostArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kHostArchitecture = AUDIT_ARCH_AARCH64;
#else
#error "the emulator launcher knows the system call numbers of x86-64 and arm64 hosts only"
#endif

constexpr unsigned kIdTypePidfd = 3; // P_PIDFD, newer than some C libraries' headers

bool refusePidfdWaits() {
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kHostArchitecture, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_waitid, 0, 3),
        // The low half of the first argument on these little-endian hosts: idtype is an int.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kIdTypePidfd, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EINVAL & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    return syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s EMULATOR [EMULATOR OPTIONS] PROGRAM [ARGUMENTS]\n",
                     argc > 0 ? argv[0] : "orbitrak-emulator");
        return 2;
    }
    if (!refusePidfdWaits()) {
        std::fprintf(stderr, "%s: cannot install the process filter: %s\n", argv[0],
                     std::strerror(errno));
        return 2;
    }
    execv(argv[1], argv + 1);
    std::fprintf(stderr, "%s: cannot start %s: %s\n", argv[0], argv[1], std::strerror(errno));
    return 127;
}
