// The platform functions on Windows. File names are taken as the C library gives them, in the
// system's ANSI code page, as every other file name of the program is.
#include <windows.h>

#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/platform.hpp"

namespace {

// The errno value of a failed CreateFile, as the C library's own open would set it.
int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    default:
      return EIO;
  }
}

}  // namespace

int open_regular_file(const char* name) {
  // Opening a folder fails on Windows with "permission denied"; it is told apart first, to be
  // refused as on POSIX, for not being a regular file.
  if (is_folder(name)) {
    errno = 0;
    return -1;
  }
  const int fd = _open(name, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) return -1;
  // A device (NUL, CON) or a pipe is no disk file.
  if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
    _close(fd);
    errno = 0;
    return -1;
  }
  return fd;
}

std::size_t file_size(int file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(_get_osfhandle(file)), &size) || size.QuadPart < 0)
    return 0;
  return static_cast<std::size_t>(size.QuadPart);
}

std::ptrdiff_t read_file(int file, char* buffer, std::size_t count) {
  // The C library reads at most INT_MAX bytes at a time.
  const auto piece = static_cast<unsigned>(std::min<std::size_t>(count, INT_MAX));
  return _read(file, buffer, piece);
}

void close_file(int file) {
  _close(file);
}

FileIdentity file_identity(int file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(file)), &information))
    return {};
  const uint64_t index =
      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return {information.dwVolumeSerialNumber, index, true};
}

bool is_folder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int write_refusal(const char* path) {
  if (is_folder(path)) return EISDIR;
  const DWORD all_share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE existing = CreateFileA(path, GENERIC_WRITE, all_share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    CloseHandle(existing);
    return 0;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND) return errno_of(error);
  // A new file, removed again when its handle closes.
  HANDLE made = CreateFileA(path, GENERIC_WRITE, all_share, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (made == INVALID_HANDLE_VALUE) return errno_of(GetLastError());
  CloseHandle(made);
  return 0;
}

bool wait_for_console_key() {
  // Only a console has a console mode: a file, a pipe and the device NUL have none.
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;
  // A function or arrow key comes as two codes, 0 or 0xE0 and then the key's own.
  const int key = _getch();
  if (key == 0 || key == 0xE0) _getch();
  return true;
}

void map_pages(void* block, std::size_t bytes) {
  // Windows has no request to map the pages of a committed block ahead of their first write.
  (void)block;
  (void)bytes;
}
