// The dialog kit against real windows: keys, focus, default and cancel
// buttons, label accelerators, the up-down's range and the date and time
// fields that keep the part they do not show.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

#include "UiTestSupport.h"
#include "dialogs/DateTimeField.h"
#include "platform/DateTime.h"
#include "ui/Application.h"
#include "ui/Dialog.h"

namespace horalog {
namespace {

using test::After;
using test::CaptureErrors;
using test::PressKey;

class KitDialog : public ui::TDialog {
 public:
  explicit KitDialog(bool withCancel = true) : TDialog(nullptr) {
    ui::Application().Initialize();
    CreateForm({"HoralogKitDialog", "Kit", 300, 200});
    CheckBox.Create(*this, 10, "&Tick", 10, 10, 80, 17);
    NameLabel.Create(*this, "&Name", 10, 40, 40, 13, true);
    NameEdit.Create(*this, 11, "", 60, 36, 49, 21);
    SpinEdit.Create(*this, 12, "", 60, 66, 49, 21);
    Spin.Create(*this, 13, SpinEdit, 1, 59, 1);
    Date.Create(*this, 14, ui::TDateTimePicker::TKind::Date, 150, 10, 97, 21);
    Time.Create(*this, 15, ui::TDateTimePicker::TKind::Time, 150, 40, 97, 21);
    OKBtn.Create(*this, IDOK, "OK", 130, 160, 75, 25, true);
    OKBtn.OnClick = [this] {
      ++okClicks;
      if (refuse) throw std::runtime_error("Refused");
      SetModalResult(IDOK);
    };
    if (withCancel) {
      CancelBtn.Create(*this, IDCANCEL, "Cancel", 215, 160, 75, 25);
      CancelBtn.ModalResult = IDCANCEL;
    }
  }
  ui::TCheckBox CheckBox;
  ui::TLabel NameLabel;
  ui::TEdit NameEdit, SpinEdit;
  ui::TUpDown Spin;
  TDateTimeField Date, Time;
  ui::TButton OKBtn, CancelBtn;
  int okClicks = 0;
  bool refuse = false;
};

HWND Focus() { return GetFocus(); }

using UiDialog = test::MainFormTest;

TEST_F(UiDialog, ClientSizeAndKeysOfAModalDialog) {
  KitDialog dialog;
  RECT client{};
  GetClientRect(dialog.Handle(), &client);
  EXPECT_EQ(client.right, ui::TWindow::Scale(300));
  EXPECT_EQ(client.bottom, ui::TWindow::Scale(200));
  EXPECT_FALSE(GetWindowLongA(dialog.Handle(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX));

  // Tab goes through the controls that take the focus in their order, the
  // label's accelerator to the edit after it; Enter in an edit clicks the
  // default button, whose error keeps the dialog open.
  std::vector<HWND> seen;
  CaptureErrors errors;
  dialog.refuse = true;
  After(300, [&] {
    seen.push_back(Focus());
    PressKey(dialog.Handle(), VK_TAB);
    After(100, [&] {
      seen.push_back(Focus());
      PostMessageA(Focus(), WM_SYSCHAR, 'n', 0x20000000);
      After(100, [&] {
        seen.push_back(Focus());
        PressKey(dialog.Handle(), VK_RETURN);
        After(200, [&] {
          EXPECT_EQ(dialog.ModalResult(), 0);
          dialog.refuse = false;
          PressKey(dialog.Handle(), VK_RETURN);
        });
      });
    });
  });
  EXPECT_EQ(dialog.ShowModal(), IDOK);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], dialog.CheckBox.Handle()) << "the first control has the focus at the start";
  EXPECT_EQ(seen[1], dialog.NameEdit.Handle());
  EXPECT_EQ(seen[2], dialog.NameEdit.Handle()) << "Alt+N reaches the edit";
  EXPECT_EQ(dialog.okClicks, 2);
  EXPECT_EQ(errors.texts, std::vector<std::string>{"Refused."});

  // Enter on a focused push button clicks that one; Esc and the close box cancel.
  After(200, [&] {
    dialog.CancelBtn.SetFocus();
    PressKey(dialog.Handle(), VK_RETURN);
  });
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  After(200, [&] { PressKey(dialog.Handle(), VK_ESCAPE); });
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  After(200, [&] { PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0); });
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  EXPECT_EQ(dialog.okClicks, 2);
}

TEST_F(UiDialog, EscDoesNothingWithoutACancelButton) {
  KitDialog dialog(false);
  After(200, [&] {
    PressKey(dialog.Handle(), VK_ESCAPE);
    After(200, [&] {
      EXPECT_EQ(dialog.ModalResult(), 0);
      dialog.OKBtn.Click();
    });
  });
  EXPECT_EQ(dialog.ShowModal(), IDOK);
}

TEST_F(UiDialog, UpDownKeepsItsRangeAndFollowsTheEdit) {
  KitDialog dialog;
  dialog.Spin.SetPosition(75);
  EXPECT_EQ(dialog.SpinEdit.Text(), "59");
  dialog.SpinEdit.SetText("12");
  EXPECT_EQ(dialog.Spin.Position(), 12);
  // The arrows step from the edit's number and stop at the ends.
  SendMessageA(dialog.Spin.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(dialog.Spin.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(dialog.SpinEdit.Text(), "13");
  dialog.Spin.SetPosition(0);
  EXPECT_EQ(dialog.SpinEdit.Text(), "1");
  dialog.SpinEdit.SetText("abc");
  EXPECT_EQ(dialog.Spin.Position(), 1);
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  return t;
}

TEST_F(UiDialog, DateAndTimeFieldsChangeOnlyTheirOwnPart) {
  KitDialog dialog;
  const TDateTime moment = ComposeDate(2003, 3, 3) + ComposeTime(14, 30, 0, 0) + 1e-10;
  dialog.Date.SetDateTime(WholePart(moment));
  dialog.Date.SetTime(moment);  // a date field may carry a time of day it does not show
  dialog.Time.SetTime(moment);
  EXPECT_EQ(dialog.Date.DateTime(), moment) << "untouched, the value comes back exactly";
  EXPECT_EQ(dialog.Time.DateTime(), FractionPart(moment));

  // The user picks 5 March at 09:15: the date field keeps its time of day,
  // the time field its day.
  SYSTEMTIME picked = At(2003, 3, 5, 9, 15);
  SendMessageA(dialog.Date.Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&picked));
  SendMessageA(dialog.Time.Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&picked));
  EXPECT_DOUBLE_EQ(dialog.Date.DateTime(), ComposeDate(2003, 3, 5) + FractionPart(moment));
  EXPECT_DOUBLE_EQ(dialog.Time.DateTime(), ComposeTime(9, 15, 0, 0));
}

}  // namespace
}  // namespace horalog
