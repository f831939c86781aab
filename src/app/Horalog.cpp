// The program's main routine: the single-instance check, the application
// object, the main window and the message loop.
#include <windows.h>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include "app/HoralogMain.h"
#include "dialogs/DBViewDialog.h"
#include "ms/SharedMemory.h"
#include "ui/Application.h"

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

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The last-resort handler: an error that escapes before the message loop runs.
int ShowStartupError(const std::string& className, const std::string& message) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  char address[32] = {};
  std::snprintf(address, sizeof address, "%p", static_cast<void*>(GetModuleHandleA(nullptr)));
  // "Exception %s in module %s at %p.\r\n%s%s\r\n": the message with the error
  // box's full-stop rule.
  const std::string text = "Exception " + className + " in module " + BaseName(module) + " at " +
                           address + ".\r\n" + horalog::ui::TApplication::ErrorBoxText(message) + "\r\n";
  MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace horalog;
  try {
    CheckPreviousInstance();

    ui::TApplication& application = ui::Application();
    application.Initialize();
    application.Title = "Horalog";
    application.ShowMainAtStart = false;

    auto form1 = std::make_unique<TForm1>();
    auto dbViewDlg = std::make_unique<TDBViewDlg>();
    form1->DBViewDlg = dbViewDlg.get();
    dbViewDlg->BeforeRewrite = [form = form1.get()] { form->WriteWaitingRecords(); };

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
