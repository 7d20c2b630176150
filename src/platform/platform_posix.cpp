// The platform functions on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.hpp"

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

bool is_folder(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

int write_refusal(const char* path) {
  struct stat status {};
  if (stat(path, &status) == 0) {
    if (S_ISDIR(status.st_mode)) return EISDIR;
    if (!S_ISREG(status.st_mode)) return 0;
    const int fd = open(path, O_WRONLY);
    if (fd < 0) return errno;
    close(fd);
    return 0;
  }
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return errno;
  close(fd);
  unlink(path);
  return 0;
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
