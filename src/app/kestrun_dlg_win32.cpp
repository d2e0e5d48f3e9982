#include "app/kestrun_dlg.h"

#include <commdlg.h>
#include <richedit.h>
#include <windowsx.h>

#include "app/command_text.h"
#include "app/icon_button_win32.h"
#include "app/kestrun_app.h"
#include "app/resource.h"
#include "app/rich_code_editor_win32.h"
#include "app/sel_mac_dialog_win32.h"
#include "app/send_code_dialog_win32.h"
#include "code3b/code_parser.h"
#include "common/file_io.h"

namespace tramsel {

namespace {

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
Text FromWide(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

constexpr COLORREF kWindowBackground = RGB(6, 190, 255);
constexpr COLORREF kEditorBackground = RGB(135, 206, 235);
constexpr COLORREF kTitleText = RGB(255, 255, 255);
// Of the template's style only these stay: no caption, no frame.
constexpr LONG kBorderlessStyle = 0x160B0000;
constexpr UINT kTrayCloseCommand = IDCANCEL;
// A press this close to the top of the client area moves the window.
constexpr int kTitleBarHeight = 25;

Text ControlText(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::wstring buffer(length + 1, L'\0');
  const int got = GetWindowTextW(control, buffer.data(), length + 1);
  return Text(reinterpret_cast<const char16_t*>(buffer.c_str()), got);
}

HICON LoadIconSized(int id, int size) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

std::optional<Text> RunFileDialog(HWND owner, const Text& folder, bool save) {
  wchar_t path[32768] = L"";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof path / sizeof path[0];
  dialog.lpstrInitialDir = folder.empty() ? nullptr : Wide(folder);
  dialog.nFilterIndex = 1;
  dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY;
  if (save) {
    wcscpy(path, L"Vorlane");
    dialog.lpstrFilter = L"3b代码(*.3b)\0*.3b\0";
    dialog.lpstrDefExt = L"3b";
    dialog.Flags |= OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  } else {
    dialog.lpstrFilter =
        L"3b代码(*.3b)\0*.3b\0G代码(*.g)\0*.g\0G代码(*.iso)\0*.iso\0文本文件(*.txt)\0*.txt\0所有文件(*.*)\0*.*\0";
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  }
  return FromWide(path);
}

}  // namespace

CKestrunDlg::CKestrunDlg(CKestrunApp& app)
    : app_(app),
      codec_(MakeAnsiCodec()),
      ui_(app.AppName),
      config_(app.AppFolder + u"\\Vorlane.cfg", app.AppFolder, settings_, machines_, *this, ui_, *codec_),
      document_(*this, settings_, ui_, *codec_),
      linkWindow_(app.AppFolder + u"\\lib"),
      link_(LinkHost{linkWindow_.serial(), linkWindow_.ports(), linkWindow_.timers(), linkWindow_.waits(), ui_,
                     *this, *this, *codec_},
            machines_, settings_) {}

CKestrunDlg::~CKestrunDlg() {
  for (const ButtonIcon& button : buttonIcons_) DestroyIcon(button.icon);
  if (programIcon_) DestroyIcon(programIcon_);
  if (smallProgramIcon_) DestroyIcon(smallProgramIcon_);
  if (titleFont_) DeleteObject(titleFont_);
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

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
  if (message != WM_INITDIALOG && linkWindow_.HandleMessage(message, wParam, lParam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COPYDATA:
      OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return TRUE;  // the answer to the sender is 0 either way
    case WM_MAIN_EVENT:
      OnMainEvent(wParam);
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_TRAY_NOTIFY:
      OnTrayNotify(lParam);
      return TRUE;
    case WM_LBUTTONDOWN:
      OnLButtonDown(lParam);
      return TRUE;
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(programIcon_);
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(backgroundBrush_);
    case WM_CTLCOLORSTATIC:
      return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
      ShutDownMainWindow();
      return FALSE;
  }
  return FALSE;
}

// --- Initialisation ---

BOOL CKestrunDlg::OnInitDialog() {
  ui_.SetOwner(window_, IDC_STATUS);
  linkWindow_.Attach(window_, link_);
  programIcon_ = LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXICON));
  smallProgramIcon_ = LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallProgramIcon_));
  MakeBorderless();
  AddTrayIcon();
  machines_.initDefaults();
  PrepareEditor();
  backgroundBrush_ = CreateSolidBrush(kWindowBackground);
  SetUpButtons();
  config_.loadConfiguration();
  refreshMachineSelector();
  if (app_.HasStartArgument) OpenStartFile();
  CheckUsbDriver();
  link_.StartRequestPoller();
  // The editor reports changes and dropped files, nothing else it protects.
  HWND editor = Item(IDC_EDITOR);
  LRESULT mask = SendMessageW(editor, EM_GETEVENTMASK, 0, 0);
  SendMessageW(editor, EM_SETEVENTMASK, 0, (mask | ENM_CHANGE | ENM_DROPFILES) & ~ENM_PROTECTED);
  DragAcceptFiles(editor, TRUE);
  return TRUE;
}

