#include "E2eDriver.h"

#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace horalog::e2e {

std::string& ProgramPath() {
  static std::string path;
  return path;
}

std::string WindowsPathFromArgument(const std::string& argument) {
  if (argument.size() >= 2 && argument[1] == ':') return argument;
  std::string path = "Z:" + argument;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path << ": " << GetLastError();
  DWORD put = 0;
  EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
  CloseHandle(file);
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

std::string RecordBytes(int32_t status, uint8_t action, double time, unsigned seed) {
  std::string r(RecordSize, '\0');
  std::memcpy(&r[0], &status, 4);
  r[4] = static_cast<char>(action);
  std::memcpy(&r[5], &time, 8);
  for (size_t i = 13; i < RecordSize; ++i) r[i] = static_cast<char>(seed * 31 + i * 7);
  return r;
}

std::vector<std::string> RawRecords(const std::string& path) {
  const std::string bytes = ReadAll(path);
  std::vector<std::string> records;
  for (size_t at = 0; at + RecordSize <= bytes.size(); at += RecordSize)
    records.push_back(bytes.substr(at, RecordSize));
  return records;
}

Record ReadRecord(const std::string& raw) {
  Record r;
  std::memcpy(&r.status, &raw[0], 4);
  r.action = static_cast<uint8_t>(raw[4]);
  std::memcpy(&r.time, &raw[5], 8);
  return r;
}

std::vector<Record> ReadRecords(const std::string& path) {
  std::vector<Record> records;
  for (const std::string& raw : RawRecords(path)) records.push_back(ReadRecord(raw));
  return records;
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// Days from 1 January of year 0 in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe);
}

std::string ClassOf(HWND w) {
  char name[256] = {};
  GetClassNameA(w, name, sizeof name);
  return name;
}

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

struct WindowQuery {
  DWORD pid;
  const char* className;
  const char* caption;
  std::vector<HWND>* found;
};

bool Matches(HWND w, const WindowQuery& q) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != q.pid) return false;
  if (q.className != nullptr && !SameText(ClassOf(w), q.className)) return false;
  if (q.caption != nullptr) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    if (std::strcmp(text, q.caption) != 0) return false;
  }
  return true;
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM param) {
  auto* q = reinterpret_cast<WindowQuery*>(param);
  if (Matches(w, *q)) q->found->push_back(w);
  return TRUE;
}

}  // namespace

namespace {

// The texts of the tools of a tooltip window of another process, read with
// the messages' structures and buffers in that process's memory.
std::vector<std::string> ToolTexts(HWND tooltip) {
  std::vector<std::string> texts;
  DWORD pid = 0;
  GetWindowThreadProcessId(tooltip, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return texts;
  constexpr SIZE_T TextChars = 1024;
  char* remote = static_cast<char*>(VirtualAllocEx(
      process, nullptr, sizeof(TTTOOLINFOW) + TextChars * sizeof(wchar_t), MEM_COMMIT,
      PAGE_READWRITE));
  if (remote != nullptr) {
    auto* remoteText = reinterpret_cast<LPWSTR>(remote + sizeof(TTTOOLINFOW));
    const LRESULT count = SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      TTTOOLINFOW info{};
      info.cbSize = sizeof info;
      info.lpszText = remoteText;
      WriteProcessMemory(process, remote, &info, sizeof info, nullptr);
      if (!SendMessageW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote))) continue;
      ReadProcessMemory(process, remote, &info, sizeof info, nullptr);
      info.lpszText = remoteText;
      WriteProcessMemory(process, remote, &info, sizeof info, nullptr);
      SendMessageW(tooltip, TTM_GETTEXTW, TextChars, reinterpret_cast<LPARAM>(remote));
      wchar_t text[TextChars] = {};
      ReadProcessMemory(process, remoteText, text, (TextChars - 1) * sizeof(wchar_t), nullptr);
      texts.push_back(Utf8(text));
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return texts;
}

struct TipSearch {
  std::string beginning, found;
};

BOOL CALLBACK SearchTip(HWND window, LPARAM lParam) {
  auto& search = *reinterpret_cast<TipSearch*>(lParam);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (lstrcmpiA(className, TOOLTIPS_CLASSA) != 0 || pid == GetCurrentProcessId()) return TRUE;
  for (const std::string& text : ToolTexts(window))
    if (text.rfind(search.beginning, 0) == 0 && text.find('\n') != std::string::npos) {
      search.found = text;
      return FALSE;
    }
  return TRUE;
}

}  // namespace

