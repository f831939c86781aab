// The window framework against real windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <vector>

#include "UiTestSupport.h"
#include "dialogs/ActionEditDlg.h"
#include "dialogs/DBViewDialog.h"
#include "dialogs/OptionsDialog.h"
#include "ms/msabout.h"
#include "dialogs/ReportDialog.h"
#include "dialogs/StartEndDatesDialog.h"
#include "ui/Action.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/MessageBoxes.h"
#include "ui/Window.h"
#include "win32/Handles.h"

namespace horalog {
namespace {

using test::After;
using test::CaptureErrors;
using test::FindDialog;

constexpr UINT WM_THROW = WM_USER + 1;

class TestForm : public ui::TWindow {
 public:
  explicit TestForm(bool failInCreate = false) : failInCreate_(failInCreate) {
    TCreateParams params;
    params.className = "HoralogTestForm";
    params.caption = "Test form";
    params.width = 300;
    params.height = 200;
    CreateHandle(params);
  }
  int ticks = 0;
  int closeQueries = 0;
  bool keepOpen = false;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE && failInCreate_) throw std::runtime_error("creation failed");
    if (message == WM_THROW) throw std::runtime_error("Handler failed");
    if (message == WM_TIMER && wParam == 7) {
      ++ticks;
      return 0;
    }
    return TWindow::WndProc(message, wParam, lParam);
  }
  void FormClose(bool& allow) override {
    ++closeQueries;
    allow = !keepOpen;
  }
  void CloseAllowed() override { DestroyHandle(); }

 private:
  bool failInCreate_;
};

TEST(UiHint, SplitsAtTheFirstBar) {
  EXPECT_EQ(ui::ShortHint("Exit|Close the program"), "Exit");
  EXPECT_EQ(ui::LongHint("Exit|Close the program"), "Close the program");
  // Without a bar both parts are the whole hint.
  EXPECT_EQ(ui::ShortHint("Plain"), "Plain");
  EXPECT_EQ(ui::LongHint("Plain"), "Plain");
  EXPECT_EQ(ui::ShortHint("a|b|c"), "a");
  EXPECT_EQ(ui::LongHint("a|b|c"), "b|c");
  EXPECT_EQ(ui::ShortHint("|long"), "");
  EXPECT_EQ(ui::LongHint("short|"), "");
  EXPECT_EQ(ui::LongHint(""), "");
}

TEST(UiHandleException, AddsAFullStopOnlyAfterCharactersSortingAfterIt) {
  EXPECT_EQ(ui::TApplication::ErrorBoxText("File not found"), "File not found.");
  EXPECT_EQ(ui::TApplication::ErrorBoxText("Done."), "Done.");
  EXPECT_EQ(ui::TApplication::ErrorBoxText("Code 5"), "Code 5.");  // '5' sorts after '.'
  EXPECT_EQ(ui::TApplication::ErrorBoxText("Really!"), "Really!");  // '!' sorts before
  EXPECT_EQ(ui::TApplication::ErrorBoxText("text\r\n"), "text\r\n");
  EXPECT_EQ(ui::TApplication::ErrorBoxText(""), "");
  EXPECT_EQ(ui::TApplication::ErrorBoxText("caf\xE9"), "caf\xE9.");  // beyond ASCII
}

TEST(UiHandleException, ShowsTheErrorBoxTitledWithTheApplicationTitle) {
  ui::Application().Title = "Horalog Test";
  std::string title, text;
  LONG style = 0;
  bool hadOk = false;
  After(200, [&] {
    HWND box = FindDialog("Horalog Test");
    ASSERT_NE(box, nullptr);
    title = test::WindowText(box);
    // The stock message box keeps its text in a static control of id 0xFFFF.
    text = test::WindowText(GetDlgItem(box, 0xFFFF));
    style = GetWindowLongA(GetDlgItem(box, 0x14), GWL_STYLE);  // the icon
    hadOk = GetDlgItem(box, IDOK) != nullptr;
    SendMessageA(box, WM_COMMAND, IDOK, 0);
  });
  try {
    throw std::runtime_error("Disk full");
  } catch (...) {
    ui::Application().HandleException();
  }
  EXPECT_EQ(title, "Horalog Test");
  EXPECT_EQ(text, "Disk full.");
  EXPECT_TRUE(hadOk);
  (void)style;
}