void CKestrunDlg::MakeBorderless() {
  SetWindowLongW(window_, GWL_STYLE, GetWindowLongW(window_, GWL_STYLE) & kBorderlessStyle);
  SetWindowLongW(window_, GWL_EXSTYLE, 0);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void CKestrunDlg::AddTrayIcon() {
  trayIcon_.cbSize = NOTIFYICONDATAW_V3_SIZE;
  trayIcon_.hWnd = window_;
  trayIcon_.uID = 0;
  trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  trayIcon_.uCallbackMessage = WM_TRAY_NOTIFY;
  trayIcon_.hIcon = smallProgramIcon_;
  wcscpy(trayIcon_.szTip, L"线切割Tramsel");
  Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
  Shell_NotifyIconW(NIM_ADD, &trayIcon_);
}

void CKestrunDlg::RemoveTrayIcon() { Shell_NotifyIconW(NIM_DELETE, &trayIcon_); }

void CKestrunDlg::PrepareEditor() {
  HWND editor = Item(IDC_EDITOR);
  SendMessageW(editor, EM_SETBKGNDCOLOR, 0, kEditorBackground);
  SendMessageW(editor, EM_SETUNDOLIMIT, 100, 0);
  SendMessageW(editor, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
}

void CKestrunDlg::SetUpButtons() {
  struct {
    int id;
    int icon;
  } const buttons[] = {
      {IDC_SEND_DIRECT, IDI_DIRECT}, {IDC_SEND_STORE, IDI_STORE}, {IDC_HIDE, IDI_MINIMISE},
      {IDC_CLOSE_TO_TRAY, IDI_CLOSE}, {IDC_MAXIMISE, IDI_MAXIMISE}, {IDC_MENU, IDI_MENU},
      {IDC_OPEN_FILE, IDI_OPEN}, {IDC_SAVE_FILE, IDI_SAVE}, {IDC_NEW_FILE, IDI_NEW},
      {IDC_PROGRAM_ICON, IDR_MAINFRAME}, {IDC_MACHINE_CONFIG, IDI_MACHINES},
      {IDC_SYSTEM_SETTINGS, IDI_SETTINGS},
  };
  for (const auto& button : buttons) {
    RECT rect;
    GetClientRect(Item(button.id), &rect);
    // As large as the button's height allows, in the sizes the icons carry.
    const int room = rect.bottom - rect.top - 2;
    const int size = room >= 32 ? 32 : room >= 24 ? 24 : 16;
    buttonIcons_.push_back({button.id, LoadIconSized(button.icon, size), size});
  }

  // The title in white "黑体" at 15 points on the window background.
  HDC dc = GetDC(window_);
  const int height = -MulDiv(15, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(window_, dc);
  titleFont_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"黑体");
  SendMessageW(Item(IDC_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);
}

void CKestrunDlg::OpenStartFile() {
  document_.text.clear();
  const StartArgumentParts argument = SplitStartArgument(app_.StartArgument);
  if (argument.hasRemark) ui_.ShowMessage(argument.remark);
  if (!argument.path.empty()) document_.OpenDocumentByPath(argument.path);
}

void CKestrunDlg::CheckUsbDriver() {
  using NativeInfo = void(WINAPI*)(LPSYSTEM_INFO);
  SYSTEM_INFO info{};
  auto native = reinterpret_cast<NativeInfo>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "GetNativeSystemInfo")));
  if (native) {
    native(&info);
  } else {
    GetSystemInfo(&info);
  }
  REGSAM access = KEY_READ;
  if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
      info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64) {
    access |= KEY_WOW64_64KEY;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WinChipHead\\IC\\CH341SER", 0, access, &key) ==
      ERROR_SUCCESS) {
    RegCloseKey(key);
    return;
  }
  ui_.ShowMessage(u"设备驱动未安装,将弹出安装程序\r\n请点击\"安装\"按钮安装驱动");
  // The vendor's installer is not shipped with the program: say where it
  // was looked for rather than failing silently.
  const Text installer = app_.AppFolder + u"\\lib\\CH341SER.exe";
  if (!FileExists(installer)) {
    ui_.ShowMessage(u"找不到驱动安装程序,请向设备供应商索取CH341驱动\r\n文件名:" + installer);
    return;
  }
  ShellExecuteW(nullptr, L"open", Wide(installer), nullptr, nullptr, SW_SHOWNORMAL);
}

