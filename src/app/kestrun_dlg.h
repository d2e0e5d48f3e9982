// The main window: dialog template 102, run modally for the whole life of the
// process. It owns the settings, the machine table, the configuration file
// and the code document, and routes every command to the part that serves it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "app/window_operator_ui_win32.h"
#include "code3b/code_document.h"
#include "code3b/code_image.h"
#include "code3b/parsed_line.h"
#include "common/text_codec.h"
#include "config/app_settings.h"
#include "config/config_file.h"
#include "config/mac_table.h"
#include "link/link_host_window_win32.h"
#include "link/transmitter_link.h"

namespace tramsel {

class CKestrunApp;
class DIALOG_SendCode;

// The main window's own event message and its codes.
inline constexpr UINT WM_MAIN_EVENT = WM_USER + 101;
inline constexpr int EVENT_FOLDER_FILE = 7;
// The tray icon's callback message.
inline constexpr UINT WM_TRAY_NOTIFY = 1500;

class CKestrunDlg final : public ConfigHost,
                         public DocumentWindow,
                         public TransferDocument,
                         public TransferWindows {
 public:
  explicit CKestrunDlg(CKestrunApp& app);
  ~CKestrunDlg() override;
  INT_PTR DoModal();

  void HideToTray();
  void ShutDownMainWindow();

  // ConfigHost
  Text LoadDocumentFile(const Text& path) override { return document_.LoadDocumentFile(path); }
  bool ConfigFileExists(const Text& path) override;
  void NewDocument() override { document_.NewDocument(); }
  void ClearFileLabels() override;
  void StartFolderWatcher(const Text& folder) override;
  void RunFirstStartShellActions() override {}
  void ResetPortSearch() override { link_.ResetPortSearch(); }

  // DocumentWindow
  Text EditorText() override;
  // Also the length the progress dialog shows.
  int EditorTextLength() const override;
  void SetEditorText(const Text& text) override;
  void ScrollEditorToTop() override;
  void SetFileNameLabel(TextView text) override;
  void SetLengthLabel(TextView text) override;
  std::optional<Text> ChooseFileToOpen(const Text& folder) override;
  std::optional<Text> ChooseFileToSave(const Text& folder) override;
  void SetCurrentFolder(const Text& folder) override;
  void Sleep(int ms) override { ::Sleep(ms); }
  void StopFolderWatcher() override {}
  void SaveConfiguration() override { config_.saveConfiguration(); }

  // TransferDocument: the parse of the editor and the image sent from it.
  bool ParseCodeDocument() override;
  bool BuildCodeImage(int packetCapacity) override;
  const CodeImage& Image() const override { return image_; }

  // TransferWindows
  void PostSendReady() override;
  void RunSendCodeDialog(SendCodeProgress& progress) override;
  bool SendCodeDialogVisible() const override;
  void EndSendCodeDialog() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND Item(int id) const { return GetDlgItem(window_, id); }

  // Messages.
  BOOL OnInitDialog();
  void OnCommand(int id, int code);
  INT_PTR OnNotify(const NMHDR& header);
  void OnCopyData(const COPYDATASTRUCT* data);
  void OnMainEvent(WPARAM code);
  void OnTrayNotify(LPARAM mouseMessage);
  void OnLButtonDown(LPARAM position);
  bool OnPaint();
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  INT_PTR OnCtlColor(HDC dc, HWND control);

  // Controls and commands.
  void OnMenuButton();
  void OnMachineSettings();
  void OnFolderFile();
  void refreshMachineSelector();
  void onMachineSelectorChanged();
  void RunCommandWord(TextView word);

  // Initialisation.
  void MakeBorderless();
  void AddTrayIcon();
  void RemoveTrayIcon();
  void PrepareEditor();
  void SetUpButtons();
  void OpenStartFile();
  void CheckUsbDriver();

  CKestrunApp& app_;
  HWND window_ = nullptr;
  std::unique_ptr<TextCodec> codec_;
  WindowOperatorUi ui_;
  AppSettings settings_;
  MacTable machines_;
  ConfigFile config_;
  CodeDocument document_;
  std::vector<ParsedLine> parsed_;
  CodeImage image_;
  DIALOG_SendCode* sendDialog_ = nullptr;
  // The serial control, timers and waits on this window, then the link.
  LinkHostWindow linkWindow_;
  TransmitterLink link_;

  NOTIFYICONDATAW trayIcon_{};
  HICON programIcon_ = nullptr;
  HICON smallProgramIcon_ = nullptr;
  HBRUSH backgroundBrush_ = nullptr;
  HFONT titleFont_ = nullptr;
  struct ButtonIcon {
    int id;
    HICON icon;
    int size;
  };
  std::vector<ButtonIcon> buttonIcons_;
};

}  // namespace tramsel
