// The launcher's top level: decides the mode, language and installation directory of a
// start, runs the job and turns its outcome into the process exit code.
#pragma once

namespace zyr::update {

// `arguments` as CommandLineToArgvW returns them; argument 0 is the program path. May
// throw: the process entry shows anything that escapes as an internal error.
int launcher_main(int count, wchar_t** arguments);

}  // namespace zyr::update
