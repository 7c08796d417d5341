/* d3d12.dll for tests: D3D12CreateDevice answers the support test for the fake adapters of
 * ZYR_FAKE_ADAPTERS by their highest feature level. It never creates a device. */
#define COBJMACROS
#include "fake_adapters.h"

#include <initguid.h>

#include <d3d12.h>
#include <dxgi1_6.h>

__declspec(dllexport) HRESULT WINAPI
    D3D12CreateDevice(IUnknown* adapter, D3D_FEATURE_LEVEL level, REFIID iid, void** device) {
  (void)iid;
  IDXGIAdapter1* dxgi_adapter = NULL;
  DXGI_ADAPTER_DESC1 desc;
  if (adapter == NULL ||
      FAILED(IUnknown_QueryInterface(adapter, &IID_IDXGIAdapter1, (void**)&dxgi_adapter))) {
    fake_graphics_log("device on an unknown adapter");
    return E_INVALIDARG;
  }
  IDXGIAdapter1_GetDesc1(dxgi_adapter, &desc);
  IDXGIAdapter1_Release(dxgi_adapter);

  const int passes = (unsigned)level <= desc.Revision;
  char line[96];
  snprintf(line, sizeof(line), "device %lu level %x %s%s", desc.AdapterLuid.LowPart,
           (unsigned)level, passes ? "pass" : "fail", device != NULL ? " (device requested)" : "");
  fake_graphics_log(line);
  if (device != NULL) {
    *device = NULL;
    return E_NOTIMPL;
  }
  return passes ? S_FALSE : E_FAIL;
}
