// The program's main routine: the single-instance check, the application
// object, the main window and the message loop.
#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>

#include "app/CommandLine.h"
#include "app/HoralogMain.h"
#include "app/Startup.h"
#include "dialogs/DBViewDialog.h"
#include "ms/SharedMemory.h"
#include "ui/Application.h"
#include "version.h"

namespace {

// The class name of an error without its namespaces: "EOSError".
std::string ClassNameOf(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  size_t colon = name.rfind("::");
  return colon == std::string::npos ? name : name.substr(colon + 2);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace horalog;
  // A command of the command line runs beside any running copy: it comes
  // before the start-up lock and the instance block, and shows no window.
  if (const std::optional<int> exitCode = RunCommandLine()) return *exitCode;
  try {
    // Simultaneous starts take turns from here until the main window has been
    // published, so that exactly one of them finds the block empty.
    TStartupLock startupLock;
    if (!CheckPreviousInstance()) return 0;
    // Another start still holds the lock: whether or not it has published a
    // window by now, this one must not record beside it.
    if (startupLock.TakenByAnother()) return 0;

    ui::TApplication& application = ui::Application();
    application.Initialize();
    application.Title = HORALOG_PRODUCT_NAME;
    application.ShowMainAtStart = false;

    auto form1 = std::make_unique<TForm1>();
    startupLock.Release();
    auto dbViewDlg = std::make_unique<TDBViewDlg>();
    form1->DBViewDlg = dbViewDlg.get();
    dbViewDlg->Door = form1->Recorder().Door();

    int exitCode = application.Run();
    form1->DBViewDlg = nullptr;
    dbViewDlg.reset();
    form1.reset();
    return exitCode;
  } catch (const std::exception& error) {
    return ShowStartupError(ClassNameOf(typeid(error)), error.what());
  } catch (...) {
    return ShowStartupError("Exception", "Unknown error");
  }
}
