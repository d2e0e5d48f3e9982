// The main window: dialog template 102, run modally for the whole life of the
// process. It owns the settings, the machine table and the configuration.
#pragma once

#include <windows.h>

#include <memory>

#include "app/window_operator_ui_win32.h"
#include "common/text_codec.h"
#include "config/app_settings.h"
#include "config/config_file.h"
#include "config/mac_table.h"

namespace tramsel {

class CKestrunApp;

class CKestrunDlg final : public ConfigHost {
 public:
  explicit CKestrunDlg(CKestrunApp& app);
  INT_PTR DoModal();

  void ShutDownMainWindow();

  // ConfigHost
  Text LoadDocumentFile(const Text& path) override;
  bool ConfigFileExists(const Text& path) override;
  void NewDocument() override {}
  void ClearFileLabels() override {}
  void StartFolderWatcher(const Text&) override {}
  void RunFirstStartShellActions() override {}
  void ResetPortSearch() override {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog();
  BOOL OnCopyData(const COPYDATASTRUCT* data);

  CKestrunApp& app_;
  HWND window_ = nullptr;
  std::unique_ptr<TextCodec> codec_;
  WindowOperatorUi ui_;
  AppSettings settings_;
  MacTable machines_;
  ConfigFile config_;
};

}  // namespace tramsel
