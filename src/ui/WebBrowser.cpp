#include "ui/WebBrowser.h"

#include <mshtml.h>
#include <shellapi.h>

#include <memory>
#include <stdexcept>

#include "platform/SystemError.h"
#include "platform/win32/WideText.h"
#include "ui/Dialog.h"

namespace horalog::ui {

namespace {

using Microsoft::WRL::ComPtr;

// The system's HTML document object, which draws the control's pages.
constexpr CLSID HtmlDocumentClass = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// The texts that cross here are paths and locations: UTF-8 on this side.
win32::UniqueBstr ToBstr(const std::string& text) {
  const std::wstring wide = platform::WidePath(text);
  BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!result) throw std::bad_alloc();
  return win32::UniqueBstr(result);
}

std::string FromBstr(BSTR text) {
  if (!text) return {};
  return platform::Utf8FromWide(text, SysStringLen(text));
}

std::string HresultText(const char* what, HRESULT result) {
  char text[64];
  wsprintfA(text, "%s: 0x%08lX", what, static_cast<unsigned long>(result));
  return text;
}

}  // namespace

// The container's side of the embedding. It lives inside its TWebBrowser,
// which releases the control before it goes, so its reference count is
// only for the control's bookkeeping.
class TWebBrowser::Site final : public IOleClientSite,
                                public IOleInPlaceSite,
                                public IOleInPlaceFrame {
 public:
  explicit Site(TWebBrowser& owner) : owner_(owner) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *object = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *object = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return references_ > 0 ? --references_ : 0; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = owner_.Handle();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = this;
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT client{};
    GetClientRect(owner_.Handle(), &client);
    if (position) *position = client;
    if (clip) *clip = client;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = GetAncestor(owner_.Handle(), GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override {
    if (owner_.inPlace_ && position) owner_.inPlace_->SetObjectRects(position, position);
    return S_OK;
  }

  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    owner_.active_ = object;
    return S_OK;
  }

  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  TWebBrowser& owner_;
  ULONG references_ = 0;
};

TWebBrowser::TWebBrowser() : site_(std::make_unique<Site>(*this)) {}

TWebBrowser::~TWebBrowser() {
  Unembed();
  DestroyHandle();
}

void TWebBrowser::Create(HWND parent) {
  TCreateParams params;
  params.className = ClassName;
  // One tab stop: the focus it gets goes on to the page or to the note's button.
  params.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;
  params.x = params.y = 0;
  params.width = params.height = 0;
  params.parent = parent;
  params.background = GetSysColorBrush(COLOR_WINDOW);
  CreateHandle(params);
  try {
    Embed();
  } catch (...) {
    Unembed();
    throw;
  }
}

void TWebBrowser::Embed() {
  HRESULT result =
      CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                       reinterpret_cast<void**>(object_.GetAddressOf()));
  if (FAILED(result)) {
    ShowNote(HresultText("the browser control cannot be created", result));
    return;
  }
  object_->SetClientSite(site_.get());
  OleSetContainedObject(object_.Get(), TRUE);
  RECT client{};
  GetClientRect(Handle(), &client);
  result = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, Handle(), &client);
  if (SUCCEEDED(result)) result = object_.As(&inPlace_);
  if (SUCCEEDED(result)) result = object_.As(&browser_);
  if (FAILED(result)) {
    std::string reason = HresultText("the browser control cannot be embedded", result);
    Unembed();
    ShowNote(reason);
    return;
  }
  if (!active_) object_.As(&active_);
  Application().AddMessageFilter(this);
}

void TWebBrowser::Unembed() {
  Application().RemoveMessageFilter(this);
  active_.Reset();
  browser_.Reset();
  if (inPlace_) inPlace_->InPlaceDeactivate();
  inPlace_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  object_.Reset();
}

HRESULT TWebBrowser::PageEngineState() {
  // The control draws its pages with the system's HTML document object. Where
  // that cannot be made (Wine without its HTML engine), the control still
  // navigates, but its document stays null, it stays "loading" and it never
  // draws anything.
  ComPtr<IUnknown> document;
  return CoCreateInstance(HtmlDocumentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void**>(document.GetAddressOf()));
}