// A box raised while the program's windows are hidden has no owner (a tick's
// error box). Showing the disabled main window then, as a second start does,
// keeps the box above it and in the foreground.
TEST(UiModalScope, ShowingAWindowKeepsTheOpenBoxInFront) {
  TestForm form;
  ui::Application().Title = "Horalog Test";
  After(200, [&form] {
    HWND box = FindDialog("Horalog Test");
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(GetWindow(box, GW_OWNER), nullptr);
    form.Show();
    EXPECT_EQ(GetForegroundWindow(), box);
    HWND below = box;
    while (below && below != form.Handle()) below = GetWindow(below, GW_HWNDNEXT);
    EXPECT_EQ(below, form.Handle()) << "the window covers the box";
    SendMessageA(box, WM_COMMAND, IDOK, 0);
  });
  ui::Application().ShowException("Disk full");
  form.DestroyHandle();
  test::DrainQuit();
}

TEST(UiWindow, KeepsItsThisPointerFromCreationToDestruction) {
  auto form = std::make_unique<TestForm>();
  HWND window = form->Handle();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(test::ClassOf(window), "HoralogTestForm");
  EXPECT_EQ(reinterpret_cast<TestForm*>(GetWindowLongPtrA(window, GWLP_USERDATA)), form.get());

  // Destroyed from outside: the object lets go of the window and its pointer is cleared.
  DestroyWindow(window);
  EXPECT_EQ(form->Handle(), nullptr);
  EXPECT_FALSE(IsWindow(window));

  // Destroyed with the object.
  form = std::make_unique<TestForm>();
  window = form->Handle();
  form.reset();
  EXPECT_FALSE(IsWindow(window));
  test::DrainQuit();
}

// A child that tells its parent of its end with the first action's command,
// as a control that ends with its window may notify it.
LRESULT CALLBACK CommandAtEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY)
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(ui::TActionList::FirstId, 0), 0);
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(UiWindow, AWindowLeftToTheBaseDestructorEndsWithoutItsActions) {
  ui::RegisterWindowClass("HoralogCommandAtEnd", &CommandAtEnd);
  auto makeChild = [](HWND parent) {
    return CreateWindowExA(0, "HoralogCommandAtEnd", "", WS_CHILD, 0, 0, 1, 1, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  };
  ui::TActionList actions;
  int ran = 0;
  actions.Add("&Exit", "Exit|", -1, [&] { ++ran; });
  // TestForm's destructor leaves its window to the base's.
  auto form = std::make_unique<TestForm>();
  form->Actions = &actions;
  DestroyWindow(makeChild(form->Handle()));
  ASSERT_EQ(ran, 1);  // the child's command reaches the actions while the form lives

  const HWND window = form->Handle();
  ASSERT_NE(makeChild(window), nullptr);
  form.reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(ran, 1);
  test::DrainQuit();
}

// The type of the object whose window is `watched`, when that window is destroyed.
HWND watched = nullptr;
std::string endedAs;

LRESULT CALLBACK WatchEnd(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND && reinterpret_cast<HWND>(wParam) == watched) {
    auto* object = reinterpret_cast<ui::TWindow*>(GetWindowLongPtrA(watched, GWLP_USERDATA));
    // While a base's destructor runs, the object is of that base's type.
    endedAs = object ? typeid(*object).name() : "no object";
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The type the window's object had when the window was destroyed with it.
template <typename TWindowKind>
std::string TypeAtWindowEnd() {
  auto object = std::make_unique<TWindowKind>(nullptr);
  watched = object->Handle();
  endedAs.clear();
  HHOOK hook = SetWindowsHookExA(WH_CBT, &WatchEnd, nullptr, GetCurrentThreadId());
  object.reset();
  UnhookWindowsHookEx(hook);
  watched = nullptr;
  return endedAs;
}

TEST(UiWindow, EveryWindowOfTheProgramEndsBeforeItsMembers) {
  ui::Application().Initialize();
  EXPECT_EQ(TypeAtWindowEnd<TAboutDlg>(), typeid(TAboutDlg).name());
  EXPECT_EQ(TypeAtWindowEnd<TActionEditDialog>(), typeid(TActionEditDialog).name());
  EXPECT_EQ(TypeAtWindowEnd<TDBViewDlg>(), typeid(TDBViewDlg).name());
  EXPECT_EQ(TypeAtWindowEnd<TOptionsDlg>(), typeid(TOptionsDlg).name());
  EXPECT_EQ(TypeAtWindowEnd<TReportDlg>(), typeid(TReportDlg).name());
  EXPECT_EQ(TypeAtWindowEnd<TStartEndDatesDlg>(), typeid(TStartEndDatesDlg).name());
}

TEST(UiWindow, AnErrorInAHandlerStopsAtTheWindowProcedure) {
  CaptureErrors errors;
  TestForm form;
  EXPECT_EQ(SendMessageA(form.Handle(), WM_THROW, 0, 0), 0);
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0], "Handler failed.");
  // The window goes on working.
  EXPECT_TRUE(IsWindow(form.Handle()));
  SetTimer(form.Handle(), 7, 10, nullptr);
  test::Pump(100);
  EXPECT_GT(form.ticks, 0);
  KillTimer(form.Handle(), 7);
}

