// tavrel-bench: every exported builder timed against the floors of writing
// its own bytes, in the same loop, on tmpfs; and per build the allocations,
// the system calls and the stack it takes.
//
//   crash-safe floor: the target looked at, an unnamed temporary file in its
//                     directory (O_TMPFILE), write, the replaced file's owner,
//                     group and attributes, fchmod, fsync, a name through
//                     /proc (linkat), rename, directory fsync, closes
//   plain floor:      temporary file, write, fsync, close, rename
//
// Times are the mean of one batch of calls; a builder's figures are the
// minimum and the median over the rounds, and its ratios are to the floor's
// in the same statistic. A benchmark, not a test: it fails only when a build
// fails.
//
//   tavrel-bench [--quick] [-v] [--only BUILDER] [--settings FILE]
//   BENCH_ROUNDS, BENCH_ITERATIONS override the rounds and the batch size.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <sys/user.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "host_control.h"
#include "settings.h"
#include "tavrel/8021x_config.h"
#include "tavrel/SambaConfig.h"
#include "tavrel/kerberos_CAC_config.h"
#include "tavrel/kerberos_config.h"
#include "tavrel/pam_config.h"
#include "tavrel/samba_config.h"

// ---- Allocation counting ----------------------------------------------------
// The program's own malloc family, in front of glibc's, so every allocation
// the library, the host platform and the C library make is seen.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *pointer, std::size_t size);
void __libc_free(void *pointer);
}

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void note_allocation() {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void *malloc(std::size_t size) {
    note_allocation();
    return __libc_malloc(size);
}
void *calloc(std::size_t count, std::size_t size) {
    note_allocation();
    return __libc_calloc(count, size);
}
void *realloc(void *pointer, std::size_t size) {
    note_allocation();
    return __libc_realloc(pointer, size);
}
void free(void *pointer) { __libc_free(pointer); }
}