std::string TrayTip(const std::string& beginning) {
  TipSearch search{beginning, {}};
  EnumWindows(SearchTip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unix = convert(Wide(windowsPath).c_str());
  if (unix == nullptr) return {};
  std::string path = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

double NowAsDateTime() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  const int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) - DaysFromCivil(1899, 12, 30);
  const double ms = ((t.wHour * 60.0 + t.wMinute) * 60.0 + t.wSecond) * 1000.0 + t.wMilliseconds;
  return static_cast<double>(days) + ms / 86400000.0;
}

HWND PublishedWindow() {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, InstanceBlockName);
  if (mapping == nullptr) return nullptr;
  uint32_t value = 0;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4)) {
    std::memcpy(&value, view, 4);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

std::vector<HWND> WindowsOf(DWORD pid, const char* className, const char* caption) {
  std::vector<HWND> found;
  WindowQuery q{pid, className, caption, &found};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&q));
  for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w != nullptr;
       w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
    if (Matches(w, q)) found.push_back(w);
  return found;
}

HWND FindVisible(DWORD pid, const char* className, const char* caption) {
  for (HWND w : WindowsOf(pid, className, caption))
    if (IsWindowVisible(w)) return w;
  return nullptr;
}

HWND FindAny(DWORD pid, const char* className, const char* caption) {
  auto found = WindowsOf(pid, className, caption);
  return found.empty() ? nullptr : found.front();
}

namespace {

struct ChildSearch {
  const char* className;
  HWND found;
};

BOOL CALLBACK FindChildOfClass(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<ChildSearch*>(p);
  if (!SameText(ClassOf(w), s->className)) return TRUE;
  s->found = w;
  return FALSE;
}

BOOL CALLBACK CollectStaticText(HWND w, LPARAM p) {
  if (SameText(ClassOf(w), "Static")) {
    std::string t = WindowText(w);
    if (!t.empty()) {
      auto* joined = reinterpret_cast<std::string*>(p);
      if (!joined->empty()) *joined += "\n";
      *joined += t;
    }
  }
  return TRUE;
}

}  // namespace

HWND FindChild(HWND parent, const char* className) {
  if (parent == nullptr) return nullptr;
  ChildSearch search{className, nullptr};
  EnumChildWindows(parent, FindChildOfClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND w) {
  if (w == nullptr) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return {};
  text.resize(copied);
  return text;
}

std::string WindowTextUtf8(HWND w) {
  if (w == nullptr) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return {};
  text.resize(copied);
  return Utf8(text);
}

std::string DialogText(HWND dialog) {
  std::string joined;
  EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&joined));
  return joined;
}

bool ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) return false;
  return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

void PressKeys(std::initializer_list<WORD> keys) {
  auto event = [](WORD key, DWORD up) {
    const DWORD extended = key == VK_INSERT || key == VK_DELETE ? KEYEVENTF_EXTENDEDKEY : 0;
    keybd_event(static_cast<BYTE>(key), static_cast<BYTE>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)),
                extended | up, 0);
  };
  for (WORD key : keys) event(key, 0);
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) event(*it, KEYEVENTF_KEYUP);
  Sleep(100);
  for (WORD key : keys) GetAsyncKeyState(key);
}

namespace {

// The temporary folder: where a copy starts, away from its own folder.
std::string TempPath() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return Utf8(temp);
}

}  // namespace

// ---- Process ---------------------------------------------------------------

