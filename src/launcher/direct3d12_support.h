// Whether this machine can run the game's renderer.
#pragma once

namespace zyr::update {

// True when a hardware adapter supports Direct3D 12 at feature level 11_0. Adapters are
// tried in the system's high-performance order and the first that passes decides. The
// graphics libraries are loaded from the system directory for this check only. Never
// throws: anything that fails means false.
bool supports_direct3d12() noexcept;

}  // namespace zyr::update