namespace {

// ---- The builders ------------------------------------------------------------

struct Builder {
    const char *name;
    const char *file;  // fixed path of what it writes
    bool (*run)();
};

template <std::size_t N>
void set(char (&field)[N], const char *text) {
    std::snprintf(field, N, "%s", text);
}

bool smb_auth() { return build_smb_conf_for_authentication() == 1; }
bool smb_filing() {
    // The builder rewrites the path in place.
    char server[] = "files.corp.example";
    char path[] = "scans\\front-desk";
    return build_smb_conf_for_filing(server, path) == 0;
}
bool krb5() { return build_krb5_conf() == 1; }
bool krb5_realm() {
    char realm[] = "LAB.CORP.EXAMPLE";
    return cf_build_krb_config_file_with_realm_only(realm) == 1;
}
bool krb5_service() {
    char realm[] = "CORP.EXAMPLE";
    return cf_build_krb_conf_file_with_this(realm, 1) == 1;
}
bool krb5_record() {
    krb_server_settings record{};
    set(record.realm, "CORP.EXAMPLE");
    set(record.kdc_hostname, "kdc1.corp.example");
    set(record.backup_kdc_ip_address, "192.168.10.6");
    record.kdc_port = 88;
    record.backup_kdc_port = 88;
    return cf_build_krb_conf_with_XML_data(&record) == 1;
}
bool krb5_cac() {
    char realm[] = "CORP.EXAMPLE";
    return cf_build_krb_conf_file_for_CAC(realm, "dc1.corp.example", 88, 0) == 1;
}
bool pam_cac() { return cf_build_pam_conf_file_for_CAC() == 1; }
bool wifi_open() {
    const CF_IO_Wireless_Params record{"lobby", CF_IO_SECMODE_NONE, 0, nullptr};
    return cf_build_wireless_nosecurity_8021x_conf_for_authentication(&record) == 1;
}
bool wifi_wep() {
    CF_IO_WEP_Params record{};
    record.ssid = "warehouse";
    record.sec_mode = CF_IO_SECMODE_WEP;
    record.wep_key = "0123456789abcdef0123456789";
    record.key_is_hex = 1;
    return cf_build_wireless_wep_8021x_conf_for_authentication(&record) == 1;
}
bool wifi_personal() {
    const CF_IO_Wireless_Params record{"corp-office", CF_IO_SECMODE_WPA2_PSK, CF_IO_ENCMODE_AES,
                                       "staple battery horse correct"};
    return cf_build_wireless_personal_8021x_conf_for_authentication(&record) == 1;
}
bool dot1x_wired() {
    CF_IO_8021x_Params record{};
    record.interface = CF_IO_IFACE_WIRED;
    record.eap_type = CF_IO_EAP_PEAP_MSCHAPV2;
    record.user_name = "scanner01";
    record.password = "Scan-Device-01";
    record.outer_identity = "anonymous";
    record.ca_cert = "/etc/certs/corp-ca.pem";
    return cf_build_enterprise_8021x_conf_for_authentication(&record) == 1;
}
bool dot1x_wireless() {
    CF_IO_8021x_Params record{};
    record.interface = CF_IO_IFACE_WIRELESS;
    record.ssid = "corp-secure";
    record.sec_mode = CF_IO_SECMODE_WPA2_EAP;
    record.enc_mode = CF_IO_ENCMODE_AES;
    record.eap_type = CF_IO_EAP_TLS;
    record.user_name = "scanner01";
    record.ca_cert = "/etc/certs/corp-ca.pem";
    record.client_cert = "/etc/certs/scanner01.pem";
    record.private_key = "/etc/certs/scanner01.key";
    record.private_key_passwd = "key-pass-01";
    return cf_build_enterprise_8021x_conf_for_authentication(&record) == 1;
}

constexpr std::array<Builder, 13> kBuilders{{
    {"smb-auth", "/etc/smb.conf.auth", smb_auth},
    {"smb-filing", "/etc/smb.conf.file", smb_filing},
    {"krb5", "/etc/krb5.conf", krb5},
    {"krb5-realm", "/etc/krb5.conf", krb5_realm},
    {"krb5-service", "/etc/krb5.conf", krb5_service},
    {"krb5-record", "/etc/krb5.conf", krb5_record},
    {"krb5-cac", "/usr/heimdal/etc/krb5.conf", krb5_cac},
    {"pam-cac", "/etc/pam.d/pam_cac", pam_cac},
    {"wifi-open", CF_IO_WIRELESS_CONF_PATH, wifi_open},
    {"wifi-wep", CF_IO_WIRELESS_CONF_PATH, wifi_wep},
    {"wifi-personal", CF_IO_WIRELESS_CONF_PATH, wifi_personal},
    {"dot1x-wired", CF_IO_WIRED_CONF_PATH, dot1x_wired},
    {"dot1x-wireless", CF_IO_WIRELESS_CONF_PATH, dot1x_wireless},
}};

std::string g_root;  // the private root, removed however the program ends

void remove_root() {
    if (!g_root.empty()) std::filesystem::remove_all(g_root);
}

[[noreturn]] void die(const std::string &message) {
    std::fprintf(stderr, "tavrel-bench: %s\n", message.c_str());
    std::exit(1);
}

// ---- The floors ----------------------------------------------------------------

struct Target {
    std::string path, directory, base, plain_temporary;
    std::string bytes;
};

void write_all(int fd, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) die("floor: write failed");
        done += static_cast<std::size_t>(n);
    }
}

void crash_safe_floor(const Target &t) {
    struct stat st;
    const bool exists = lstat(t.path.c_str(), &st) == 0;
    const int dir = ::open(t.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) die("floor: open directory failed");
    const int fd = openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) die("floor: O_TMPFILE failed");
    write_all(fd, t.bytes);
    std::array<char, 1024> attributes{};
    if (exists && (fchown(fd, st.st_uid, st.st_gid) != 0 ||
                   llistxattr(t.path.c_str(), attributes.data(), attributes.size()) != 0))
        die("floor: fchown or llistxattr failed (or the target has attributes)");
    if (fchmod(fd, 0644) != 0) die("floor: fchmod failed");
    if (fsync(fd) != 0) die("floor: fsync failed");
    // A name of its own for each call, as a temporary name must be.
    static unsigned calls = 0;
    std::array<char, 32> proc{}, name{};
    std::snprintf(proc.data(), proc.size(), "/proc/self/fd/%d", fd);
    std::snprintf(name.data(), name.size(), ".floor.%06x", ++calls & 0xffffff);
    if (linkat(AT_FDCWD, proc.data(), dir, name.data(), AT_SYMLINK_FOLLOW) != 0) die("floor: linkat failed");
    if (renameat(dir, name.data(), dir, t.base.c_str()) != 0) die("floor: rename failed");
    (void)fsync(dir);
    close(fd);
    close(dir);
}

