// Scoped handle types: each owns one kind of handle and releases it the one
// right way. Header-only, with no static or thread-local data, so the
// deliverables stay small. Where the order of release matters (a bitmap must
// leave its DC before it is deleted), declare members in the reverse order.
#pragma once

#include <windows.h>
#include <stdlib.h>

// Owns a handle H, released by `Release`. Null and INVALID_HANDLE_VALUE count as empty.
template <typename H, auto Release>
class ScopedHandle {
public:
  constexpr ScopedHandle() : handle_(nullptr) {}
  constexpr explicit ScopedHandle(H handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) : handle_(other.handle_) {  // for containers
    other.handle_ = nullptr;
  }

  H Get() const { return handle_; }
  operator H() const { return handle_; }
  H operator->() const { return handle_; }  // for an interface pointer
  bool IsValid() const { return handle_ && handle_ != (H)INVALID_HANDLE_VALUE; }
  // Releases what is held now and takes `handle` instead.
  void Reset(H handle) { *Out() = handle; }
  // For calls that return the handle through a pointer; releases what is held first.
  H* Out() {
    Close();
    return &handle_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }  // QueryInterface, CoCreateInstance

private:
  void Close() {
    if (IsValid())
      Release(handle_);
    handle_ = nullptr;
  }
  H handle_;
};

inline void FreeHeapBlock(void* block) {
  HeapFree(GetProcessHeap(), 0, block);
}

// A kernel handle (process, thread, event, mapping, file): CloseHandle.
typedef ScopedHandle<HANDLE, CloseHandle> AutoCloseHandle;
// A memory DC from CreateCompatibleDC / CreateDC: DeleteDC.
typedef ScopedHandle<HDC, DeleteDC> AutoDeleteDC;
// A pen, brush, bitmap, font or region: DeleteObject.
template <typename T>
using ScopedGdiObj = ScopedHandle<T, DeleteObject>;
// An open registry key: RegCloseKey.
typedef ScopedHandle<HKEY, RegCloseKey> ScopedRegKey;
// A block from the process heap (HeapFree), or from malloc (free).
template <typename T>
using AutoHeapFree = ScopedHandle<T*, FreeHeapBlock>;
template <typename T>
using AutoFree = ScopedHandle<T*, free>;

// A window's DC from GetDC: ReleaseDC.
class AutoReleaseDC {
public:
  explicit AutoReleaseDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~AutoReleaseDC() {
    if (dc_)
      ReleaseDC(window_, dc_);
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
    if (previous_ && previous_ != HGDI_ERROR)
      SelectObject(dc_, previous_);
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
void ReleaseInterface(T* object) {
  object->Release();
}
template <typename T>
using ScopedComPtr = ScopedHandle<T*, ReleaseInterface<T>>;

// Starts a program nobody waits for, both handles closed at once. Only where
// CeApi.h routes CreateProcessW to its CE meaning.
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
