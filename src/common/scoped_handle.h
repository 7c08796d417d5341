// Scope-bound ownership of Windows handles and memory. One template, one traits type per
// kind of handle; the aliases keep the Win32 names so that they stay searchable.
#pragma once

#include <utility>

#include "common/windows_api.h"

#include <objbase.h>
#include <winhttp.h>

namespace zyr::update {

// Traits: `Handle` type, the `invalid()` value the kind uses for "nothing", and `close`.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept = default;
  explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  bool is_valid() const noexcept { return handle_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return is_valid(); }

  // Gives up ownership without closing.
  Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }

  // Closes the owned handle, if any, and takes `handle`. The thread's last-error value is
  // kept, so a failing call can be cleaned up before GetLastError is read.
  void reset(Handle handle = Traits::invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) {
      const DWORD last_error = GetLastError();
      Traits::close(old);
      SetLastError(last_error);
    }
  }

  // For out-parameters: closes what is owned and returns the slot to be filled.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::invalid();
};

// CreateFileW and friends: INVALID_HANDLE_VALUE means nothing.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { CloseHandle(handle); }
};

// Processes, threads, events, pipes, tokens: null means nothing.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { CloseHandle(handle); }
};

// FindFirstFileW searches and toolhelp-style iterations closed with FindClose.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { FindClose(handle); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { RegCloseKey(handle); }
};

struct WinHttpHandleTraits {
  using Handle = HINTERNET;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { WinHttpCloseHandle(handle); }
};

template <typename T>
struct LocalMemoryTraits {
  using Handle = T*;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle memory) noexcept {
    LocalFree(const_cast<void*>(static_cast<const void*>(memory)));
  }
};

template <typename T>
struct CoTaskMemoryTraits {
  using Handle = T*;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle memory) noexcept {
    CoTaskMemFree(const_cast<void*>(static_cast<const void*>(memory)));
  }
};

using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedWinHttpHandle = ScopedHandle<WinHttpHandleTraits>;
template <typename T>
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits<T>>;
template <typename T>
using ScopedCoTaskMemory = ScopedHandle<CoTaskMemoryTraits<T>>;

// An owned reference to a COM interface. Copies AddRef; release on scope exit keeps the
// thread's last-error value like every other wrapper here.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds (what an out-parameter returns).
  explicit ComPtr(Interface* pointer) noexcept : pointer_(pointer) {}
  ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
    if (pointer_ != nullptr) {
      pointer_->AddRef();
    }
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  Interface* get() const noexcept { return pointer_; }
  Interface* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

  void reset() noexcept {
    if (Interface* old = std::exchange(pointer_, nullptr)) {
      const DWORD last_error = GetLastError();
      old->Release();
      SetLastError(last_error);
    }
  }

  // For out-parameters such as CoCreateInstance's.
  Interface** put() noexcept {
    reset();
    return &pointer_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  // QueryInterface into another interface type; empty when it is not supported.
  template <typename Other>
  ComPtr<Other> query() const noexcept {
    ComPtr<Other> result;
    if (pointer_ != nullptr) {
      pointer_->QueryInterface(__uuidof(Other), result.put_void());
    }
    return result;
  }

 private:
  Interface* pointer_ = nullptr;
};

// CoInitializeEx for the current thread, undone on scope exit when it succeeded (S_FALSE,
// "already initialised", also needs its CoUninitialize).
class ScopedComInitialization {
 public:
  explicit ScopedComInitialization(DWORD apartment = COINIT_APARTMENTTHREADED) noexcept
      : result_(CoInitializeEx(nullptr, apartment)) {}
  ScopedComInitialization(const ScopedComInitialization&) = delete;
  ScopedComInitialization& operator=(const ScopedComInitialization&) = delete;
  ~ScopedComInitialization() {
    if (SUCCEEDED(result_)) {
      const DWORD last_error = GetLastError();
      CoUninitialize();
      SetLastError(last_error);
    }
  }

  HRESULT result() const noexcept { return result_; }
  bool succeeded() const noexcept { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

}  // namespace zyr::update