void plain_floor(const Target &t) {
    const int fd = ::open(t.plain_temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) die("floor: open failed");
    write_all(fd, t.bytes);
    if (fsync(fd) != 0 || close(fd) != 0) die("floor: fsync/close failed");
    if (rename(t.plain_temporary.c_str(), t.path.c_str()) != 0) die("floor: rename failed");
}

// ---- Timing ------------------------------------------------------------------------

double now_us() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double batch_us(const std::function<void()> &step, int iterations) {
    const double start = now_us();
    for (int i = 0; i < iterations; ++i) step();
    return (now_us() - start) / iterations;
}

struct Stats {
    double min = 0, median = 0;
};

Stats stats_of(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples.front(), samples[samples.size() / 2]};
}

// ---- Stack -------------------------------------------------------------------------
// The build runs on a thread whose stack is painted first; what it touched is
// the depth below the top at which the paint is gone, less what an empty
// thread touches.

constexpr std::size_t kStackSize = 256 * 1024;
constexpr unsigned char kPaint = 0xA5;

struct StackRun {
    bool (*run)();
    bool ok = false;
};

void *stack_thread(void *argument) {
    auto *run = static_cast<StackRun *>(argument);
    run->ok = run->run ? run->run() : true;
    return nullptr;
}

std::size_t stack_used(bool (*run)(), bool &ok) {
    static std::vector<unsigned char> stack(kStackSize);
    std::fill(stack.begin(), stack.end(), kPaint);
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0 || pthread_attr_setstack(&attr, stack.data(), stack.size()) != 0)
        die("cannot give the thread its stack");
    StackRun r{run};
    pthread_t thread;
    if (pthread_create(&thread, &attr, stack_thread, &r) != 0) die("pthread_create failed");
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ok = r.ok;
    // The stack grows down: the lowest byte touched marks the depth.
    std::size_t lowest = 0;
    while (lowest < stack.size() && stack[lowest] == kPaint) ++lowest;
    return stack.size() - lowest;
}

// ---- System calls -------------------------------------------------------------------
// A forked copy of this process, traced: every system call entered between
// two marker calls (close of an impossible descriptor) is the build's.

struct Syscalls {
    int total = -1;  // -1: could not be counted here
    int writes = 0;
    std::string names;
};

constexpr long kMarkBegin = -7001;
constexpr long kMarkEnd = -7002;

const char *syscall_name(long number) {
#if defined(__x86_64__)
    switch (number) {
    case SYS_read: return "read";
    case SYS_write: return "write";
    case SYS_pwrite64: return "pwrite64";
    case SYS_writev: return "writev";
    case SYS_open: return "open";
    case SYS_openat: return "openat";
    case SYS_close: return "close";
    case SYS_stat: return "stat";
    case SYS_lstat: return "lstat";
    case SYS_fstat: return "fstat";
    case SYS_newfstatat: return "newfstatat";
    case SYS_faccessat: return "faccessat";
    case SYS_faccessat2: return "faccessat2";
    case SYS_fchmod: return "fchmod";
    case SYS_fchown: return "fchown";
    case SYS_llistxattr: return "llistxattr";
    case SYS_lgetxattr: return "lgetxattr";
    case SYS_fsetxattr: return "fsetxattr";
    case SYS_linkat: return "linkat";
    case SYS_fsync: return "fsync";
    case SYS_rename: return "rename";
    case SYS_renameat: return "renameat";
    case SYS_renameat2: return "renameat2";
    case SYS_unlink: return "unlink";
    case SYS_readlink: return "readlink";
    case SYS_fcntl: return "fcntl";
    case SYS_ftruncate: return "ftruncate";
    case SYS_getrandom: return "getrandom";
    case SYS_brk: return "brk";
    case SYS_mmap: return "mmap";
    case SYS_munmap: return "munmap";
    case SYS_getpid: return "getpid";
    }
#endif
    (void)number;
    return "?";
}