TEST(UiWindow, AnErrorWhileCreatingGoesToTheCreator) {
  CaptureErrors errors;
  HWND before = FindWindowA("HoralogTestForm", "Test form");
  EXPECT_THROW(TestForm(true), std::runtime_error);
  EXPECT_TRUE(errors.texts.empty());
  EXPECT_EQ(FindWindowA("HoralogTestForm", "Test form"), before);
}

// A button whose wrapper counts what reaches it and takes only clicks.
class ProbeControl : public ui::TControl {
 public:
  void Create(HWND parent, int id) {
    Attach(CreateWindowExA(0, "Button", "Probe", WS_CHILD | BS_PUSHBUTTON, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr));
  }
  bool Command(WORD id, WORD code) override {
    lastId = id;
    ++commands;
    return code == BN_CLICKED;
  }
  bool Notify(const NMHDR& header, LRESULT& result) override {
    ++notifications;
    result = static_cast<LRESULT>(header.code == NM_CLICK ? 42 : 0);
    return header.code == NM_CLICK;
  }
  int commands = 0, notifications = 0;
  WORD lastId = 0;
};

TEST(UiWindow, AChildsCommandsAndNotificationsGoToItsOwnWrapper) {
  ui::TActionList actions;
  int ran = 0;
  const UINT id = actions.Add("&Exit", "Exit|", -1, [&] { ++ran; }).Id;
  TestForm form;
  form.Actions = &actions;
  auto probe = std::make_unique<ProbeControl>();
  probe->Create(form.Handle(), static_cast<int>(id));
  const HWND child = probe->Handle();
  EXPECT_EQ(ui::TControl::FromHandle(child), probe.get());

  SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(child));
  // A code the wrapper does not take is not run as the action of the same id.
  SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_SETFOCUS),
               reinterpret_cast<LPARAM>(child));
  EXPECT_EQ(probe->commands, 2);
  EXPECT_EQ(probe->lastId, id);
  EXPECT_EQ(ran, 0);
  // The same id from the menu is the action's.
  SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
  EXPECT_EQ(ran, 1);

  NMHDR header{child, static_cast<UINT_PTR>(id), static_cast<UINT>(NM_CLICK)};
  EXPECT_EQ(SendMessageA(form.Handle(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header)), 42);
  EXPECT_EQ(probe->notifications, 1);

  // A window of another thread carrying the same property leads to no wrapper.
  std::atomic<HWND> foreign = nullptr;
  win32::UniqueKernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread other([&] {
    foreign = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetPropA(foreign, "ui.TControl", probe.get());
    WaitForSingleObject(done.get(), INFINITE);
  });
  while (!GetPropA(foreign, "ui.TControl")) Sleep(1);
  EXPECT_EQ(ui::TControl::FromHandle(foreign), nullptr);
  SetEvent(done.get());
  other.join();

  // A wrapper gone before its window leaves nothing behind that leads to it.
  probe.reset();
  ASSERT_TRUE(IsWindow(child));
  EXPECT_EQ(ui::TControl::FromHandle(child), nullptr);
  SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(child));
  EXPECT_EQ(SendMessageA(form.Handle(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header)), 0);
  EXPECT_EQ(ran, 1);
  form.DestroyHandle();
  test::DrainQuit();
}

