// The settings kept in the configuration file, with their built-in defaults.
#pragma once

#include "common/text.h"

namespace tramsel {

struct AppSettings {
  int defaultPort = 0;          // _Defaultport
  Text defaultFolder;           // _filepath
  Text monitorDir;              // _MonDir
  bool changeMonDir = false;    // _ChangeMonDir
  bool autoDown = true;         // _AutoDown
  bool autoTrans = false;       // _AutoTrans
  int autoTransMode = 1;        // _AutoTransMode
  int autoDownAsk = 1;          // _AutoDownASK
  int lineCounterType = 0;      // _LinCounterType
  int jumpCodeProcessType = 0;  // _JmpCodeProcessType
};

}  // namespace tramsel