Syscalls count_syscalls(bool (*run)()) {
    Syscalls result;
#if defined(__x86_64__)
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(2);
        raise(SIGSTOP);
        syscall(SYS_close, kMarkBegin);
        const bool ok = run();
        syscall(SYS_close, kMarkEnd);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return result;
    }
    ptrace(PTRACE_SETOPTIONS, child, nullptr, reinterpret_cast<void *>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
    bool counting = false, entering = true;
    int total = 0, writes = 0;
    std::string names;
    while (ptrace(PTRACE_SYSCALL, child, nullptr, nullptr) == 0 && waitpid(child, &status, 0) == child) {
        if (WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (!WIFSTOPPED(status) || WSTOPSIG(status) != (SIGTRAP | 0x80)) continue;
        if (entering) {
            user_regs_struct regs{};
            ptrace(PTRACE_GETREGS, child, nullptr, &regs);
            const long number = static_cast<long>(regs.orig_rax);
            const long first = static_cast<long>(regs.rdi);
            if (number == SYS_close && first == kMarkBegin) {
                counting = true;
            } else if (number == SYS_close && first == kMarkEnd) {
                counting = false;
            } else if (counting) {
                ++total;
                if (number == SYS_write || number == SYS_pwrite64 || number == SYS_writev) ++writes;
                if (!names.empty()) names += ' ';
                names += syscall_name(number);
            }
        }
        entering = !entering;
    }
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.total = total;
        result.writes = writes;
        result.names = names;
    }
#else
    (void)run;
#endif
    return result;
}

// ---- Set-up ------------------------------------------------------------------------

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string cpu_model() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

int env_number(const char *name, int fallback) {
    const char *text = std::getenv(name);
    if (!text || !*text) return fallback;
    const int value = std::atoi(text);
    return value > 0 ? value : fallback;
}

struct Row {
    const Builder *builder;
    Target target;
    std::vector<double> build, safe, plain;
    long allocations = 0;
    std::size_t stack = 0;
    Syscalls syscalls;
};

}  // namespace

