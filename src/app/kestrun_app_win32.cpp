#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/kestrun_app.h"
#include "app/kestrun_dlg.h"

namespace tramsel {

CKestrunApp theApp;

namespace {

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

Text ModuleFileName() {
  // Grown until the whole name fits, so a deep install folder is not cut.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return Text(reinterpret_cast<const char16_t*>(buffer.c_str()), length);
    buffer.resize(buffer.size() * 2);
  }
}

struct WindowSearch {
  HWND found = nullptr;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  constexpr int kTitleLength = sizeof(kMainWindowTitle) / sizeof(char16_t) - 1;
  wchar_t caption[kTitleLength + 2];
  int length = GetWindowTextW(window, caption, kTitleLength + 2);
  if (length == kTitleLength &&
      TextView(reinterpret_cast<const char16_t*>(caption), length) == kMainWindowTitle) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Any top-level window whose caption is exactly the main window's, visible
// or not, counts as the running instance.
HWND FindRunningInstance() {
  WindowSearch search;
  EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void ForwardToRunningInstance(HWND running, const CKestrunApp& app) {
  ShowWindow(running, IsIconic(running) ? SW_SHOWNORMAL : SW_RESTORE);
  SetForegroundWindow(running);
  COPYDATASTRUCT data{};
  if (app.HasStartArgument) {
    data.cbData = static_cast<DWORD>((app.StartArgument.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(Wide(app.StartArgument));
  }
  SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

}  // namespace

bool CKestrunApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // Restart after a crash or an update, nothing more.
  RegisterApplicationRestart(L"", 0);

  int count = 0;
  if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
    HasStartArgument = count == 2;
    if (HasStartArgument) StartArgument = reinterpret_cast<const char16_t*>(args[1]);
    LocalFree(args);
  }
  if (HWND running = FindRunningInstance()) {
    ForwardToRunningInstance(running, *this);
    return false;
  }

  const Text module = ModuleFileName();
  const size_t slash = module.rfind(u'\\');
  AppFolder = slash == Text::npos ? Text() : module.substr(0, slash);
  Text file = slash == Text::npos ? module : module.substr(slash + 1);
  AppName = file.substr(0, file.rfind(u'.'));

  // The serial control is built in, so there are no control libraries to
  // register; the code editor needs the rich edit library.
  HMODULE richEdit = LoadLibraryW(L"MSFTEDIT.DLL");

  {
    CKestrunDlg dialog(*this);
    dialog.DoModal();
  }
  if (richEdit) FreeLibrary(richEdit);
  return false;
}

}  // namespace tramsel

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  tramsel::theApp.InitInstance();
  return 0;
}
