// The database view and the action editor, used from outside by keyboard as a
// user would: rows read through the list control, records checked in hl.dat.
#include <gmock/gmock.h>

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <cstring>
#include <initializer_list>

#include "E2eDriver.h"

namespace horalog::e2e {
namespace {

using ::testing::HasSubstr;
using Raw = std::string;  // one record as the file holds it

const double Day = 37683.0;  // Mon, 03 Mar 2003

double TimeOf(const Raw& r) { return ReadRecord(r).time; }

void WriteRaw(const std::string& path, const std::vector<Raw>& records) {
  std::string bytes;
  for (const Raw& r : records) bytes += r;
  WriteAll(path, bytes);
}

// The records the test put in or made; the detector's own ones, stamped
// within the hour and left zero, are set aside.
std::vector<Raw> Journal(const std::string& path) {
  const double now = NowAsDateTime();
  std::vector<Raw> kept;
  for (const Raw& r : RawRecords(path)) {
    const bool detector = r[0] == 0 && std::abs(TimeOf(r) - now) < 1.0 / 24 && r[13] == 0;
    if (!detector) kept.push_back(r);
  }
  return kept;
}
size_t DetectorRecords(const std::string& path) { return RawRecords(path).size() - Journal(path).size(); }

// Memory shared with another process, for messages that carry pointers: a
// section mapped into both, written and read here, at its own address there.
// (Wine cannot write another process's memory when its programs run under an
// emulator, but it can map a section into it.)
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, size_t size) : process_(process) {
    section_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(size), nullptr);
    local_ = static_cast<char*>(MapViewOfFile(section_, FILE_MAP_WRITE, 0, 0, size));
    using MapView = LONG(WINAPI*)(HANDLE, HANDLE, PVOID*, ULONG_PTR, SIZE_T, PLARGE_INTEGER,
                                  PSIZE_T, DWORD, ULONG, ULONG);
    static const auto map = reinterpret_cast<MapView>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtMapViewOfSection")));
    SIZE_T viewSize = 0;
    void* remote = nullptr;
    constexpr DWORD ViewUnmap = 2;
    if (map && map(section_, process_, &remote, 0, 0, nullptr, &viewSize, ViewUnmap, 0,
                   PAGE_READWRITE) >= 0)
      remote_ = static_cast<char*>(remote);
    EXPECT_NE(remote_, nullptr) << "no shared memory in the program's process";
  }
  ~RemoteMemory() {
    using UnmapView = LONG(WINAPI*)(HANDLE, PVOID);
    static const auto unmap = reinterpret_cast<UnmapView>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtUnmapViewOfSection")));
    if (remote_ && unmap) unmap(process_, remote_);
    if (local_) UnmapViewOfFile(local_);
    if (section_) CloseHandle(section_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  // An address as the program sees it.
  char* At(size_t offset) const { return remote_ + offset; }
  void Write(size_t offset, const void* data, size_t size) { std::memcpy(local_ + offset, data, size); }
  void Read(size_t offset, void* data, size_t size) const { std::memcpy(data, local_ + offset, size); }

 private:
  HANDLE process_;
  HANDLE section_ = nullptr;
  char* local_ = nullptr;
  char* remote_ = nullptr;
};

LRESULT Send(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(w, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

std::string DateText(double time) {
  SYSTEMTIME st{};
  VariantTimeToSystemTime(time, &st);
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[32];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d", days[st.wDayOfWeek], st.wDay,
                months[st.wMonth - 1], st.wYear);
  return text;
}

std::string TimeText(double time) {
  SYSTEMTIME st{};
  VariantTimeToSystemTime(time, &st);
  char text[64] = {};
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, sizeof text);
  return text;
}

class DBView : public ProgramTest {
 protected:
  void TearDown() override {
    // Under Wine the keys typed here would count as input in the next
    // program's first ticks: their pressed-since-last-query bits are taken now.
    for (int pass = 0; pass < 2; ++pass)
      for (int key = 1; key < 256; ++key) GetAsyncKeyState(key);
    ProgramTest::TearDown();
  }
  HWND View() { return FindAny(First().Pid(), "TDBViewDlg", "View Horalog Database"); }
  HWND List() { return FindChild(View(), WC_LISTVIEWA); }
  HWND WaitEditor() {
    HWND editor = nullptr;
    WaitUntil([&] {
      return (editor = FindVisible(First().Pid(), "TActionEditDialog", "Action Editor")) != nullptr;
    });
    return editor;
  }
  void WaitGone(HWND window) {
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }));
  }
  void Foreground(HWND window) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
  }

  int Rows() { return static_cast<int>(Send(List(), LVM_GETITEMCOUNT, 0, 0)); }
  std::string Cell(int row, int column) {
    RemoteMemory memory(First().Handle(), sizeof(LVITEMA) + 256);
    LVITEMA item{};
    item.iSubItem = column;
    item.cchTextMax = 256;
    item.pszText = memory.At(sizeof item);
    memory.Write(0, &item, sizeof item);
    Send(List(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(memory.At(0)));
    char text[256] = {};
    memory.Read(sizeof item, text, sizeof text - 1);
    return text;
  }
  int StatePicture(int row) {
    return static_cast<int>(Send(List(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) >> 12) - 1;
  }
  void SetSelected(int row, bool selected) {
    RemoteMemory memory(First().Handle(), sizeof(LVITEMA));
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    memory.Write(0, &item, sizeof item);
    Send(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(memory.At(0)));
  }
  void Select(std::initializer_list<int> rows) {
    SetSelected(-1, false);
    for (int row : rows) SetSelected(row, true);
  }
  void SetPicker(HWND picker, double time) {
    SYSTEMTIME st{};
    VariantTimeToSystemTime(time, &st);
    RemoteMemory memory(First().Handle(), sizeof st);
    memory.Write(0, &st, sizeof st);
    Send(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(memory.At(0)));
  }
  void PressOK(HWND editor) {
    Foreground(editor);
    PressKeys({VK_RETURN});
  }
  // Runs a command of the view by its key and answers the Warning box.
  void DeleteAnswering(int answer, const char* expectedText) {
    Foreground(View());
    PressKeys({VK_DELETE});
    HWND box = WaitDialog("Warning");
    ASSERT_NE(box, nullptr) << "no Warning box";
    EXPECT_THAT(DialogText(box), HasSubstr(expectedText));
    ASSERT_TRUE(ClickButton(box, answer));
    WaitGone(box);
  }
};

TEST_F(DBView, ListInsertEditAndDeleteByKeyboard) {
  WriteIni("[Options]\r\nInterval=0\r\n");
  std::vector<Raw> journal = {RecordBytes(0, 0, Day + 0.30, 1), RecordBytes(0, 1, Day + 0.40, 2),
                              RecordBytes(7, 0, Day + 0.45, 3), RecordBytes(0, 2, Day + 0.50, 4),
                              RecordBytes(0, 0, Day + 1.30, 5), RecordBytes(-5, 1, Day + 1.40, 6),
                              RecordBytes(0, 0, Day + 2.30, 7)};
  // On the disk out of order, with a deleted record.
  WriteRaw(DataFile(), {journal[3], journal[0], RecordBytes(-1, 0, Day, 8), journal[6], journal[1],
                        journal[2], journal[4], journal[5]});
  const std::vector<Raw> asWritten = RawRecords(DataFile());
  StartReady();
  ShowMain();
  ChooseMenuItem("&Tools", "&View");
  ASSERT_TRUE(WaitUntil([&] { return View() && IsWindowVisible(View()); })) << "no database view";

  // The list as it was filled at start-up, in time order.
  ASSERT_EQ(Rows(), 7);
  for (int row = 0; row < 7; ++row) {
    const Raw& r = journal[static_cast<size_t>(row)];
    EXPECT_EQ(Cell(row, 0), r[4] == 0 ? "Start" : "Stop") << row;
    EXPECT_EQ(StatePicture(row), r[4] == 0 ? 1 : 0) << row;
    EXPECT_EQ(Cell(row, 1), DateText(TimeOf(r))) << row;
    EXPECT_EQ(Cell(row, 2), TimeText(TimeOf(r))) << row;
  }
  EXPECT_EQ(Cell(0, 1), "Mon, 03 Mar 2003");

  // Delete rows 2 and 5: No changes nothing, Yes removes exactly them.
  Select({1, 4});
  DeleteAnswering(IDNO, "You are just about to delete 2 items.");
  Sleep(500);
  EXPECT_EQ(Journal(DataFile()), asWritten);
  Select({1, 4});
  DeleteAnswering(IDYES, "You are just about to delete 2 items.");
  journal = {journal[0], journal[2], journal[3], journal[5], journal[6]};
  EXPECT_TRUE(WaitUntil([&] { return Journal(DataFile()) == journal; }))
      << "Delete did not leave the five others";
  EXPECT_GE(Rows(), 5);

  // Insert a Stop dated yesterday: it lands in time order, all zero but Action and Time.
  Foreground(View());
  PressKeys({VK_INSERT});
  HWND editor = WaitEditor();
  ASSERT_NE(editor, nullptr) << "Ins opened no editor";
  HWND combo = FindChild(editor, "ComboBox");
  EXPECT_EQ(Send(combo, CB_GETCURSEL, 0, 0), CB_ERR) << "an action is chosen";
  // Enter at once: the action is asked for, and the editor stays.
  PressOK(editor);
  HWND error = WaitDialog("Horalog");
  ASSERT_NE(error, nullptr) << "OK without an action was not refused";
  EXPECT_THAT(DialogText(error), HasSubstr("Please specify the action."));
  ClickButton(error, IDOK);
  WaitGone(error);
  EXPECT_TRUE(IsWindowVisible(editor));
  Send(combo, CB_SETCURSEL, 1, 0);
  const double yesterday = std::floor(NowAsDateTime()) - 1 + 0.5;
  SetPicker(FindChild(editor, DATETIMEPICK_CLASSA), yesterday);
  PressOK(editor);
  WaitGone(editor);
  ASSERT_TRUE(WaitUntil([&] { return Journal(DataFile()).size() == 6; }));
  std::vector<Raw> records = Journal(DataFile());
  EXPECT_EQ(std::vector<Raw>(records.begin(), records.begin() + 5), journal);
  EXPECT_EQ(records[5][4], 1);
  EXPECT_EQ(std::floor(TimeOf(records[5])), std::floor(yesterday));
  EXPECT_EQ(std::vector<unsigned char>(records[5].begin() + 13, records[5].end()),
            std::vector<unsigned char>(128, 0));
  journal = records;

  // Edit the topmost selected row (Ctrl+Enter). Cancel (Esc) writes nothing.
  Select({2, 0});
  Foreground(View());
  PressKeys({VK_CONTROL, VK_RETURN});
  editor = WaitEditor();
  ASSERT_NE(editor, nullptr) << "Ctrl+Enter opened no editor";
  EXPECT_EQ(Send(FindChild(editor, "ComboBox"), CB_GETCURSEL, 0, 0), 0);
  Send(FindChild(editor, "ComboBox"), CB_SETCURSEL, 1, 0);
  PressKeys({VK_ESCAPE});
  WaitGone(editor);
  Sleep(500);
  EXPECT_EQ(Journal(DataFile()), journal);

  // OK changes only the action, and keeps what the detector appended while
  // the editor was open.
  Foreground(View());
  PressKeys({VK_CONTROL, VK_RETURN});
  editor = WaitEditor();
  ASSERT_NE(editor, nullptr);
  // The keys typed so far count as activity, one a tick: wait until the
  // detector has gone quiet, so that the pointer's move starts a spell of its own.
  ASSERT_TRUE(WaitUntil([&] {
    const std::string log = Log();
    const size_t last = log.rfind("Activity ");
    return last != std::string::npos && log.compare(last, 15, "Activity ended ") == 0;
  }, 15000)) << Log();
  const size_t before = RawRecords(DataFile()).size();
  MoveCursor(300, 200);
  MoveCursor(320, 210);
  ASSERT_TRUE(WaitUntil([&] { return RawRecords(DataFile()).size() > before; }))
      << "the detector appended nothing";
  const size_t detectorRecords = DetectorRecords(DataFile());
  Send(FindChild(editor, "ComboBox"), CB_SETCURSEL, 1, 0);
  PressOK(editor);
  WaitGone(editor);
  journal[0][4] = 1;
  ASSERT_TRUE(WaitUntil([&] { return Journal(DataFile()) == journal; }));
  EXPECT_GE(DetectorRecords(DataFile()), detectorRecords) << "a record appended meanwhile was lost";

  // Delete every row.
  ASSERT_GE(Rows(), 6);
  SetSelected(-1, true);
  DeleteAnswering(IDYES, "You are just about to delete");
  EXPECT_TRUE(WaitUntil([&] { return Journal(DataFile()).empty(); }));

  // Esc hides the view; the program goes on.
  Foreground(View());
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(View()); })) << "Esc did not hide the view";
  EXPECT_TRUE(First().Running());
}