int main(int argc, char **argv) {
    std::string settings_file = TAVREL_SOURCE_DIR "/examples/office.toml";
    std::string only;  // one builder, for a profiler
    bool quick = false, verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "-v") {
            verbose = true;
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--settings" && i + 1 < argc) {
            settings_file = argv[++i];
        } else {
            std::fprintf(stderr, "usage: tavrel-bench [--quick] [-v] [--only BUILDER] [--settings FILE]\n");
            return 2;
        }
    }
    const int rounds = env_number("BENCH_ROUNDS", quick ? 3 : 21);
    const int iterations = env_number("BENCH_ITERATIONS", quick ? 20 : 300);

    // A private root on tmpfs, so the figures are the code's and not a disk's.
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string root_template = base + "/tavrel-bench.XXXXXX";
    if (!mkdtemp(root_template.data())) die("cannot make a directory in " + base);
    const std::string root = root_template;
    g_root = root;
    std::atexit(remove_root);
    setenv("TAVREL_ROOT", root.c_str(), 1);
    for (const char *dir : {"/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0", "/usr/heimdal/etc"})
        std::filesystem::create_directories(root + dir);

    try {
        host::Settings settings = host::load_settings_file(settings_file);
        // krb5-realm asks for the realm's own address.
        if (settings.hosts) settings.hosts->emplace("LAB.CORP.EXAMPLE", "10.20.0.4");
        host::apply_settings(settings);
    } catch (const std::exception &error) {
        die(error.what());
    }
    // As on a device whose logger filters most records: nothing shown or kept.
    host::log_set_echo(host::Echo::Quiet);
    host::log_set_capture(false);

    std::vector<Row> rows;
    for (const Builder &b : kBuilders) {
        if (!only.empty() && only != b.name) continue;
        if (!b.run()) die(std::string(b.name) + ": the build failed");
        Row row{&b, {}, {}, {}, {}, 0, 0, {}};
        Target &t = row.target;
        t.path = root + b.file;
        t.directory = t.path.substr(0, t.path.rfind('/'));
        t.base = t.path.substr(t.path.rfind('/') + 1);
        t.plain_temporary = t.directory + "/.floor.plain";
        t.bytes = read_file(t.path);
        rows.push_back(std::move(row));
    }

    // Interleaved, so that a busy moment of the machine hits all three alike.
    for (int round = 0; round < rounds; ++round) {
        for (Row &row : rows) {
            const Builder &b = *row.builder;
            row.build.push_back(batch_us([&] { if (!b.run()) die(std::string(b.name) + ": the build failed"); },
                                         iterations));
            row.safe.push_back(batch_us([&] { crash_safe_floor(row.target); }, iterations));
            row.plain.push_back(batch_us([&] { plain_floor(row.target); }, iterations));
        }
    }

    bool empty_ok = false;
    const std::size_t empty_stack = stack_used(nullptr, empty_ok);
    for (Row &row : rows) {
        long most = 0;
        for (int i = 0; i < 5; ++i) {
            g_allocations = 0;
            g_counting = true;
            row.builder->run();
            g_counting = false;
            most = std::max(most, g_allocations.load());
        }
        row.allocations = most;
        bool ok = false;
        const std::size_t used = stack_used(row.builder->run, ok);
        if (!ok) die(std::string(row.builder->name) + ": the build failed on the measuring thread");
        row.stack = used > empty_stack ? used - empty_stack : 0;
        row.syscalls = count_syscalls(row.builder->run);
    }

    utsname machine{};
    uname(&machine);
    std::printf("tavrel-bench: %d rounds of %d calls, files on %s (%s)\n", rounds, iterations, base.c_str(),
                base == "/dev/shm" ? "tmpfs" : "not tmpfs");
    std::printf("machine: %s, %ld cores, %s %s %s\n\n", cpu_model().c_str(), sysconf(_SC_NPROCESSORS_ONLN),
                machine.sysname, machine.release, machine.machine);
    std::printf("%-15s %6s %15s %15s %15s %11s %11s %7s %9s %7s\n", "builder", "bytes", "us min/median",
                "safe floor us", "plain floor us", "x safe", "x plain", "allocs", "syscalls", "stack");
    double worst = 0;
    for (const Row &row : rows) {
        const Stats build = stats_of(row.build), safe = stats_of(row.safe), plain = stats_of(row.plain);
        const double ratio_min = build.min / safe.min, ratio_median = build.median / safe.median;
        worst = std::max(worst, ratio_min);
        char syscalls[32];
        if (row.syscalls.total < 0)
            std::snprintf(syscalls, sizeof syscalls, "n/a");
        else
            std::snprintf(syscalls, sizeof syscalls, "%d (%dw)", row.syscalls.total, row.syscalls.writes);
        std::printf("%-15s %6zu %7.2f/%-7.2f %7.2f/%-7.2f %7.2f/%-7.2f %5.2f/%-5.2f %5.2f/%-5.2f %7ld %9s %6zuB\n",
                    row.builder->name, row.target.bytes.size(), build.min, build.median, safe.min, safe.median,
                    plain.min, plain.median, ratio_min, ratio_median, build.min / plain.min,
                    build.median / plain.median, row.allocations, syscalls, row.stack);
        if (verbose && row.syscalls.total >= 0) std::printf("    %s\n", row.syscalls.names.c_str());
    }
    std::printf("\nworst ratio to the crash-safe floor (minimum): %.2f\n", worst);

    return 0;
}