// --- Commands ---

void CKestrunDlg::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(window_, id);
      return;
    case IDC_HIDE:
    case IDC_CLOSE_TO_TRAY:
      HideToTray();
      return;
    case IDC_MENU:
      OnMenuButton();
      return;
    case IDC_SEND_DIRECT:
      link_.RequestTransfer(false);
      return;
    case IDC_SEND_STORE:
      link_.RequestTransfer(true);
      return;
    case ID_MACHINE_SETTINGS:
      OnMachineSettings();
      return;
    case IDC_NEW_FILE:
    case ID_FILE_NEW:
      document_.NewDocument();
      return;
    case IDC_OPEN_FILE:
    case ID_FILE_OPEN:
      document_.OpenDocument();
      return;
    case IDC_SAVE_FILE:
    case ID_FILE_SAVE:
      document_.SaveDocument();
      return;
    case ID_FILE_SAVE_AS:
      document_.SaveDocumentAs();
      return;
    case IDC_EDITOR:
      if (code == EN_CHANGE) document_.RefreshLengthDisplay();
      return;
    case IDC_MACHINE_SELECTOR:
      if (code == CBN_SELCHANGE) onMachineSelectorChanged();
      return;
  }
}

INT_PTR CKestrunDlg::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_EDITOR || header.code != EN_DROPFILES) return FALSE;
  HDROP drop = static_cast<HDROP>(reinterpret_cast<const ENDROPFILES&>(header).hDrop);
  std::vector<Text> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    paths.push_back(Text(reinterpret_cast<const char16_t*>(path.c_str()), length));
  }
  DragFinish(drop);
  document_.DropFiles(paths);
  // The editor never inserts the dropped data itself.
  SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
  return TRUE;
}

void CKestrunDlg::OnMenuButton() {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_FILE_MENU));
  RECT button;
  GetWindowRect(Item(IDC_MENU), &button);
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_LEFTBUTTON, button.left, button.top + 20, 0, window_,
                 nullptr);
  DestroyMenu(menu);
  InvalidateRect(Item(IDC_MENU), nullptr, TRUE);
}

void CKestrunDlg::refreshMachineSelector() {
  HWND selector = Item(IDC_MACHINE_SELECTOR);
  SendMessageW(selector, CB_RESETCONTENT, 0, 0);
  for (int n = 1; n <= machines_.count; ++n) {
    SendMessageW(selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(machines_.slot(n).name)));
  }
  const bool selectable = machines_.current >= 1 && machines_.current <= machines_.count;
  SendMessageW(selector, CB_SETCURSEL, selectable ? machines_.current - 1 : -1, 0);
  const MacRecord& machine = machines_.currentMachine();
  if (auto text = modeText(machine.downloadMode)) SetDlgItemTextW(window_, IDC_MODE, Wide(Text(*text)));
  if (auto text = speedText(machine.syncSpeed)) SetDlgItemTextW(window_, IDC_SPEED, Wide(Text(*text)));
}

