// Reports supports_direct3d12 as the exit code (10 true, 20 false), so that a test can run
// the check in a process whose graphics libraries it chose.
#include "launcher/direct3d12_support.h"

int main() { return zyr::update::supports_direct3d12() ? 10 : 20; }
