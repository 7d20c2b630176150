// The platform functions on Windows. File names are taken as the C library gives them, in the
// system's ANSI code page, as every other file name of the program is.
#include <windows.h>

#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

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

constexpr DWORD kAllShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A handle that asks nothing of the file but its kind and identity; a folder opens too.
HANDLE query_handle(const char* path) {
  return CreateFileA(path, 0, kAllShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

// Why no new file can be made at the path, or 0 when one can: it is made, and removed again when
// its handle closes.
int new_file_refusal(const char* path) {
  HANDLE made = CreateFileA(path, GENERIC_WRITE, kAllShare, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (made == INVALID_HANDLE_VALUE) return errno_of(GetLastError());
  CloseHandle(made);
  return 0;
}

// The temporary files' table (see platform.hpp): a slot is free, being filled, or holds a name
// that the console's handler may remove.
enum SlotState : int { kFree, kFilling, kHeld };
struct TemporarySlot {
  std::atomic<int> state{kFree};
  char name[kLongestTemporaryName];
};
TemporarySlot temporary_slots[kTemporaryFileSlots];
std::atomic<bool> interruptions_held{false};

// Runs on a thread of its own that the system starts for the event. The temporary files are open
// shared for deletion, so that they go as soon as the process ends.
BOOL WINAPI on_console_event(DWORD event) {
  UINT status = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      status = 128 + 2;  // as SIGINT ends a POSIX program
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      status = 128 + 1;  // as SIGHUP does
      break;
    default:
      return FALSE;
  }
  while (interruptions_held.load())
    Sleep(10);
  for (TemporarySlot& slot : temporary_slots) {
    if (slot.state.load() == kHeld) DeleteFileA(slot.name);
  }
  TerminateProcess(GetCurrentProcess(), status);
  return TRUE;
}

void remove_at_exit() {
  remove_temporary_files();
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

const char* const kPathSeparators = "\\/:";

bool is_folder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int write_refusal(const char* path) {
  if (is_folder(path)) return EISDIR;
  HANDLE existing = CreateFileA(path, GENERIC_WRITE, kAllShare, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    const bool disk_file = GetFileType(existing) == FILE_TYPE_DISK;
    CloseHandle(existing);
    if (!disk_file) return 0;
    // The new text is written beside it, under a name of its own, before it takes its place.
    const std::string beside =
        std::string(path) + ".corvane-check-" + std::to_string(GetCurrentProcessId());
    return new_file_refusal(beside.c_str());
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND) return errno_of(error);
  return new_file_refusal(path);
}

int replace_refusal(const char* path) {
  if (is_folder(path)) return EISDIR;
  // Replacing a file deletes it: a program that holds it open without sharing deletion, or
  // writing, stands in the way.
  HANDLE existing = CreateFileA(path, GENERIC_WRITE | DELETE, kAllShare, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : errno_of(error);
  }
  CloseHandle(existing);
  return 0;
}

PathKind path_kind(const char* path) {
  if (is_folder(path)) return PathKind::kFolder;
  HANDLE handle = query_handle(path);
  if (handle == INVALID_HANDLE_VALUE) return PathKind::kNothing;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_DISK ? PathKind::kRegularFile : PathKind::kOther;
}

FileIdentity path_identity(const char* path) {
  HANDLE handle = query_handle(path);
  if (handle == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION information{};
  const bool told = GetFileInformationByHandle(handle, &information);
  CloseHandle(handle);
  if (!told) return {};
  const uint64_t index =
      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return {information.dwVolumeSerialNumber, index, true};
}

std::string resolved_path(const char* path) {
  char full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return "";
  // Windows's names ignore case: one case serves the comparisons.
  std::string resolved(full, length);
  for (char& c : resolved)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return resolved;
}

std::string replaced_path(const char* path) {
  return path;
}

std::FILE* create_new_file(const char* path, const char* permissions_of) {
  (void)permissions_of;  // a Windows file has no permission bits to keep
  // Shared for deletion, so that an interruption's handler can remove it while it is open.
  HANDLE made = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) {
    errno = errno_of(GetLastError());
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(made), _O_TEXT);
  std::FILE* file = fd >= 0 ? _fdopen(fd, "w") : nullptr;
  if (file == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(made);
    }
    DeleteFileA(path);
    errno = EMFILE;
  }
  return file;
}

int flush_to_disk(std::FILE* file) {
  if (std::fflush(file) != 0) return errno != 0 ? errno : EIO;
  return _commit(_fileno(file)) == 0 ? 0 : errno;
}

int replace_file(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  return errno_of(GetLastError());
}

bool remove_file(const char* path) {
  return DeleteFileA(path) != 0;
}

uint64_t process_number() {
  return GetCurrentProcessId();
}

void remove_temporary_files_when_interrupted() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(remove_at_exit);
  SetConsoleCtrlHandler(on_console_event, TRUE);
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
    DeleteFileA(slot.name);
    slot.state.store(kFree);
  }
}

void hold_interruptions() {
  interruptions_held.store(true);
}

void let_go_interruptions() {
  interruptions_held.store(false);
}

int32_t available_cores() {
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) && process_mask != 0)
    return std::popcount(static_cast<uint64_t>(process_mask));
  const unsigned cores_seen = std::thread::hardware_concurrency();
  return cores_seen > 0 ? static_cast<int32_t>(cores_seen) : 1;
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
