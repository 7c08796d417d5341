// A process that only waits, for tests that look processes up by name or end them. It
// ends by itself after a minute so that a failed test leaves nothing behind for long.
#include "common/windows_api.h"

int wmain() {
  Sleep(60000);
  return 3;
}