// Compaction goes ahead while the view is open; the view's rows, filled
// before it, no longer match the file by position: its next command finds its
// records by content, refuses one that compaction dropped, and works on the
// compacted file.
TEST_F(DBView, NextCommandAfterACompactionWorksOnTheCompactedFile) {
  const Raw dropped = RecordBytes(7, 0, Day + 0.1, 1), a = RecordBytes(0, 0, Day + 0.3, 2),
            b = RecordBytes(0, 1, Day + 0.4, 3);
  WriteRaw(DataFile(), {dropped, a, b});
  StartReady();
  ShowMain();
  ChooseMenuItem("&Tools", "&View");
  ASSERT_TRUE(WaitUntil([&] { return View() && IsWindowVisible(View()); })) << "no database view";
  ASSERT_EQ(Rows(), 3);

  ShowMain();
  ChooseMenuItem("&Tools", "&Compact");
  HWND box = WaitDialog("Confirm");
  ASSERT_NE(box, nullptr) << "no confirmation";
  ASSERT_TRUE(ClickButton(box, IDYES));
  box = WaitDialog("Information");
  ASSERT_NE(box, nullptr) << "no Information box";
  ClickButton(box, IDOK);
  WaitGone(box);
  ASSERT_EQ(Journal(DataFile()), (std::vector<Raw>{a, b}));
  EXPECT_EQ(Rows(), 3) << "the view is not refilled by a compaction";

  // The first row's record is gone: nothing changes, the list is refilled.
  Select({0});
  DeleteAnswering(IDYES, "You are just about to delete 1 items.");
  HWND error = WaitDialog("Horalog");
  ASSERT_NE(error, nullptr) << "no word that the journal changed";
  EXPECT_THAT(DialogText(error), HasSubstr("journal has changed"));
  ClickButton(error, IDOK);
  WaitGone(error);
  EXPECT_EQ(Journal(DataFile()), (std::vector<Raw>{a, b}));
  // Refilled: the first row is now the record a (the detector's own, stamped
  // today, come after it).
  EXPECT_TRUE(WaitUntil([&] { return Rows() >= 2 && Cell(0, 2) == TimeText(TimeOf(a)); }))
      << "the list was not refilled";

  // Now row 0 is the record a: Delete removes exactly it.
  Select({0});
  DeleteAnswering(IDYES, "You are just about to delete 1 items.");
  EXPECT_TRUE(WaitUntil([&] { return Journal(DataFile()) == std::vector<Raw>{b}; }));
}

}  // namespace
}  // namespace horalog::e2e
