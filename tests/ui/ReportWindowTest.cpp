// The report window, its browser view and the dates dialog, under Wine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "UiTestSupport.h"
#include "ui/Application.h"
#include "ui/WebBrowser.h"
#include "ui/Window.h"

namespace horalog {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A folder of its own under the temporary folder, with a trailing separator.
class Scratch {
 public:
  Scratch() {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    static int counter = 0;
    dir_ = fs::path(temp) / ("horalog-report-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++counter));
    fs::create_directories(dir_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Dir() const { return dir_.string() + "\\"; }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

 private:
  fs::path dir_;
};

// Whether this system can draw HTML pages (Wine without its engine cannot).
bool HasPageEngine() {
  const CLSID htmlDocument = {
      0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};
  IUnknown* document = nullptr;
  HRESULT result = CoCreateInstance(htmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&document));
  if (document) document->Release();
  return SUCCEEDED(result);
}

class Holder : public ui::TWindow {
 public:
  Holder() {
    TCreateParams params;
    params.className = "HoralogBrowserHolder";
    params.caption = "Holder";
    params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.width = 500;
    params.height = 300;
    CreateHandle(params);
  }
};

class BrowserView : public ::testing::Test {
 protected:
  void SetUp() override { ui::Application().Initialize(); }
  Scratch scratch_;
};

// The control is embedded and told where to go; where no page engine draws
// the page, the note takes its place with the file's path and the button.
TEST_F(BrowserView, EmbedsTheControlAndShowsANoteWhereThePageCannotBeDrawn) {
  const std::string page = scratch_.File("page.html");
  WriteAll(page, "<html><body><h3>Hello</h3></body></html>\r\n");
  Holder holder;
  holder.Show();
  ui::TWebBrowser view;
  view.NoteText = "Nothing to see here.";
  view.Create(holder.Handle());
  view.SetBounds(0, 0, 400, 250);
  ASSERT_TRUE(view.Embedded()) << view.NoteReason();
  HWND control = GetWindow(view.Handle(), GW_CHILD);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(test::ClassOf(control), "Shell Embedding");

  view.Navigate(page);
  EXPECT_THAT(view.LocationURL(), HasSubstr(page));
  const bool engine = HasPageEngine();
  EXPECT_EQ(view.ShowsNote(), !engine) << view.NoteReason();
  if (engine) return;

  HWND note = GetDlgItem(view.Handle(), ui::TWebBrowser::NoteId);
  HWND open = GetDlgItem(view.Handle(), ui::TWebBrowser::OpenButtonId);
  ASSERT_NE(note, nullptr);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(test::WindowText(note), "Nothing to see here.\r\n\r\nThe file is:\r\n" + page);
  EXPECT_EQ(test::WindowText(open), "Open in browser");
  EXPECT_TRUE(IsWindowVisible(open));
  EXPECT_FALSE(IsWindowVisible(control)) << "the empty control hides the note";

  // The note follows the view's size.
  RECT before{}, after{};
  GetWindowRect(note, &before);
  view.SetBounds(0, 0, 300, 250);
  GetWindowRect(note, &after);
  EXPECT_EQ((before.right - before.left) - (after.right - after.left), 100);
}

}  // namespace
}  // namespace horalog
