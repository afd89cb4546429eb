#include "jet/reader_limits.h"

#include <glib.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "jet/jet_protocol.h"

namespace malvorn::jet::limits {
namespace {

[[noreturn]] void outOfMemory() {
    ::_exit(protocol::kExitMemoryLimit);
}

void onOutOfWork(int) {
    ::_exit(protocol::kExitWorkLimit);
}

// g_malloc reports a failed allocation as a fatal error before it aborts.
GLogWriterOutput onLibraryLog(GLogLevelFlags level, const GLogField* fields, gsize count,
                              gpointer data) {
    if (level & G_LOG_LEVEL_ERROR) {
        for (gsize i = 0; i < count; ++i) {
            if (std::strcmp(fields[i].key, "MESSAGE") == 0 && fields[i].length < 0 &&
                std::strstr(static_cast<const char*>(fields[i].value), "failed to allocate"))
                outOfMemory();
        }
    }
    return g_log_writer_default(level, fields, count, data);
}

pid_t parentId = 0;
int parentSocket = -1;

void onParentDeath(int) {
    // The signal also comes when only the parent's spawning thread ends.
    if (::getppid() != parentId)
        ::_exit(0);
}

void* watchSocket(void*) {
    for (;;) {
        pollfd socket{parentSocket, POLLRDHUP, 0};
        if (::poll(&socket, 1, -1) > 0 && (socket.revents & (POLLRDHUP | POLLHUP | POLLERR)))
            ::_exit(0);
    }
}

}  // namespace

unsigned heapCeilingMb(off_t fileBytes, unsigned programCeilingMb) {
    const auto fileMb = static_cast<unsigned long long>(std::max<off_t>(fileBytes, 0)) >> 20;
    const unsigned long long wanted = kBaseHeapMb + kHeapPerFileByte * (fileMb + 1);
    if (programCeilingMb == 0)
        return 0;
    return static_cast<unsigned>(std::min<unsigned long long>(wanted, programCeilingMb));
}

void limitHeap(unsigned megabytes) {
#if defined(__SANITIZE_ADDRESS__)
    megabytes = 0;  // the sanitizer's shadow memory would count against it
#endif
    if (megabytes == 0)
        return;
    const rlim_t bytes = static_cast<rlim_t>(megabytes) << 20;
    rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_DATA, &limit);
}

void exitWhenOutOfMemory() {
    std::set_new_handler(outOfMemory);
    g_log_set_writer_func(onLibraryLog, nullptr, nullptr);
}

RequestBudget::RequestBudget(std::chrono::milliseconds budget) : budget_(budget) {
    struct sigaction action {};
    action.sa_handler = onOutOfWork;
    ::sigaction(SIGPROF, &action, nullptr);
    ::sigaction(SIGALRM, &action, nullptr);
}

void RequestBudget::start() const {
    if (budget_.count() <= 0)
        return;
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(budget_.count() / 1000);
    timer.it_value.tv_usec = static_cast<suseconds_t>(budget_.count() % 1000 * 1000);
    ::setitimer(ITIMER_PROF, &timer, nullptr);
    // On a busy machine a request can get little CPU time while it waits
    // (memory the library grows must be faulted in): four times the
    // budget of real time bounds it too, below the client's silence limit.
    timer.it_value.tv_sec = static_cast<time_t>(4 * budget_.count() / 1000);
    timer.it_value.tv_usec = static_cast<suseconds_t>(4 * budget_.count() % 1000 * 1000);
    ::setitimer(ITIMER_REAL, &timer, nullptr);
}

void RequestBudget::stop() const {
    itimerval off{};
    ::setitimer(ITIMER_PROF, &off, nullptr);
    ::setitimer(ITIMER_REAL, &off, nullptr);
}

void endWithParent(pid_t parent, int fd) {
    parentId = parent;
    parentSocket = fd;
    struct sigaction action {};
    action.sa_handler = onParentDeath;
    ::sigaction(SIGHUP, &action, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGHUP);
    if (parent > 0 && ::getppid() != parent)
        ::_exit(0);  // it ended before the signal was asked for
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t watcher;
    if (pthread_create(&watcher, &attributes, watchSocket, nullptr) == 0)
        pthread_detach(watcher);
    pthread_attr_destroy(&attributes);
}

namespace {

#if defined(__x86_64__)
constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kArch = 0;
#endif

// System calls the reader never needs once its file is open.
const std::vector<long>& deniedCalls() {
    static const std::vector<long> calls{
#ifdef SYS_open
        SYS_open,
        SYS_creat,
        SYS_mkdir,
        SYS_rmdir,
        SYS_unlink,
        SYS_rename,
        SYS_link,
        SYS_symlink,
        SYS_chmod,
        SYS_chown,
        SYS_lchown,
        SYS_mknod,
        SYS_fork,
        SYS_vfork,
        SYS_uselib,
#endif
        SYS_openat,
        SYS_openat2,
        SYS_open_by_handle_at,
        SYS_mkdirat,
        SYS_unlinkat,
        SYS_renameat,
        SYS_renameat2,
        SYS_linkat,
        SYS_symlinkat,
        SYS_mknodat,
        SYS_truncate,
        SYS_ftruncate,
        SYS_fchmodat,
        SYS_fchownat,
        SYS_memfd_create,
        SYS_socket,
        SYS_socketpair,
        SYS_connect,
        SYS_bind,
        SYS_listen,
        SYS_accept,
        SYS_accept4,
        SYS_execve,
        SYS_execveat,
        SYS_clone,
        SYS_clone3,
        SYS_ptrace,
        SYS_process_vm_readv,
        SYS_process_vm_writev,
        SYS_kill,
        SYS_setrlimit,
        SYS_mount,
        SYS_umount2,
        SYS_chroot,
        SYS_pivot_root,
        SYS_unshare,
        SYS_setns,
        SYS_bpf,
        SYS_perf_event_open,
        SYS_keyctl,
        SYS_add_key,
        SYS_request_key,
        SYS_io_uring_setup,
        SYS_userfaultfd,
        SYS_init_module,
        SYS_finit_module,
        SYS_personality};
    return calls;
}

}  // namespace

bool dropAccess() {
    if (kArch == 0)
        return false;
    const auto& denied = deniedCalls();
    const auto n = static_cast<unsigned char>(denied.size());
    std::vector<sock_filter> program{
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        // The x32 calls of x86_64 are refused as a whole.
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, static_cast<unsigned char>(n + 6), 0),
    };
    for (std::size_t i = 0; i < denied.size(); ++i)
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(denied[i]),
                                   static_cast<unsigned char>(n - i + 5), 0));
    // prlimit64 may read the limits (glibc's getrlimit) but not set them.
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_prlimit64, 0, 4));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 3));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2]) + 4));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) == 0;
}

}  // namespace malvorn::jet::limits
