// Starting the client on two pipes and handing it its configuration: the launcher sends a
// random header, the client proves it holds the shared key by answering with the header
// encrypted under its own process id, and the configuration follows encrypted under the
// header. Each step writes a "[Launcher] " line; every failure is a std::runtime_error
// with a fixed text, and a child that fails the exchange is terminated with exit code 1.
#pragma once

#include <cstdint>

#include "common/scoped_handle.h"
#include "launch/launcher_config.h"
#include "serialization/ref.h"

namespace zyr::update {

struct ClientProcess {
  ScopedKernelHandle process;
  ScopedKernelHandle thread;
  std::uint32_t process_id = 0;
  std::uint32_t thread_id = 0;
};

// Reads clientExePath, zyrExeWorkDir, handshakeTimeoutMs and terminateExisting, sends the
// whole record, and releases `config` before returning or throwing. One call at a time per
// process: a call while another runs throws "Launcher can only be launched once".
ClientProcess run_launch_sequence(eb::v3::ref<launcher::LauncherConfig> config);

}  // namespace zyr::update
