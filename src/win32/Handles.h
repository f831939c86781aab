// Owners of Win32 handles, one line per kind of handle, and the scoped guards
// for what is given back with a second value (a window's device context) or
// undone rather than released (a selection into a device context). Nothing
// here knows the program: any Win32 code may use it, the shell's and the
// seam's alike.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <utility>

namespace horalog::win32 {

template <typename T, auto Close, T Null = T{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T value) : value_(value) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Null; }
  T release() { return std::exchange(value_, Null); }
  void reset(T value = Null) {
    T old = std::exchange(value_, value);
    if (old != Null) Close(old);
  }
  // For a function that hands its result back through a pointer: what was
  // held goes first.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Null;
};

namespace detail {
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void FreeLocalMemory(void* memory) { LocalFree(memory); }
}  // namespace detail

using UniqueIcon = UniqueHandle<HICON, &DestroyIcon>;
using UniqueMenu = UniqueHandle<HMENU, &DestroyMenu>;
using UniqueAccel = UniqueHandle<HACCEL, &DestroyAcceleratorTable>;
using UniqueImageList = UniqueHandle<HIMAGELIST, &ImageList_Destroy>;
using UniqueFont = UniqueHandle<HFONT, &detail::DeleteGdiObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &detail::DeleteGdiObject>;
using UniqueMemoryDC = UniqueHandle<HDC, &DeleteDC>;
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueKey = UniqueHandle<HKEY, &RegCloseKey>;
using UniqueModule = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueBstr = UniqueHandle<BSTR, &SysFreeString>;
using UniqueMappedView = UniqueHandle<void*, &UnmapViewOfFile>;
// A kernel object (mapping, mutex, file). A failed CreateFile gives
// INVALID_HANDLE_VALUE, not null: such a result is not to be owned.
using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;
// Memory the system allocated for the caller with LocalAlloc (FormatMessage's
// FORMAT_MESSAGE_ALLOCATE_BUFFER).
template <typename T>
using UniqueLocalMemory = UniqueHandle<T*, &detail::FreeLocalMemory>;

// A window's device context for one scope; with no window, the screen's.
class WindowDC {
 public:
  explicit WindowDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context for one scope.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() { SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace horalog::win32
