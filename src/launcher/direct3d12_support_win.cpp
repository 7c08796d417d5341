#include "launcher/direct3d12_support.h"

#include "common/scoped_handle.h"
#include "common/windows_api.h"

#include <d3d12.h>
#include <dxgi1_6.h>

namespace zyr::update {
namespace {

struct LibraryTraits {
  using Handle = HMODULE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle library) noexcept { FreeLibrary(library); }
};
using ScopedLibrary = ScopedHandle<LibraryTraits>;

ScopedLibrary load_system_library(const wchar_t* name) {
  return ScopedLibrary(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

template <typename Function>
Function entry_point(const ScopedLibrary& library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)));
}

using CreateFactoryFunction = HRESULT(WINAPI*)(REFIID, void**);
using CreateDeviceFunction = HRESULT(WINAPI*)(IUnknown*, D3D_FEATURE_LEVEL, REFIID, void**);

bool has_capable_adapter(IDXGIFactory6* factory, CreateDeviceFunction create_device) {
  for (UINT index = 0;; ++index) {
    ComPtr<IDXGIAdapter1> adapter;
    if (FAILED(factory->EnumAdapterByGpuPreference(index, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE,
                                                   __uuidof(IDXGIAdapter1), adapter.put_void()))) {
      return false;  // no more adapters
    }
    DXGI_ADAPTER_DESC1 description{};
    if (SUCCEEDED(adapter->GetDesc1(&description)) &&
        (description.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) == 0 &&
        // No output pointer: a support test that creates no device.
        SUCCEEDED(create_device(adapter.get(), D3D_FEATURE_LEVEL_11_0, __uuidof(ID3D12Device),
                                nullptr))) {
      return true;
    }
  }
}

}  // namespace

bool supports_direct3d12() noexcept {
  // Declared in this order so that the libraries are freed after every interface, in the
  // reverse order of loading.
  const ScopedLibrary dxgi = load_system_library(L"dxgi.dll");
  const ScopedLibrary d3d12 = load_system_library(L"d3d12.dll");
  if (!dxgi || !d3d12) {
    return false;
  }
  const auto create_factory = entry_point<CreateFactoryFunction>(dxgi, "CreateDXGIFactory1");
  const auto create_device = entry_point<CreateDeviceFunction>(d3d12, "D3D12CreateDevice");
  if (create_factory == nullptr || create_device == nullptr) {
    return false;
  }
  ComPtr<IDXGIFactory6> factory;
  if (FAILED(create_factory(__uuidof(IDXGIFactory6), factory.put_void()))) {
    return false;  // also a DXGI too old to know the interface
  }
  return has_capable_adapter(factory.get(), create_device);
}

}  // namespace zyr::update
