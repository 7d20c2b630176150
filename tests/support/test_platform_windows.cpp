// The tests' processes, pipes and streams on Windows, through the Windows API: a program is started
// with CreateProcess, its standard streams files opened for it to inherit.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "support/test_platform.hpp"
#include "support/windows_command_line.hpp"

const bool kOnWindows = true;
const char* const kNullDevice = "NUL";

namespace {

// A handle the started program inherits: the file opened for reading, or made anew for writing.
HANDLE inherited_file(const std::filesystem::path& path, bool for_writing) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  return CreateFileW(path.c_str(), for_writing ? GENERIC_WRITE : GENERIC_READ, share, &inherit,
                     for_writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int run_command_line(const std::filesystem::path& folder, std::string command_line,
                     const std::filesystem::path& input, const std::string& output,
                     const std::string& errors, int seconds) {
  HANDLE in = inherited_file(input, false);
  HANDLE out = inherited_file(folder / output, true);
  HANDLE err = inherited_file(folder / errors, true);
  int status = -1;
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    // The words are in the ANSI code page, as the C library gives a program's arguments.
    std::wstring line(command_line.size() + 1, L'\0');
    line.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_ACP, 0, command_line.c_str(), -1, line.data(), static_cast<int>(line.size()))));
    if (!line.empty()) line.pop_back();  // the terminating zero
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                       &startup, &process)) {
      DWORD code = 0;
      if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(seconds) * 1000) !=
          WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
      } else if (GetExitCodeProcess(process.hProcess, &code) && code < 0xC0000000) {
        // Codes from 0xC0000000 on are those of a crash, such as 0xC0000005 for an access
        // violation, not of an exit.
        status = static_cast<int>(code);
      }
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  for (HANDLE handle : {in, out, err}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  return status;
}

}  // namespace

int run_program(const std::filesystem::path& folder, const std::vector<std::string>& words,
                const std::string& input, const std::string& output, const std::string& errors,
                int seconds) {
  std::string command_line;
  for (const std::string& word : words)
    command_line += (command_line.empty() ? "" : " ") + command_line_word(word);
  const std::filesystem::path input_path =
      input.empty() ? std::filesystem::path(kNullDevice) : folder / input;
  return run_command_line(folder, command_line, input_path, output, errors, seconds);
}

int run_shell_line(const std::filesystem::path& folder, const std::string& line,
                   const std::string& output, const std::string& errors) {
  return run_command_line(folder, "cmd.exe /c " + line, kNullDevice, output, errors, 20);
}

NamedPipe::NamedPipe(const std::filesystem::path& folder) : path_(folder) {
  // Pipe names are one for the whole machine: a random one keeps tests apart that run at once.
  std::random_device random;
  name_ = "\\\\.\\pipe\\corvane-test-" + std::to_string(random());
  handle_ = CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                             PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  made_ = handle_ != INVALID_HANDLE_VALUE;
}

NamedPipe::~NamedPipe() {
  if (made_) CloseHandle(handle_);
}

void show_output_and_end_input() {
  std::fflush(stdout);
  if (std::freopen(kNullDevice, "r", stdin) == nullptr) std::abort();
  if (_dup2(_fileno(stderr), _fileno(stdout)) < 0) std::abort();
}
