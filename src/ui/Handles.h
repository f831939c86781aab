// Owners of Win32 handles: one line per kind of handle.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace horalog::ui {

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

 private:
  T value_ = Null;
};

inline void CloseGdiObject(HGDIOBJ object) { DeleteObject(object); }

using UniqueIcon = UniqueHandle<HICON, &DestroyIcon>;
using UniqueMenu = UniqueHandle<HMENU, &DestroyMenu>;
using UniqueAccel = UniqueHandle<HACCEL, &DestroyAcceleratorTable>;
using UniqueImageList = UniqueHandle<HIMAGELIST, &ImageList_Destroy>;
using UniqueFont = UniqueHandle<HFONT, &CloseGdiObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &CloseGdiObject>;
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueKey = UniqueHandle<HKEY, &RegCloseKey>;

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

// A screen device context for one scope.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ~ScreenDC() { ReleaseDC(nullptr, dc_); }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace horalog::ui