Process::Process(const std::string& exe, const std::string& workDir) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  const std::wstring program = Wide(exe), directory = Wide(workDir);
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.c_str(), &startup, &info_)) {
    ADD_FAILURE() << "CreateProcessW(" << exe << ") failed: " << GetLastError();
    info_ = {};
  }
}

Process::~Process() {
  if (info_.hProcess == nullptr) return;
  Terminate();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Process::Running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs) {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (info_.hProcess != nullptr) GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Process::Terminate() {
  if (!Running()) return;
  TerminateProcess(info_.hProcess, 99);
  WaitForSingleObject(info_.hProcess, 5000);
}

// ---- ProgramTest ------------------------------------------------------------

PlantedConsentStore::PlantedConsentStore() {
  HKEY store = nullptr;
  wasThere_ = RegOpenKeyExW(HKEY_CURRENT_USER, ConsentStoreKey, 0, KEY_READ, &store) == ERROR_SUCCESS;
  if (wasThere_) RegCloseKey(store);
}

PlantedConsentStore::~PlantedConsentStore() {
  if (!wasThere_) RegDeleteTreeW(HKEY_CURRENT_USER, ConsentStoreKey);
}

void PlantedConsentStore::Plant(const std::wstring& path, ULONGLONG start, ULONGLONG stop) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(ConsentStoreKey) + L"\\" + path).c_str(),
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (start != 0) {
    RegSetValueExW(key, L"LastUsedTimeStart", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&start),
                   sizeof start);
    RegSetValueExW(key, L"LastUsedTimeStop", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&stop),
                   sizeof stop);
  }
  RegCloseKey(key);
}

void ProgramTest::SetUp() {
  ASSERT_FALSE(ProgramPath().empty()) << "no program given on the command line";
  // No instance may be left over from an earlier test.
  ASSERT_EQ(PublishedWindow(), nullptr) << "an instance of the program is still running";
  // The detector starts at (0, 0): a pointer anywhere else would count as
  // activity at the first tick.
  MoveCursor(0, 0);
  dir_ = std::make_unique<ScratchDir>(folderLeaf_);
  exe_ = dir_->Path("Horalog.exe");
  ASSERT_TRUE(CopyFileW(Wide(ProgramPath()).c_str(), Wide(exe_).c_str(), FALSE))
      << "copy of " << ProgramPath() << ": " << GetLastError();
}

void ProgramTest::TearDown() {
  for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) (*it)->Terminate();
  processes_.clear();
  first_ = nullptr;
  dir_.reset();
}

void ProgramTest::WriteIni(const std::string& content) {
  WriteAll(dir_->Path("Horalog.ini"), content);
}

Process& ProgramTest::Start() {
  // Started from another folder: the program finds its files from its own path.
  processes_.push_back(std::make_unique<Process>(exe_, TempPath()));
  Process& p = *processes_.back();
  if (first_ == nullptr) first_ = &p;
  return p;
}

Process& ProgramTest::StartReady() {
  Process& p = Start();
  // Input-idle: the program's message loop waits for input.
  WaitForInputIdle(p.Handle(), 15000);
  EXPECT_TRUE(WaitUntil([&] { return FindAny(p.Pid(), "TForm1", "Horalog") != nullptr; }, 15000))
      << "no main window";
  EXPECT_TRUE(WaitUntil([&] { return FindAny(p.Pid(), "TmsTrayIcon") != nullptr; }))
      << "no tray window";
  HWND main = FindAny(p.Pid(), "TForm1", "Horalog");
  EXPECT_TRUE(WaitUntil([&] { return main != nullptr && PublishedWindow() == main; }))
      << "the main window was not published in the instance block";
  return p;
}

void ProgramTest::ShowMain() {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(Main(), WmShowMain, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(Main()) != FALSE; }));
}

HWND ProgramTest::WaitDialog(const char* caption, DWORD timeoutMs) {
  HWND dialog = nullptr;
  WaitUntil([&] { return (dialog = FindVisible(first_->Pid(), "#32770", caption)) != nullptr; },
            timeoutMs);
  return dialog;
}

