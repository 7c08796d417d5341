#include "common/scoped_handle.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace zyr::update {
namespace {

bool is_open(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

TEST(ScopedHandle, ClosesOnScopeExitAndOnReset) {
  HANDLE raw = nullptr;
  {
    ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    raw = event.get();
    ASSERT_TRUE(is_open(raw));
  }
  EXPECT_FALSE(is_open(raw));

  ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  raw = event.get();
  event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_FALSE(is_open(raw));
  EXPECT_TRUE(is_open(event.get()));
}

TEST(ScopedHandle, ResetKeepsTheThreadsLastError) {
  ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  SetLastError(ERROR_SHARING_VIOLATION);
  event.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  // The same through a failing call: the handle closes between the failure and the read.
  ScopedFileHandle file(CreateFileW(L"C:\\no such folder\\file", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file);
  ScopedKernelHandle other(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  SetLastError(ERROR_PATH_NOT_FOUND);
  other.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(ScopedHandle, InvalidValueDependsOnTheKind) {
  EXPECT_FALSE(ScopedFileHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(ScopedKernelHandle(nullptr));
  EXPECT_FALSE(ScopedFindHandle(INVALID_HANDLE_VALUE));
  // A null file handle is not "nothing" for CreateFileW-style handles, and
  // INVALID_HANDLE_VALUE is the current-process pseudo handle for kernel handles: neither
  // wrapper may treat the other's sentinel as empty.
  ScopedFileHandle null_file(nullptr);
  EXPECT_TRUE(null_file);
  null_file.release();
}

TEST(ScopedHandle, MoveTransfersOwnershipAndReleaseGivesItUp) {
  ScopedKernelHandle first(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE raw = first.get();
  ScopedKernelHandle second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), raw);
  ScopedKernelHandle third;
  third = std::move(second);
  EXPECT_TRUE(is_open(raw));
  const HANDLE released = third.release();
  EXPECT_FALSE(third);
  EXPECT_TRUE(is_open(released));
  CloseHandle(released);
}

TEST(ScopedHandle, FindFileAndRegistryKinds) {
  WIN32_FIND_DATAW data{};
  wchar_t system_directory[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system_directory, MAX_PATH), 0u);
  ScopedFindHandle find(
      FindFirstFileW((std::wstring(system_directory) + L"\\*.dll").c_str(), &data));
  EXPECT_TRUE(find);

  ScopedRegistryKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
  EXPECT_TRUE(key);
  DWORD subkeys = 0;
  EXPECT_EQ(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

TEST(ScopedHandle, WinHttpSessionCloses) {
  ScopedWinHttpHandle session(WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  ASSERT_TRUE(session);
  SetLastError(ERROR_INVALID_DATA);
  session.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

TEST(ScopedMemory, LocalAndCoTaskMemory) {
  int count = 0;
  ScopedLocalMemory<LPWSTR> arguments(CommandLineToArgvW(L"program one \"two three\"", &count));
  ASSERT_TRUE(arguments);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(arguments.get()[2], L"two three");

  ScopedCoTaskMemory<wchar_t> text(static_cast<wchar_t*>(CoTaskMemAlloc(16)));
  ASSERT_TRUE(text);
  SetLastError(ERROR_NOT_FOUND);
  text.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));
}

// A COM object that counts its references, to watch ComPtr's AddRef and Release.
class CountedUnknown : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    SetLastError(ERROR_GEN_FAILURE);  // a Release that disturbs the last error
    return --references;
  }
  ULONG references = 1;
};

TEST(ComPtr, CountsReferencesAndKeepsLastError) {
  CountedUnknown object;
  {
    ComPtr<IUnknown> first(&object);  // adopts the initial reference
    EXPECT_EQ(object.references, 1u);
    ComPtr<IUnknown> copy = first;
    EXPECT_EQ(object.references, 2u);
    ComPtr<IUnknown> queried = first.query<IUnknown>();
    EXPECT_EQ(object.references, 3u);
    SetLastError(ERROR_FILE_EXISTS);
    queried.reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(object.references, 2u);
  }
  EXPECT_EQ(object.references, 0u);
}

TEST(ScopedComInitialization, InitialisesAndNestsOnOneThread) {
  ScopedComInitialization outer;
  EXPECT_EQ(outer.result(), S_OK);
  ScopedComInitialization inner;
  EXPECT_EQ(inner.result(), S_FALSE);  // already initialised: still needs its uninitialise
  EXPECT_TRUE(inner.succeeded());

  ComPtr<IUnknown> link;
  // A shell link object can be created only while COM is initialised on this thread.
  const CLSID shell_link = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_EQ(
      CoCreateInstance(shell_link, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, link.put_void()),
      S_OK);
  EXPECT_TRUE(link);
}

}  // namespace
}  // namespace zyr::update