void CKestrunDlg::onMachineSelectorChanged() {
  const LRESULT chosen = SendMessageW(Item(IDC_MACHINE_SELECTOR), CB_GETCURSEL, 0, 0);
  if (chosen == CB_ERR) return;
  machines_.current = static_cast<int>(chosen) + 1;
  const MacRecord& machine = machines_.currentMachine();
  if (auto text = modeText(machine.downloadMode)) SetDlgItemTextW(window_, IDC_MODE, Wide(Text(*text)));
  if (auto text = speedText(machine.syncSpeed)) SetDlgItemTextW(window_, IDC_SPEED, Wide(Text(*text)));
  // A newly chosen machine is checked at once; the next transfer goes direct.
  link_.SetStoreInBox(false);
  link_.RequestLinkOperation(ConnectionCheck);
}

void CKestrunDlg::OnMachineSettings() {
  if (machines_.currentMachine().status != Online) {
    ui_.ShowCaptionedMessage(u"错误", u"设备尚未连接,请先连接设备!");
  }
}

// --- Messages from other programs and the tray ---

void CKestrunDlg::OnCopyData(const COPYDATASTRUCT* data) {
  if (data->cbData == 0) {
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    return;
  }
  const CommandText command = SplitCommandText(CopyDataText(data->lpData, data->cbData));
  if (!command.path.empty()) {
    document_.filePath = command.path;
    config_.saveConfiguration();
    document_.text.clear();
    document_.OpenDocumentByPath(command.path);
  }
  for (const Text& word : command.words) RunCommandWord(word);
}

void CKestrunDlg::RunCommandWord(TextView word) {
  switch (LookupCommand(word)) {
    case MainCommand::New:
      document_.NewDocument();
      break;
    case MainCommand::Auto:
      HideToTray();
      break;
    case MainCommand::Save:
      document_.SaveDocument();
      break;
    case MainCommand::Close:
      // Runs the shut-down steps only; the window stays and a later real
      // close repeats them without harm.
      ShutDownMainWindow();
      break;
    case MainCommand::None:
      break;
  }
}

void CKestrunDlg::OnMainEvent(WPARAM code) {
  switch (code) {
    case EVENT_SEND_READY:
      link_.OnSendReadyEvent();
      break;
    case EVENT_FOLDER_FILE:
      OnFolderFile();
      break;
    case EVENT_SEND_CANCEL:
      link_.OnSendCancelEvent();
      break;
  }
}

// A changed file of the linked folder is in the editor: send it, or let the
// operator choose machine and mode first, as set.
void CKestrunDlg::OnFolderFile() {
  if (!settings_.autoDown) return;
  if (settings_.autoDownAsk == 0) {
    link_.RequestTransfer(false);
    return;
  }
  StopFolderWatcher();
  DIALOG_SelMac(window_, machines_, link_).DoModal();
  refreshMachineSelector();
  linkWindow_.waits().WaitPumping(100);
  StartFolderWatcher(settings_.monitorDir);
}

void CKestrunDlg::OnTrayNotify(LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONUP:
      if (IsWindowVisible(window_)) {
        ShowWindow(window_, SW_HIDE);
      } else {
        ShowWindow(window_, SW_SHOWDEFAULT);
        SetForegroundWindow(window_);
      }
      break;
    case WM_LBUTTONDBLCLK:
      ShowWindow(window_, SW_SHOW);
      SetForegroundWindow(window_);
      break;
    case WM_RBUTTONUP: {
      POINT cursor;
      GetCursorPos(&cursor);
      HMENU menu = CreatePopupMenu();
      AppendMenuW(menu, MF_STRING, kTrayCloseCommand, L"关闭");
      SetForegroundWindow(window_);
      TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr);
      DestroyMenu(menu);
      break;
    }
  }
}

void CKestrunDlg::HideToTray() {
  config_.saveConfiguration();
  RemoveTrayIcon();
  Shell_NotifyIconW(NIM_ADD, &trayIcon_);
  ShowWindow(window_, SW_HIDE);
}

void CKestrunDlg::ShutDownMainWindow() {
  RemoveTrayIcon();
  config_.saveConfiguration();
}

// --- Drawing and the title bar ---