TEST(UiWindow, BarsTakeTheirHeightAndTheRestFillsTheWindowBetween) {
  TestForm form;
  ui::TToolBar toolBar;
  toolBar.Create(form.Handle(), nullptr);
  ui::TStatusBar statusBar;
  statusBar.Create(form.Handle());
  RECT client{};
  GetClientRect(form.Handle(), &client);

  RECT area = ui::AreaBetweenBars(form.Handle(), toolBar, &statusBar);
  EXPECT_GT(toolBar.Height(), 0);
  EXPECT_GT(statusBar.Height(), 0);
  EXPECT_EQ(area.left, 0);
  EXPECT_EQ(area.right, client.right);
  EXPECT_EQ(area.top, toolBar.Height());
  EXPECT_EQ(area.bottom, client.bottom - statusBar.Height());
  area = ui::AreaBetweenBars(form.Handle(), toolBar);
  EXPECT_EQ(area.bottom, client.bottom);

  // A window too low for both bars leaves an empty area, not a negative one.
  SetWindowPos(form.Handle(), nullptr, 0, 0, 200, GetSystemMetrics(SM_CYCAPTION) + 8,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  area = ui::AreaBetweenBars(form.Handle(), toolBar, &statusBar);
  EXPECT_EQ(area.bottom, area.top);
  form.DestroyHandle();
  test::DrainQuit();
}

TEST(UiSteps, EveryStepRunsAndTheErrorsShowAfterInTheirOrder) {
  CaptureErrors errors;
  std::vector<int> ran;
  ui::TSteps steps;
  steps.Run([&] {
    ran.push_back(1);
    throw std::runtime_error("First");
  });
  steps.Run([&] { ran.push_back(2); });
  steps.Run([&] {
    ran.push_back(3);
    throw std::runtime_error("Third");
  });
  EXPECT_TRUE(errors.texts.empty());  // nothing shows before the steps are done
  steps.ShowErrors();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(errors.texts, (std::vector<std::string>{"First.", "Third."}));
  // Shown once only.
  steps.ShowErrors();
  EXPECT_EQ(errors.texts.size(), 2u);
}

TEST(UiWindow, CloseRunsTheCloseHandlerWhichMayKeepTheWindow) {
  TestForm form;
  form.keepOpen = true;
  form.Close();
  EXPECT_EQ(form.closeQueries, 1);
  EXPECT_TRUE(IsWindow(form.Handle()));
  form.keepOpen = false;
  form.Close();
  EXPECT_EQ(form.Handle(), nullptr);
  test::DrainQuit();
}

TEST(UiWindow, ModalShowReturnsItsResultWhileTimersGoOn) {
  TestForm form;
  SetTimer(form.Handle(), 7, 20, nullptr);
  After(300, [&] {
    EXPECT_TRUE(form.InModal());
    form.SetModalResult(IDOK);
  });
  EXPECT_EQ(form.ShowModal(), IDOK);
  EXPECT_GE(form.ticks, 3);
  EXPECT_FALSE(form.Visible());
  KillTimer(form.Handle(), 7);

  // Closing a modal window gives Cancel and keeps the window.
  After(100, [&] { PostMessageA(form.Handle(), WM_CLOSE, 0, 0); });
  EXPECT_EQ(form.ShowModal(), IDCANCEL);
  EXPECT_TRUE(IsWindow(form.Handle()));
  EXPECT_EQ(form.closeQueries, 0);
}

TEST(UiApplication, InitializesOleForTheBrowsersClipboardAndDragging) {
  ui::Application().Initialize();
  IDataObject* data = nullptr;
  ASSERT_EQ(OleGetClipboard(&data), S_OK);  // refused where only COM runs
  data->Release();
  // OLE runs on this thread already: a further start only counts.
  const HRESULT again = OleInitialize(nullptr);
  if (SUCCEEDED(again)) OleUninitialize();
  EXPECT_EQ(again, S_FALSE);
}

TEST(UiWindow, ScalesPixelSizesToTheScreen) {
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(ui::TWindow::Scale(696), MulDiv(696, dpi, 96));
}

class ActionWiring : public ::testing::Test {
 protected:
  void SetUp() override {
    ran = 0;
    exit = &actions.Add("&Exit", "Exit|Close the program", 0, [this] { ++ran; });
    exit->ShortCut = {FCONTROL, 'E'};
    view = &actions.Add("&View", "View|View report", 1, nullptr);
    form = std::make_unique<TestForm>();
    form->Actions = &actions;
    menu = CreatePopupMenu();
    ui::AppendActionItem(menu, *exit, nullptr);
    ui::AppendActionItem(menu, *view, nullptr);
    toolbar.Create(form->Handle(), nullptr);
    toolbar.AddButton(*exit);
    toolbar.AddButton(*view);
  }
  void TearDown() override {
    DestroyMenu(menu);
    form.reset();
    test::DrainQuit();
    ui::Application().SetHint("");
  }

  ui::TActionList actions;
  ui::TAction* exit = nullptr;
  ui::TAction* view = nullptr;
  std::unique_ptr<TestForm> form;
  HMENU menu = nullptr;
  ui::TToolBar toolbar;
  int ran = 0;
};

TEST_F(ActionWiring, OneActionFeedsMenuToolbarAndAccelerators) {
  char text[64] = {};
  GetMenuStringA(menu, 0, text, sizeof(text), MF_BYPOSITION);
  EXPECT_STREQ(text, "&Exit\tCtrl+E");
  EXPECT_EQ(GetMenuItemID(menu, 0), exit->Id);
  EXPECT_EQ(SendMessageA(toolbar.Handle(), TB_COMMANDTOINDEX, exit->Id, 0), 0);

  win32::UniqueAccel table = actions.BuildAccelerators();
  ASSERT_TRUE(table);
  ACCEL entries[4] = {};
  ASSERT_EQ(CopyAcceleratorTableA(table.get(), entries, 4), 1);
  EXPECT_EQ(entries[0].key, 'E');
  EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FCONTROL);
  EXPECT_EQ(entries[0].cmd, exit->Id);

  // A command from the menu, the accelerator or the toolbar runs the action.
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(exit->Id, 0), 0);
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(exit->Id, 1), 0);
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(exit->Id, BN_CLICKED),
               reinterpret_cast<LPARAM>(toolbar.Handle()));
  EXPECT_EQ(ran, 3);
}

