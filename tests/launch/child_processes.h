// Real child processes for the launch tests: a scratch folder, copies of helper programs
// that live beside the test executable, and starting them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/scoped_handle.h"

namespace zyr::update::testing {

// A fresh folder under the temporary directory, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The folder of the running test executable (where the helper programs are built).
std::filesystem::path test_program_folder();

// Copies `program` (a file name beside the test executable) into `folder` as `name`.
std::filesystem::path copy_program(const std::wstring& program, const std::filesystem::path& folder,
                                   const std::wstring& name);

struct StartedProcess {
  ScopedKernelHandle process;
  DWORD id = 0;
};

// Starts `executable` with no inherited handles.
StartedProcess start_process(const std::filesystem::path& executable);

// Exit code after waiting up to `timeout_ms`; STILL_ACTIVE if it is still running.
DWORD exit_code_after(HANDLE process, DWORD timeout_ms);

}  // namespace zyr::update::testing