void CKestrunDlg::OnLButtonDown(LPARAM position) {
  if (GET_Y_LPARAM(position) <= kTitleBarHeight) SendMessageW(window_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

bool CKestrunDlg::OnPaint() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RECT client;
  GetClientRect(window_, &client);
  const int size = GetSystemMetrics(SM_CXICON);
  DrawIconEx(dc, (client.right - size + 1) / 2, (client.bottom - size + 1) / 2, programIcon_, size, size, 0, nullptr,
             DI_NORMAL);
  EndPaint(window_, &paint);
  return true;
}

void CKestrunDlg::OnDrawItem(const DRAWITEMSTRUCT& item) {
  for (const ButtonIcon& button : buttonIcons_) {
    if (button.id == static_cast<int>(item.CtlID)) {
      DrawIconButton(item, button.icon, button.size, kWindowBackground);
      return;
    }
  }
}

INT_PTR CKestrunDlg::OnCtlColor(HDC dc, HWND control) {
  SetBkMode(dc, TRANSPARENT);
  if (control == Item(IDC_TITLE)) SetTextColor(dc, kTitleText);
  return reinterpret_cast<INT_PTR>(backgroundBrush_);
}

// --- The editor, labels and dialogs, for the document ---

Text CKestrunDlg::EditorText() { return ControlText(Item(IDC_EDITOR)); }

int CKestrunDlg::EditorTextLength() const { return GetWindowTextLengthW(Item(IDC_EDITOR)); }

void CKestrunDlg::SetEditorText(const Text& text) {
  SetWindowTextW(Item(IDC_EDITOR), Wide(text));
  // Setting the text is a change like any other: the length follows it.
  document_.RefreshLengthDisplay();
}

void CKestrunDlg::ScrollEditorToTop() { SendMessageW(Item(IDC_EDITOR), WM_VSCROLL, SB_TOP, 0); }

void CKestrunDlg::SetFileNameLabel(TextView text) { SetDlgItemTextW(window_, IDC_FILE_NAME, Wide(Text(text))); }

void CKestrunDlg::SetLengthLabel(TextView text) { SetDlgItemTextW(window_, IDC_FILE_LENGTH, Wide(Text(text))); }

std::optional<Text> CKestrunDlg::ChooseFileToOpen(const Text& folder) {
  return RunFileDialog(window_, folder, false);
}

std::optional<Text> CKestrunDlg::ChooseFileToSave(const Text& folder) {
  return RunFileDialog(window_, folder, true);
}

void CKestrunDlg::SetCurrentFolder(const Text& folder) { SetCurrentDirectoryW(Wide(folder)); }

bool CKestrunDlg::ConfigFileExists(const Text& path) { return FileExists(path); }

// --- The transfer ---

bool CKestrunDlg::ParseCodeDocument() {
  RichCodeEditor editor(Item(IDC_EDITOR));
  return tramsel::ParseCodeDocument(editor, settings_, ui_, parsed_, image_);
}

bool CKestrunDlg::BuildCodeImage(int packetCapacity) {
  return tramsel::BuildCodeImage(parsed_, packetCapacity, ui_, image_);
}

void CKestrunDlg::PostSendReady() { PostMessageW(window_, WM_MAIN_EVENT, EVENT_SEND_READY, 1); }

void CKestrunDlg::RunSendCodeDialog(SendCodeProgress& progress) {
  DIALOG_SendCode dialog(window_, progress);
  sendDialog_ = &dialog;
  dialog.DoModal();
  sendDialog_ = nullptr;
}

bool CKestrunDlg::SendCodeDialogVisible() const { return sendDialog_ && sendDialog_->Visible(); }

void CKestrunDlg::EndSendCodeDialog() {
  if (sendDialog_) sendDialog_->EndWithOk();
}

void CKestrunDlg::ClearFileLabels() {
  SetDlgItemTextW(window_, IDC_FILE_NAME, L"");
  SetDlgItemTextW(window_, IDC_FILE_LENGTH, L"");
}

void CKestrunDlg::StartFolderWatcher(const Text& folder) {
  if (folder.empty()) {
    ui_.ShowMessage(u"没有选择文件夹!");
    return;
  }
  settings_.monitorDir = folder;
}

}  // namespace tramsel
