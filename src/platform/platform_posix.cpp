// The platform functions on Linux and other POSIX systems.
#include <fcntl.h>
#include <limits.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform.hpp"

namespace {

// The interruptions whose handler removes the temporary files.
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// A slot of the temporary files' table: free, being filled, or holding a name that the handler
// may remove. Lock-free atomics may be read in a signal handler.
enum SlotState : int { kFree, kFilling, kHeld };
struct TemporarySlot {
  std::atomic<int> state{kFree};
  char name[kLongestTemporaryName];
};
TemporarySlot temporary_slots[kTemporaryFileSlots];

void unlink_held_names() {
  for (TemporarySlot& slot : temporary_slots) {
    if (slot.state.load() == kHeld) unlink(slot.name);
  }
}

extern "C" void on_interruption(int signal_number) {
  unlink_held_names();
  // The signal again, now with its default action: it is blocked while this handler runs, and
  // ends the process as soon as the handler returns.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal_number, &default_action, nullptr);
  raise(signal_number);
}

extern "C" void remove_at_exit() {
  remove_temporary_files();
}

sigset_t interruption_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : kInterruptions)
    sigaddset(&set, signal_number);
  return set;
}

}  // namespace

int open_regular_file(const char* name) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer.
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    errno = 0;
    return -1;
  }
  return fd;
}

std::size_t file_size(int file) {
  struct stat status {};
  if (fstat(file, &status) != 0 || status.st_size < 0) return 0;
  return static_cast<std::size_t>(status.st_size);
}

std::ptrdiff_t read_file(int file, char* buffer, std::size_t count) {
  for (;;) {
    const ssize_t got = read(file, buffer, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

void close_file(int file) {
  close(file);
}

FileIdentity file_identity(int file) {
  struct stat status {};
  if (fstat(file, &status) != 0 || status.st_ino == 0) return {};
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), true};
}

const char* const kPathSeparators = "/";

bool is_folder(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

int replace_refusal(const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0) return 0;
  if (S_ISDIR(status.st_mode)) return EISDIR;
  if (!S_ISREG(status.st_mode)) return 0;
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

PathKind path_kind(const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0) return PathKind::kNothing;
  if (S_ISREG(status.st_mode)) return PathKind::kRegularFile;
  if (S_ISDIR(status.st_mode)) return PathKind::kFolder;
  return PathKind::kOther;
}

FileIdentity path_identity(const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0 || status.st_ino == 0) return {};
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), true};
}

std::string resolved_path(const char* path) {
  char resolved[PATH_MAX];
  if (realpath(path, resolved) != nullptr) return resolved;
  const std::string whole = path;
  const std::size_t slash = whole.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : whole.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? whole : whole.substr(slash + 1);
  if (name.empty() || realpath(folder.c_str(), resolved) == nullptr) return "";
  std::string joined = resolved;
  if (joined.back() != '/') joined += '/';
  return joined + name;
}

std::string replaced_path(const char* path) {
  char resolved[PATH_MAX];
  return realpath(path, resolved) != nullptr ? std::string(resolved) : std::string(path);
}

std::FILE* create_new_file(const char* path, const char* permissions_of) {
  struct stat existing {};
  const bool like_existing = permissions_of != nullptr && stat(permissions_of, &existing) == 0 &&
                             S_ISREG(existing.st_mode);
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // The file it replaces keeps its permissions; a new one has those the umask leaves.
  if (like_existing) fchmod(fd, existing.st_mode & 07777);
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    unlink(path);
    errno = error;
  }
  return file;
}

int flush_to_disk(std::FILE* file) {
  if (std::fflush(file) != 0) return errno != 0 ? errno : EIO;
  return fsync(fileno(file)) == 0 ? 0 : errno;
}

int replace_file(const char* from, const char* to) {
  return rename(from, to) == 0 ? 0 : errno;
}

bool remove_file(const char* path) {
  return unlink(path) == 0;
}

uint64_t process_number() {
  return static_cast<uint64_t>(getpid());
}

void remove_temporary_files_when_interrupted() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(remove_at_exit);
  for (int signal_number : kInterruptions) {
    struct sigaction earlier {};
    if (sigaction(signal_number, nullptr, &earlier) != 0 || earlier.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = on_interruption;
    action.sa_mask = interruption_set();
    sigaction(signal_number, &action, nullptr);
  }
}

int note_temporary_file(const char* path) {
  if (std::strlen(path) >= kLongestTemporaryName) return -1;
  for (int i = 0; i < kTemporaryFileSlots; ++i) {
    TemporarySlot& slot = temporary_slots[i];
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kFilling)) continue;
    std::strcpy(slot.name, path);
    slot.state.store(kHeld);
    return i;
  }
  return -1;
}

void forget_temporary_file(int slot) {
  if (slot >= 0 && slot < kTemporaryFileSlots) temporary_slots[slot].state.store(kFree);
}

void remove_temporary_files() {
  for (TemporarySlot& slot : temporary_slots) {
    if (slot.state.load() != kHeld) continue;
    unlink(slot.name);
    slot.state.store(kFree);
  }
}

void hold_interruptions() {
  const sigset_t set = interruption_set();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void let_go_interruptions() {
  const sigset_t set = interruption_set();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int32_t available_cores() {
#ifdef __linux__
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0)
    return CPU_COUNT(&cores);
#endif
  const unsigned cores_seen = std::thread::hardware_concurrency();
  return cores_seen > 0 ? static_cast<int32_t>(cores_seen) : 1;
}

namespace {

// Why no new file can be made at the path, or 0 when one can: it is made and removed again.
// The probe file is one of the run's temporary files while it exists, so that an interruption
// in between removes it too.
int new_file_refusal(const char* path) {
  remove_temporary_files_when_interrupted();
  hold_interruptions();
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  const int refusal = fd < 0 ? errno : 0;
  if (fd >= 0) {
    close(fd);
    unlink(path);
  }
  let_go_interruptions();
  return refusal;
}

}  // namespace

int write_refusal(const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0) return new_file_refusal(path);
  if (S_ISDIR(status.st_mode)) return EISDIR;
  if (!S_ISREG(status.st_mode)) return 0;
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  close(fd);
  // The new text is written beside it, under a name of its own, before it takes its place.
  const std::string beside = resolved_path(path) + ".corvane-check-" + std::to_string(getpid());
  return new_file_refusal(beside.c_str());
}

bool wait_for_console_key() {
  termios saved{};
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key = 0;
  ssize_t got = read(STDIN_FILENO, &key, 1);
  (void)got;  // the key, or its absence, is discarded either way
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return true;
}

void map_pages(void* block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t first = (reinterpret_cast<uintptr_t>(block) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) / page * page;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)bytes;
#endif
}
