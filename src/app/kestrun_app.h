// The application object: the process's start routine, the single-instance
// rule and the main window's modal run.
#pragma once

#include "common/text.h"

namespace tramsel {

// The main window's caption, the same as dialog template 102's; other
// processes find the running instance by it.
inline constexpr char16_t kMainWindowTitle[] = u"@Vorlane 3BTramsel(在线版)-Halvercot";

class CKestrunApp {
 public:
  // The whole life of the system lies inside this call; it always answers
  // that the application is not to continue, so the process ends.
  bool InitInstance();

  // The executable's folder without a trailing backslash.
  Text AppFolder;
  // The executable's file name without its extension: the caption of the
  // application's message boxes.
  Text AppName;
  bool HasStartArgument = false;
  Text StartArgument;
};

extern CKestrunApp theApp;

}  // namespace tramsel