TEST_F(ActionWiring, DisablingGraysEveryItemAndStopsTheCommand) {
  exit->SetEnabled(false);
  EXPECT_TRUE(GetMenuState(menu, exit->Id, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(SendMessageA(toolbar.Handle(), TB_ISBUTTONENABLED, exit->Id, 0));
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(exit->Id, 0), 0);
  EXPECT_EQ(ran, 0);
  exit->SetEnabled(true);
  EXPECT_FALSE(GetMenuState(menu, exit->Id, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(SendMessageA(toolbar.Handle(), TB_ISBUTTONENABLED, exit->Id, 0));
}

TEST_F(ActionWiring, MenuItemsAndToolbarButtonsSetTheApplicationHint) {
  int changes = 0;
  ui::Application().OnHint = [&] { ++changes; };
  SendMessageA(form->Handle(), WM_MENUSELECT, MAKEWPARAM(view->Id, MF_HILITE),
               reinterpret_cast<LPARAM>(menu));
  EXPECT_EQ(ui::Application().Hint(), "View|View report");
  // The menu closes.
  SendMessageA(form->Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(ui::Application().Hint(), "");

  NMTBHOTITEM hot{};
  hot.hdr.hwndFrom = toolbar.Handle();
  hot.hdr.code = TBN_HOTITEMCHANGE;
  hot.idNew = static_cast<int>(exit->Id);
  SendMessageA(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
  EXPECT_EQ(ui::Application().Hint(), "Exit|Close the program");
  hot.dwFlags = HICF_LEAVING;
  SendMessageA(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
  EXPECT_EQ(ui::Application().Hint(), "");
  EXPECT_EQ(changes, 4);

  // The tooltip is the short part.
  char tip[64] = {};
  NMTBGETINFOTIPA info{};
  info.hdr.hwndFrom = toolbar.Handle();
  info.hdr.code = TBN_GETINFOTIPA;
  info.pszText = tip;
  info.cchTextMax = sizeof(tip);
  info.iItem = static_cast<int>(view->Id);
  SendMessageA(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(tip, "View");
  // The toolbar's own tooltip asks in its own name.
  NMTTDISPINFOA display{};
  display.hdr.hwndFrom =
      reinterpret_cast<HWND>(SendMessageA(toolbar.Handle(), TB_GETTOOLTIPS, 0, 0));
  display.hdr.idFrom = exit->Id;
  display.hdr.code = TTN_GETDISPINFOA;
  ASSERT_NE(display.hdr.hwndFrom, nullptr);
  SendMessageA(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&display));
  ASSERT_NE(display.lpszText, nullptr);
  EXPECT_STREQ(display.lpszText, "Exit");
  ui::Application().OnHint = nullptr;
}

TEST(UiPopupMenu, ShowsTheDefaultItemAndRunsAClickedItem) {
  ui::TActionList actions;
  int shown = 0;
  ui::TAction& show = actions.Add("&Show", "Show|Show main window", 3,
                                  [&] { ++shown; });
  ui::TPopupMenu popup(nullptr);
  popup.AddItem(show, true);
  popup.AddSeparator();
  EXPECT_EQ(GetMenuDefaultItem(popup.Handle(), FALSE, 0), show.Id);
  ASSERT_EQ(popup.Items().size(), 2u);
  EXPECT_TRUE(popup.Items()[0].Default);
  EXPECT_EQ(popup.Items()[1].action, nullptr);
  popup.Click(1);  // a separator does nothing
  popup.Click(0);
  EXPECT_EQ(shown, 1);
}

class UiMessageBox : public ::testing::Test {
 protected:
  // Answers the next box titled `title` with `key` and records what it showed.
  void AnswerWith(const char* title, WPARAM key) {
    After(250, [=, this] {
      HWND box = FindDialog(title);
      ASSERT_NE(box, nullptr) << title;
      found = true;
      yes = test::WindowText(GetDlgItem(box, IDYES));
      no = test::WindowText(GetDlgItem(box, IDNO));
      ok = test::WindowText(GetDlgItem(box, IDOK));
      defaultId = LOWORD(SendMessageA(box, DM_GETDEFID, 0, 0));
      if (key == 0) {
        PostMessageA(box, WM_CLOSE, 0, 0);
      } else {
        test::PressKey(box, key);
      }
    });
  }
  bool found = false;
  std::string yes, no, ok;
  int defaultId = 0;
};

TEST_F(UiMessageBox, ConfirmHasYesAsDefaultAndEscAnswersNo) {
  AnswerWith("Confirm", VK_ESCAPE);
  EXPECT_FALSE(ui::Confirm("Are you sure?"));
  EXPECT_TRUE(found);
  EXPECT_EQ(yes, "&Yes");
  EXPECT_EQ(no, "&No");
  EXPECT_EQ(defaultId, IDYES);

  AnswerWith("Confirm", VK_RETURN);
  EXPECT_TRUE(ui::Confirm("Are you sure?"));

  AnswerWith("Confirm", 0);  // the close box
  EXPECT_FALSE(ui::Confirm("Are you sure?"));
}

TEST_F(UiMessageBox, WarningAndInformationBoxes) {
  AnswerWith("Warning", VK_ESCAPE);
  EXPECT_FALSE(ui::Warning("Delete it?"));
  EXPECT_EQ(yes, "&Yes");

  AnswerWith("Information", VK_ESCAPE);
  ui::Information("Done");
  EXPECT_TRUE(found);
  EXPECT_EQ(ok, "OK");
  EXPECT_EQ(yes, "");
}

TEST_F(UiMessageBox, TimersGoOnWhileABoxIsOpen) {
  static int ticks;
  ticks = 0;
  struct Counter {
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }
  };
  UINT_PTR timer = SetTimer(nullptr, 0, 20, &Counter::Tick);
  AnswerWith("Confirm", VK_ESCAPE);
  ui::Confirm("Wait");
  KillTimer(nullptr, timer);
  EXPECT_GE(ticks, 3);
}

}  // namespace
}  // namespace horalog
