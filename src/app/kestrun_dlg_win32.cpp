#include "app/kestrun_dlg.h"

#include "app/kestrun_app.h"
#include "app/resource.h"
#include "common/file_io.h"

namespace tramsel {

CKestrunDlg::CKestrunDlg(CKestrunApp& app)
    : app_(app),
      codec_(MakeAnsiCodec()),
      ui_(app.AppName),
      config_(app.AppFolder + u"\\Vorlane.cfg", app.AppFolder, settings_, machines_, *this, ui_,
              *codec_) {}

INT_PTR CKestrunDlg::DoModal() {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_KESTRUN_DIALOG), nullptr,
                         DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CKestrunDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CKestrunDlg* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CKestrunDlg*>(lParam);
    self->window_ = window;
    SetWindowLongPtrW(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<CKestrunDlg*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  return self ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CKestrunDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COPYDATA:
      return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window_, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      ShutDownMainWindow();
      return FALSE;
  }
  return FALSE;
}

BOOL CKestrunDlg::OnInitDialog() {
  ui_.SetOwner(window_, 0);
  machines_.initDefaults();
  config_.loadConfiguration();
  return TRUE;
}

BOOL CKestrunDlg::OnCopyData(const COPYDATASTRUCT* data) {
  if (data->cbData == 0) {
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
  }
  return FALSE;
}

void CKestrunDlg::ShutDownMainWindow() { config_.saveConfiguration(); }

Text CKestrunDlg::LoadDocumentFile(const Text& path) {
  auto bytes = ReadWholeFile(path);
  if (!bytes) {
    ui_.ShowMessage(u"打开文件失败,文件可能不存在\r\n文件名:" + path);
    return {};
  }
  const size_t slash = path.rfind(u'\\');
  settings_.defaultFolder = slash == Text::npos ? Text() : path.substr(0, slash);
  return codec_->Decode(UpToFirstZero(*bytes));
}

bool CKestrunDlg::ConfigFileExists(const Text& path) { return FileExists(path); }

}  // namespace tramsel