HWND ProgramTest::WaitPopupMenu(DWORD timeoutMs) {
  HWND menu = nullptr;
  WaitUntil([&] { return (menu = FindVisible(first_->Pid(), "#32768")) != nullptr; }, timeoutMs);
  return menu;
}

void ProgramTest::DismissPopupMenu(HWND menu) {
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }))
      << "the popup menu did not close on Esc";
}

namespace {

char Mnemonic(const char* caption) {
  const char* amp = std::strchr(caption, '&');
  return amp != nullptr && amp[1] != '\0'
             ? static_cast<char>(std::tolower(static_cast<unsigned char>(amp[1])))
             : '\0';
}

// The command id of an item of a menu, found by caption; -1 when the menu
// cannot be read from this process or has no such item.
int FindMenuCommand(HMENU bar, const char* menuCaption, const char* itemCaption) {
  const int count = GetMenuItemCount(bar);
  for (int i = 0; i < count; ++i) {
    char text[128] = {};
    GetMenuStringA(bar, i, text, sizeof text, MF_BYPOSITION);
    if (std::strcmp(text, menuCaption) != 0) continue;
    HMENU sub = GetSubMenu(bar, i);
    for (int j = 0; j < GetMenuItemCount(sub); ++j) {
      GetMenuStringA(sub, j, text, sizeof text, MF_BYPOSITION);
      if (std::strcmp(text, itemCaption) == 0) return static_cast<int>(GetMenuItemID(sub, j));
    }
  }
  return -1;
}

// Whether the thread is tracking a menu (of the bar, or a popup of its own).
bool InMenuMode(DWORD thread) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  return GetGUIThreadInfo(thread, &gui) && (gui.flags & GUI_INMENUMODE) != 0;
}

// The popup menus a process opens, as an event hook of this thread hears of
// them: a menu may open and close again between two looks for its window.
class MenuOpenings {
 public:
  explicit MenuOpenings(DWORD pid)
      : hook_(SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &Created, pid, 0,
                              WINEVENT_OUTOFCONTEXT)) {
    HandleMessages();  // events an earlier hook left waiting count for nothing
    current_ = this;
  }
  ~MenuOpenings() {
    current_ = nullptr;
    if (hook_ != nullptr) UnhookWinEvent(hook_);
    HandleMessages();
  }
  MenuOpenings(const MenuOpenings&) = delete;
  MenuOpenings& operator=(const MenuOpenings&) = delete;

  bool Hooked() const { return hook_ != nullptr; }
  // The events come as messages of this thread: they are handled first.
  int Count() {
    HandleMessages();
    return count_;
  }

 private:
  static void HandleMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  static void CALLBACK Created(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    // A window gone again before the event is handled was a menu cut short.
    if (current_ != nullptr && object == OBJID_WINDOW &&
        (!IsWindow(window) || SameText(ClassOf(window), "#32768")))
      ++current_->count_;
  }

  static inline MenuOpenings* current_ = nullptr;
  HWINEVENTHOOK hook_;
  int count_ = 0;
};

// Three round trips with the loop of an open menu, which waits between them
// and so reads whatever news of the X server was waiting for the program (see
// ChooseMenuItem): a menu still open after them has outlived that news, and an
// item key posted to it now is read before the loop waits again.
bool StaysOpen(HWND popup, DWORD thread) {
  for (int i = 0; i < 3; ++i) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(popup, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) return false;
  }
  return IsWindowVisible(popup) && InMenuMode(thread);
}

}  // namespace

bool ProgramTest::MenuClosed() const {
  return !InMenuMode(GetWindowThreadProcessId(Main(), nullptr)) &&
         FindVisible(first_->Pid(), "#32768") == nullptr;
}

void ProgramTest::LeaveMenu() {
  // Esc closes an open popup, the next leaves the menu bar; the menu's loop
  // takes keys posted to any window of its thread.
  for (int i = 0; i < 3 && !MenuClosed(); ++i) {
    const bool popupOpen = FindVisible(first_->Pid(), "#32768") != nullptr;
    PostMessageA(Main(), WM_KEYDOWN, VK_ESCAPE, 0);
    WaitUntil([&] {
      return MenuClosed() || (popupOpen && FindVisible(first_->Pid(), "#32768") == nullptr);
    });
  }
  EXPECT_TRUE(MenuClosed()) << "the menu did not close on Esc";
}

