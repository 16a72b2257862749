#pragma once
// Small owners for Win32 handles, keys, DCs, GDI objects and COM pointers, so
// that no early return leaks one.
#include <windows.h>
#include <objbase.h>
#include <utility>

namespace base {

// Owner of a handle type with a chosen "empty" value and closer.
template <class T, class Traits>
class UniqueOwner {
 public:
  UniqueOwner() = default;
  explicit UniqueOwner(T value) : value_(value) {}
  ~UniqueOwner() { Reset(); }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& other) noexcept : value_(other.Take()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  T Get() const { return value_; }
  bool Valid() const { return Traits::Valid(value_); }
  explicit operator bool() const { return Valid(); }
  // The address of the slot, for APIs that return a handle through a pointer.
  T* Put() {
    Reset();
    return &value_;
  }
  [[nodiscard]] T Take() { return std::exchange(value_, Traits::Empty()); }
  // Closing keeps the caller's last error intact, so an error can be read after cleanup.
  void Reset(T value = Traits::Empty()) {
    if (Valid()) {
      DWORD saved = GetLastError();
      Traits::Close(value_);
      SetLastError(saved);
    }
    value_ = value;
  }

 private:
  T value_ = Traits::Empty();
};

// Owners whose only empty value is null.
template <class T>
struct NullIsEmpty {
  static T Empty() { return nullptr; }
  static bool Valid(T value) { return value != nullptr; }
};

// Kernel handles: some APIs fail with null, others (CreateFileW, snapshots,
// searches) with INVALID_HANDLE_VALUE, and neither is ever a handle to close
// (-1 is also the current process's pseudo handle). Owners refuse both, so a
// result checked against the wrong one is never closed.
inline bool IsKernelHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

struct NullHandleTraits {
  static HANDLE Empty() { return nullptr; }
  static bool Valid(HANDLE h) { return IsKernelHandle(h); }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return IsKernelHandle(h); }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct KeyTraits : NullIsEmpty<HKEY> {
  static void Close(HKEY k) { RegCloseKey(k); }
};
struct ModuleTraits : NullIsEmpty<HMODULE> {
  static void Close(HMODULE m) { FreeLibrary(m); }
};
struct GdiObjectTraits : NullIsEmpty<HGDIOBJ> {
  static void Close(HGDIOBJ o) { DeleteObject(o); }
};
struct MemoryDcTraits : NullIsEmpty<HDC> {
  static void Close(HDC dc) { DeleteDC(dc); }
};
struct SnapshotTraits : FileHandleTraits {};
struct FindTraits {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return IsKernelHandle(h); }
  static void Close(HANDLE h) { FindClose(h); }
};

// Handles that are null when empty (processes, threads, mutexes).
using UniqueHandle = UniqueOwner<HANDLE, NullHandleTraits>;
// Handles from CreateFileW and CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE when empty.
using UniqueFile = UniqueOwner<HANDLE, FileHandleTraits>;
// Searches from FindFirstFileW: INVALID_HANDLE_VALUE when empty, closed with FindClose.
using UniqueFind = UniqueOwner<HANDLE, FindTraits>;
using UniqueKey = UniqueOwner<HKEY, KeyTraits>;
using UniqueModule = UniqueOwner<HMODULE, ModuleTraits>;
using UniqueGdiObject = UniqueOwner<HGDIOBJ, GdiObjectTraits>;
using UniqueMemoryDc = UniqueOwner<HDC, MemoryDcTraits>;

// A window DC from GetDC, released with ReleaseDC.
class WindowDc {
 public:
  WindowDc() = default;
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() { Reset(); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  WindowDc(WindowDc&& o) noexcept
      : window_(std::exchange(o.window_, nullptr)), dc_(std::exchange(o.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&& o) noexcept {
    if (this != &o) {
      Reset();
      window_ = std::exchange(o.window_, nullptr);
      dc_ = std::exchange(o.dc_, nullptr);
    }
    return *this;
  }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  void Reset() {
    if (dc_) ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// Selects an object into a DC for the guard's lifetime.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() {
    if (dc_ && old_) SelectObject(dc_, old_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// COM initialisation that uninitialises only when it succeeded.
class ComScope {
 public:
  ComScope() : result_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Ok() const { return SUCCEEDED(result_); }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

// Owner of one COM interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// Runs a callable when the scope ends, for one-off cleanups. A guard that is
// not kept in a variable would run at once, hence [[nodiscard]].
template <class F>
class [[nodiscard]] ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() {
    if (armed_) f_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  void Dismiss() { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};

}  // namespace base
