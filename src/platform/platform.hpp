// What differs between the systems Corvane is built for, behind one set of functions: the build
// compiles platform_posix.cpp for Linux and other POSIX systems and platform_windows.cpp for
// Windows. Everything else in src/ uses the C and C++ standard libraries only.
//
// The reports are written through the C library's text mode, which ends their lines as the
// system's text files do, LF on POSIX and CR LF on Windows; what is here makes their files under
// names of their own, puts them on the disk and gives them their names, and on Windows a report
// that another program holds open against writing cannot be replaced, as it should.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

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

// The characters that end the folder part of a path: "/" on POSIX; the backslash, "/" and a
// drive's ":" on Windows.
extern const char* const kPathSeparators;

// Whether the path names an existing folder (or a link to one).
bool is_folder(const char* path);

// Why the existing file at the path cannot be replaced by a new one of the run's, as an errno
// value, or 0 when it can or there is none: a folder is EISDIR, and a file that does not open for
// writing (read-only; on Windows, one that another program holds open against writing or deletion,
// as a spreadsheet program does) gives the open's error. Nothing is made or changed.
int replace_refusal(const char* path);

// What a path names, links followed: nothing, a regular file, a folder, or another kind of file (a
// device such as /dev/null or NUL, a named pipe, a terminal), which is written in place.
enum class PathKind { kNothing, kRegularFile, kFolder, kOther };
PathKind path_kind(const char* path);

// The identity of the file the path names, links followed; unknown when it names nothing.
FileIdentity path_identity(const char* path);

// The absolute path with its links, "." and ".." resolved, for comparing the names of files that
// do not exist yet: for a path that names nothing, its folder resolved and its last name appended.
// Empty when not even the folder can be resolved.
std::string resolved_path(const char* path);

// The path of the file that a write to `path` replaces: on POSIX an existing file's path with its
// links resolved, so that a link to it goes on naming the file with the new text; otherwise the
// path as given.
std::string replaced_path(const char* path);

// Creates a file of that name that must not exist yet (O_CREAT | O_EXCL), with the permissions of
// the existing file `permissions_of` when it is one, and opens it for writing in text mode. Returns
// the stream, or null with errno set (EEXIST when the name is taken).
std::FILE* create_new_file(const char* path, const char* permissions_of);

// Writes what the system holds of the open file to the disk (fsync): 0, or an errno value.
int flush_to_disk(std::FILE* file);

// Gives the file `from` the name `to` in the same folder, replacing the file of that name in one
// step: 0, or an errno value. On Windows, a file that another program holds open is EACCES.
int replace_file(const char* from, const char* to);

// Removes the file of that name; false when it could not.
bool remove_file(const char* path);

// The number of this process, for names of its own.
uint64_t process_number();

// Why no file can be written at the path, as an errno value, or 0 when one can: an existing regular
// file must open for writing (its contents are left as they are; on Windows a file that another
// program holds open against writing is refused) and its folder must take a new file beside it, a
// new one must be possible in its folder, both tried by making a file and removing it again, and a
// folder is EISDIR. Devices and pipes are taken as they are.
int write_refusal(const char* path);

// Temporary files and interruptions.
//
// The run writes its outputs under temporary names and notes each name in a fixed table that an
// interruption's handler can read: on SIGINT, SIGTERM, SIGHUP or SIGPIPE (Ctrl-C, Ctrl-Break or
// the closing of the console on Windows) the handler removes every file of the table and ends the
// process as the signal would have (on Windows with status 128 plus 2, or plus 1 for a closed
// console). A signal that was ignored when the program started stays ignored. The handler does
// only what may be done in one: it reads the table and removes files by name.

// The most temporary files noted at once, and the longest name of one, with its terminating zero.
constexpr int kTemporaryFileSlots = 16;
constexpr std::size_t kLongestTemporaryName = 4096;

// Installs the handlers, once, and removes the files of the table at every exit of the process.
void remove_temporary_files_when_interrupted();

// Notes the name of a temporary file before it is made; returns its slot, or -1 when the table is
// full or the name too long. forget_temporary_file takes it out of the table again.
int note_temporary_file(const char* path);
void forget_temporary_file(int slot);

// Removes every file noted in the table and forgets them.
void remove_temporary_files();

// While held, an interruption waits: its handler runs once they are let go, so that the outputs
// are given their names all together or not at all.
void hold_interruptions();
void let_go_interruptions();

// The console.

// When standard input is a console (a terminal), waits for one key press there, read without echo
// and without waiting for Enter, and returns true. Otherwise (a file, a pipe, a device) returns
// false at once, having read nothing.
bool wait_for_console_key();

// The cores the system gives this process (its affinity mask where it has one), at least 1.
int32_t available_cores();

// Memory.

// Asks the system to map the whole pages of a freshly allocated block at once, since it is written
// in full soon after; one request costs far less than a page fault for each page. Where the system
// has no such request, the pages are mapped as they are first written.
void map_pages(void* block, std::size_t bytes);