void ProgramTest::ChooseMenuItem(const char* menuCaption, const char* itemCaption) {
  HWND main = Main();
  ASSERT_NE(main, nullptr);
  HMENU bar = GetMenu(main);
  ASSERT_NE(bar, nullptr) << "the main window has no menu bar";
  if (GetMenuItemCount(bar) >= 0) {
    const int id = FindMenuCommand(bar, menuCaption, itemCaption);
    ASSERT_GE(id, 0) << "no item " << itemCaption << " in " << menuCaption;
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return;
  }
  // Wine keeps a menu private to its process: walk it with the keyboard
  // instead, by the mnemonics of the captions, as a user would.
  //
  // A walk may be cut short. The program reads the X server's events only when
  // it waits for messages; a box that opened and closed while it was busy
  // leaves the news of the focus it took and gave back waiting there. Read
  // once the main window is in the foreground again, that news ends any menu
  // open (Wine sends WM_CANCELMODE on a focus-out), and the first wait of the
  // menu's own loop, a few milliseconds after the menu appears, reads it. Such
  // a menu is seen to have opened, by the event hook, and is walked again.
  const char menuKey = Mnemonic(menuCaption), itemKey = Mnemonic(itemCaption);
  ASSERT_NE(menuKey, '\0');
  ASSERT_NE(itemKey, '\0');
  const DWORD pid = first_->Pid(), thread = GetWindowThreadProcessId(main, nullptr);
  constexpr int Walks = 3;
  for (int walk = 1; walk <= Walks; ++walk) {
    // To the window shown and enabled, with no menu open: a box that has just
    // closed may still be handing the window back.
    ASSERT_TRUE(WaitUntil(
        [&] { return IsWindowVisible(main) && IsWindowEnabled(main) && MenuClosed(); }, 10000))
        << "the main window was not shown, enabled and free of menus for " << menuCaption;
    MenuOpenings openings(pid);
    ASSERT_TRUE(openings.Hooked()) << "no event hook: " << GetLastError();
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, menuKey);
    // Open, or opened and closed again: either way the program took the key.
    HWND popup = nullptr;
    WaitUntil(
        [&] {
          return (popup = FindVisible(pid, "#32768")) != nullptr ||
                 (openings.Count() > 0 && !InMenuMode(thread));
        },
        10000);
    if (popup == nullptr && openings.Count() == 0 && !InMenuMode(thread)) {
      FAIL() << "the menu " << menuCaption << " did not open: the program did not take its key";
    }
    if (popup != nullptr && StaysOpen(popup, thread) &&
        PostMessageA(popup, WM_CHAR, static_cast<WPARAM>(itemKey), 0)) {
      EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(popup) && !InMenuMode(thread); }))
          << "the menu did not close after " << itemCaption;
      return;
    }
    // Cut short before its item: end what is left of it and walk again.
    LeaveMenu();
    if (!MenuClosed()) return;
    std::printf("[ walk     ] the menu %s closed before %s was chosen (walk %d of %d)\n",
                menuCaption, itemCaption, walk, Walks);
  }
  ADD_FAILURE() << "the menu " << menuCaption << " closed before " << itemCaption
                << " was chosen, " << Walks << " times";
}

void ProgramTest::MoveCursor(int x, int y) {
  // Wine takes a move to the place it believes the pointer is at already for
  // no move at all, though the X pointer may be elsewhere (at the screen's
  // centre on a new display): step away first so the pointer really lands.
  SetCursorPos(x + 1, y + 1);
  SetCursorPos(x, y);
  POINT at{};
  EXPECT_TRUE(WaitUntil([&] { return GetCursorPos(&at) && at.x == x && at.y == y; }, 2000))
      << "the pointer did not move to " << x << "," << y;
}

}  // namespace horalog::e2e
