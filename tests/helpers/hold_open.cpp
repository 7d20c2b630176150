// A Windows helper of the tests: holds a file open the way a spreadsheet program holds the file it
// shows, shared for reading only, so that no other program can open it for writing, while it runs
// a program with its own standard streams; then lets go of the file and exits with the program's
// status.
//   hold_open FILE PROGRAM [ARGUMENT...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/windows_command_line.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: hold_open FILE PROGRAM [ARGUMENT...]\n", stderr);
    return 125;
  }
  HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "hold_open: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 125;
  }
  std::string command_line;
  for (int i = 2; i < argc; ++i)
    command_line += (i == 2 ? "" : " ") + command_line_word(argv[i]);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "hold_open: cannot start %s (error %lu)\n", argv[2], GetLastError());
    return 125;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 125;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(held);
  return static_cast<int>(status);
}
