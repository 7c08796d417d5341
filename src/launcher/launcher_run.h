// The values one start of the launcher owns for its whole run and lends to the job.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/scoped_handle.h"
#include "common/text.h"

namespace zyr::update {

struct LauncherRun {
  Language language = Language::English;
  // A self-update helper start ("--apply-update" or "--recover-update").
  bool helper = false;
  bool recover = false;
  // As the command line gave them; argument 0 is the program path.
  std::vector<std::wstring> arguments;
  // The job replaces it when the player chooses a new folder; a retry works there.
  std::wstring installation_directory;
  std::wstring executable_path;
  // Set by the job once the player has chosen a new folder; kept across retries.
  bool fresh_install = false;
  // Emptied before every attempt; the job stores the started client's process here.
  ScopedKernelHandle client_process;
  // Emptied before every attempt; a client start failure that must not stop the update
  // check waits here.
  std::optional<Failure> pending_failure;
};

}  // namespace zyr::update
