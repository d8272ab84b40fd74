// Scoped handle types: each owns one kind of handle and releases it the one
// right way when it goes out of scope. Header-only and inline, with no static
// or thread-local data, so the deliverables stay small.
//
// Members are released in the reverse order of their declaration. Where the
// order of release matters (a bitmap must leave its DC before it is deleted),
// declare the types in the order that gives it, and say so.
#pragma once

#include <windows.h>
#include <stdlib.h>

// Shared by the types below: owns a handle H, released by Traits::Close.
template <typename H, typename Traits>
class ScopedHandle {
public:
  constexpr ScopedHandle() : handle_(Traits::Empty()) {}
  constexpr explicit ScopedHandle(H handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) : handle_(other.Detach()) {}  // for containers

  H Get() const { return handle_; }
  operator H() const { return handle_; }
  bool IsValid() const { return Traits::IsValid(handle_); }
  // Releases what is held now and takes `handle` instead.
  void Reset(H handle) {
    Close();
    handle_ = handle;
  }
  // Gives the handle up without releasing it.
  H Detach() {
    H handle = handle_;
    handle_ = Traits::Empty();
    return handle;
  }
  // For calls that return the handle through a pointer; releases what is held first.
  H* Out() {
    Close();
    return &handle_;
  }

private:
  void Close() {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = Traits::Empty();
  }
  H handle_;
};

struct KernelHandleTraits {
  static constexpr HANDLE Empty() { return nullptr; }
  static bool IsValid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct DeleteDcTraits {
  static constexpr HDC Empty() { return nullptr; }
  static bool IsValid(HDC dc) { return dc != nullptr; }
  static void Close(HDC dc) { DeleteDC(dc); }
};
template <typename T>
struct GdiObjTraits {
  static constexpr T Empty() { return nullptr; }
  static bool IsValid(T obj) { return obj != nullptr; }
  static void Close(T obj) { DeleteObject(obj); }
};
struct RegKeyTraits {
  static constexpr HKEY Empty() { return nullptr; }
  static bool IsValid(HKEY key) { return key != nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};

// A kernel handle (process, thread, event, mapping, file): CloseHandle.
// Null and INVALID_HANDLE_VALUE both count as empty.
typedef ScopedHandle<HANDLE, KernelHandleTraits> AutoCloseHandle;
// A memory DC from CreateCompatibleDC / CreateDC: DeleteDC.
typedef ScopedHandle<HDC, DeleteDcTraits> AutoDeleteDC;
// A pen, brush, bitmap, font or region: DeleteObject.
template <typename T>
using ScopedGdiObj = ScopedHandle<T, GdiObjTraits<T>>;
// An open registry key: RegCloseKey.
typedef ScopedHandle<HKEY, RegKeyTraits> ScopedRegKey;

// A window's DC from GetDC: ReleaseDC.
class AutoReleaseDC {
public:
  explicit AutoReleaseDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~AutoReleaseDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  AutoReleaseDC(const AutoReleaseDC&) = delete;
  AutoReleaseDC& operator=(const AutoReleaseDC&) = delete;
  operator HDC() const { return dc_; }

private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a DC; the object it replaced goes back at the end.
class ScopedSelectObject {
public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  // False when the object could not be selected.
  bool Done() const { return previous_ && previous_ != HGDI_ERROR; }

private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A COM interface pointer: Release.
template <typename T>
class ScopedComPtr {
public:
  ScopedComPtr() : ptr_(nullptr) {}
  ~ScopedComPtr() {
    if (ptr_) ptr_->Release();
  }
  ScopedComPtr(const ScopedComPtr&) = delete;
  ScopedComPtr& operator=(const ScopedComPtr&) = delete;

  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For calls that return the pointer through a T**; releases what is held first.
  T** Out() {
    if (ptr_) ptr_->Release();
    ptr_ = nullptr;
    return &ptr_;
  }
  // The same for calls that take a void** (QueryInterface, CoCreateInstance).
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

private:
  T* ptr_;
};

// A block from the process heap: HeapFree.
template <typename T>
class AutoHeapFree {
public:
  explicit AutoHeapFree(T* block) : block_(block) {}
  ~AutoHeapFree() {
    if (block_) HeapFree(GetProcessHeap(), 0, block_);
  }
  AutoHeapFree(const AutoHeapFree&) = delete;
  AutoHeapFree& operator=(const AutoHeapFree&) = delete;
  T* Get() const { return block_; }
  operator T*() const { return block_; }

private:
  T* block_;
};

// A block from malloc: free.
template <typename T>
class AutoFree {
public:
  explicit AutoFree(T* block = nullptr) : block_(block) {}
  ~AutoFree() { free(block_); }
  AutoFree(const AutoFree&) = delete;
  AutoFree& operator=(const AutoFree&) = delete;
  T* Get() const { return block_; }
  operator T*() const { return block_; }
  // For calls that hand out a block through a T**; the pointer must be empty.
  T** Out() { return &block_; }

private:
  T* block_;
};

// The one way to start a program that nobody waits for: both of its handles
// are closed at once. CreateProcessW is taken with its CE meaning (the
// argument alone, no start-up information), so this exists only where
// CeApi.h routes that call.
#ifdef CE_ROUTED_CALLS
inline bool StartProgram(const wchar_t* program, wchar_t* argument) {
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program, argument, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                      &process)) {
    return false;
  }
  AutoCloseHandle thread(process.hThread), started(process.hProcess);
  return true;
}
#endif
