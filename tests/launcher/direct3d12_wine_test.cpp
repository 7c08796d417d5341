// The graphics check against Wine's own dxgi.dll and d3d12.dll. Under Xvfb with Mesa's
// Vulkan driver, Wine's Direct3D 12 creates a feature level 11_0 device.
#include "launcher/direct3d12_support.h"

#include <gtest/gtest.h>

namespace zyr::update {
namespace {

TEST(Direct3D12UnderWine, WinesOwnLibrariesSupportTheGame) { EXPECT_TRUE(supports_direct3d12()); }

}  // namespace
}  // namespace zyr::update
