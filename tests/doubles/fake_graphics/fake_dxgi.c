/* dxgi.dll for tests: CreateDXGIFactory1 returns a factory whose adapters are those of
 * ZYR_FAKE_ADAPTERS. Only what the launcher's graphics check calls is implemented. */
#define COBJMACROS
#include "fake_adapters.h"

#include <initguid.h>

#include <dxgi1_6.h>

typedef struct FakeAdapter {
  IDXGIAdapter1 iface;
  LONG references;
  UINT index;
  FakeAdapterSpec spec;
} FakeAdapter;

typedef struct FakeFactory {
  IDXGIFactory6 iface;
  LONG references;
} FakeFactory;

static HRESULT STDMETHODCALLTYPE adapter_query(IDXGIAdapter1* self, REFIID iid, void** out) {
  if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDXGIObject) ||
      IsEqualIID(iid, &IID_IDXGIAdapter) || IsEqualIID(iid, &IID_IDXGIAdapter1)) {
    IDXGIAdapter1_AddRef(self);
    *out = self;
    return S_OK;
  }
  *out = NULL;
  return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE adapter_add_ref(IDXGIAdapter1* self) {
  return (ULONG)InterlockedIncrement(&((FakeAdapter*)self)->references);
}

static ULONG STDMETHODCALLTYPE adapter_release(IDXGIAdapter1* self) {
  FakeAdapter* adapter = (FakeAdapter*)self;
  LONG left = InterlockedDecrement(&adapter->references);
  if (left == 0) {
    char line[64];
    snprintf(line, sizeof(line), "release adapter %u", adapter->index);
    fake_graphics_log(line);
    free(adapter);
  }
  return (ULONG)left;
}

static HRESULT STDMETHODCALLTYPE adapter_get_desc1(IDXGIAdapter1* self, DXGI_ADAPTER_DESC1* desc) {
  FakeAdapter* adapter = (FakeAdapter*)self;
  memset(desc, 0, sizeof(*desc));
  swprintf(desc->Description, 128, L"Fake adapter %u", adapter->index);
  desc->Flags = adapter->spec.software ? DXGI_ADAPTER_FLAG_SOFTWARE : 0;
  /* The fake d3d12.dll finds the adapter's entry by this. */
  desc->AdapterLuid.LowPart = adapter->index;
  desc->Revision = adapter->spec.max_level;
  return S_OK;
}

static IDXGIAdapter1Vtbl adapter_vtable = {
    .QueryInterface = adapter_query,
    .AddRef = adapter_add_ref,
    .Release = adapter_release,
    .GetDesc1 = adapter_get_desc1,
};

static HRESULT STDMETHODCALLTYPE factory_query(IDXGIFactory6* self, REFIID iid, void** out) {
  if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDXGIFactory1) ||
      IsEqualIID(iid, &IID_IDXGIFactory6)) {
    IDXGIFactory6_AddRef(self);
    *out = self;
    return S_OK;
  }
  *out = NULL;
  return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE factory_add_ref(IDXGIFactory6* self) {
  return (ULONG)InterlockedIncrement(&((FakeFactory*)self)->references);
}

static ULONG STDMETHODCALLTYPE factory_release(IDXGIFactory6* self) {
  FakeFactory* factory = (FakeFactory*)self;
  LONG left = InterlockedDecrement(&factory->references);
  if (left == 0) {
    fake_graphics_log("release factory");
    free(factory);
  }
  return (ULONG)left;
}

static HRESULT STDMETHODCALLTYPE factory_enum_by_preference(IDXGIFactory6* self, UINT index,
                                                            DXGI_GPU_PREFERENCE preference,
                                                            REFIID iid, void** out) {
  (void)self;
  char line[64];
  snprintf(line, sizeof(line), "enum %u preference %d", index, (int)preference);
  fake_graphics_log(line);
  *out = NULL;
  FakeAdapterSpec specs[FAKE_MAX_ADAPTERS];
  if (index >= (UINT)fake_adapter_specs(specs)) {
    return DXGI_ERROR_NOT_FOUND;
  }
  FakeAdapter* adapter = calloc(1, sizeof(FakeAdapter));
  adapter->iface.lpVtbl = &adapter_vtable;
  adapter->references = 1;
  adapter->index = index;
  adapter->spec = specs[index];
  HRESULT result = adapter_query(&adapter->iface, iid, out);
  IDXGIAdapter1_Release(&adapter->iface);
  return result;
}

static IDXGIFactory6Vtbl factory_vtable = {
    .QueryInterface = factory_query,
    .AddRef = factory_add_ref,
    .Release = factory_release,
    .EnumAdapterByGpuPreference = factory_enum_by_preference,
};

__declspec(dllexport) HRESULT WINAPI CreateDXGIFactory1(REFIID iid, void** out) {
  fake_graphics_log("create factory");
  FakeFactory* factory = calloc(1, sizeof(FakeFactory));
  factory->iface.lpVtbl = &factory_vtable;
  factory->references = 1;
  HRESULT result = factory_query(&factory->iface, iid, out);
  IDXGIFactory6_Release(&factory->iface);
  return result;
}
