// What differs between the systems Corvane is built for, behind one set of functions: the build
// compiles platform_posix.cpp for Linux and other POSIX systems and platform_windows.cpp for
// Windows. Everything else in src/ uses the C and C++ standard libraries only.
//
// The reports need nothing here: the C library's text mode (fopen "w") ends their lines as the
// system's text files do, LF on POSIX and CR LF on Windows, and on Windows a report that another
// program holds open against writing fails to open, as it should.
#pragma once

#include <cstddef>
#include <cstdint>

// Input files.

// Opens the named file for reading its bytes as they are, whatever their line ends, when it is a
// regular file, and returns its descriptor. Returns -1 when it does not exist, cannot be read, or
// is a folder, a device (such as /dev/zero, NUL or CON) or a pipe, none of which is a result file
// (a device could be read until memory runs out); errno then tells why the open failed, or is 0
// when the name opened but is not a regular file. A named pipe is refused without waiting for a
// writer.
int open_regular_file(const char* name);

// The size of the open file in bytes, 0 when it cannot be told.
std::size_t file_size(int file);

// Reads up to count bytes: the number read, 0 at the end of the file, -1 when the read fails. A
// read interrupted by a signal is tried again.
std::ptrdiff_t read_file(int file, char* buffer, std::size_t count);

void close_file(int file);

// What tells files apart whatever names they are opened by: the device and inode numbers on POSIX,
// the volume serial number and file index on Windows. Two names of one file (a hard link, or
// "./a.txt" and "a.txt") give the same identity.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  bool known = false;  // whether the system told one

  bool same_file_as(const FileIdentity& other) const {
    return known && other.known && volume == other.volume && file == other.file;
  }
};

FileIdentity file_identity(int file);

// Files to write.

// Whether the path names an existing folder (or a link to one).
bool is_folder(const char* path);

// Why no file can be written at the path, as an errno value, or 0 when one can: an existing regular
// file must open for writing (its contents are left as they are; on Windows a file that another
// program holds open against writing is refused), a new one must be possible in its folder, which
// is tried by making it and removing it again, and a folder is EISDIR. Devices and pipes are taken
// as they are.
int write_refusal(const char* path);

// The console.

// When standard input is a console (a terminal), waits for one key press there, read without echo
// and without waiting for Enter, and returns true. Otherwise (a file, a pipe, a device) returns
// false at once, having read nothing.
bool wait_for_console_key();

// Memory.

// Asks the system to map the whole pages of a freshly allocated block at once, since it is written
// in full soon after; one request costs far less than a page fault for each page. Where the system
// has no such request, the pages are mapped as they are first written.
void map_pages(void* block, std::size_t bytes);