void TWebBrowser::Navigate(const std::string& path) {
  path_ = path;
  if (note_) SetWindowTextA(note_, NoteLines().c_str());
  if (!browser_) return;
  win32::UniqueBstr url = ToBstr(path);
  VARIANT empty;
  VariantInit(&empty);
  HRESULT result = browser_->Navigate(url.get(), &empty, &empty, &empty, &empty);
  if (FAILED(result)) {
    ShowNote(HresultText("the browser control cannot navigate", result));
    return;
  }
  // Told where to go even so: it reports the location it was sent to.
  const HRESULT engine = PageEngineState();
  if (FAILED(engine)) ShowNote(HresultText("the browser control has no page engine", engine));
}

std::string TWebBrowser::LocationURL() const {
  if (!browser_) return {};
  win32::UniqueBstr location;
  if (FAILED(browser_->get_LocationURL(location.put()))) return {};
  return FromBstr(location.get());
}

std::string TWebBrowser::NoteLines() const {
  return NoteText + "\r\n\r\nThe file is:\r\n" + path_;
}

void TWebBrowser::ShowNote(const std::string& reason) {
  noteReason_ = reason;
  showsNote_ = true;
  if (inPlace_) {
    // The control stays (it may still report where it went) but out of sight.
    if (HWND control = GetWindow(Handle(), GW_CHILD)) ShowWindow(control, SW_HIDE);
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HFONT font = DialogFont();
  if (!note_) {
    note_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                            0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(NoteId)),
                            instance, nullptr);
    openButton_ = CreateWindowExA(
        0, "BUTTON", "Open in browser", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
        0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(OpenButtonId)), instance,
        nullptr);
    if (!note_ || !openButton_) RaiseLastOSError();
    SendMessageA(note_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(openButton_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  // The lines end with the file's path: wide, so that any folder name shows.
  SetWindowTextW(note_, platform::WidePath(NoteLines()).c_str());
  LayOut();
}

void TWebBrowser::OpenInBrowser() {
  const std::wstring file = platform::WidePath(path_);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = GetAncestor(Handle(), GA_ROOT);
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) RaiseLastOSError();
}

void TWebBrowser::SetBounds(int x, int y, int width, int height) {
  MoveWindow(Handle(), x, y, width, height, TRUE);
}

void TWebBrowser::LayOut() {
  RECT client{};
  GetClientRect(Handle(), &client);
  if (inPlace_) inPlace_->SetObjectRects(&client, &client);
  if (note_) {
    const int margin = Scale(12);
    const int buttonWidth = Scale(110), buttonHeight = Scale(25), textHeight = Scale(60);
    MoveWindow(note_, margin, margin, client.right - 2 * margin, textHeight, TRUE);
    MoveWindow(openButton_, margin, margin + textHeight + Scale(8), buttonWidth, buttonHeight,
               TRUE);
  }
}

bool TWebBrowser::FilterMessage(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (!Handle() || !IsChild(Handle(), msg.hwnd)) return false;
  if (showsNote_) {
    // Enter on the note's button clicks it, as in a dialog.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == openButton_) {
      SendMessageA(openButton_, BM_CLICK, 0, 0);
      return true;
    }
    return false;
  }
  if (!active_) return false;
  // The page's own keys (arrows, Page Up and Down, Ctrl+C, Tab among its
  // links) go to the page, not to the dialog around it.
  if (active_->TranslateAccelerator(&msg) == S_OK) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

LRESULT TWebBrowser::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_DESTROY:
      // The control lets go of its windows while they are still there.
      Unembed();
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == OpenButtonId && HIWORD(wParam) == BN_CLICKED) {
        OpenInBrowser();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (showsNote_) {
        if (openButton_) ::SetFocus(openButton_);
      } else if (object_) {
        RECT client{};
        GetClientRect(Handle(), &client);
        object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_.get(), 0, Handle(), &client);
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    default:
      break;
  }
  return TWindow::WndProc(message, wParam, lParam);
}

}  // namespace horalog::ui
