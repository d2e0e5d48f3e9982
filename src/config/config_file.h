// The configuration file beside the executable: every setting and machine,
// read once at start and rewritten whole at every save.
#pragma once

#include <string>

#include "common/operator_ui.h"
#include "common/text.h"
#include "common/text_codec.h"
#include "config/app_settings.h"
#include "config/mac_table.h"

namespace tramsel {

// What loading and saving call out to: the code document, the linked-folder
// watcher, the first-run shell actions and the link's port search.
class ConfigHost {
 public:
  virtual ~ConfigHost() = default;
  // The document's loader: reads and decodes the file, records it as the
  // document's file and sets the settings' defaultFolder to its folder; on
  // failure shows its own message and answers an empty text.
  virtual Text LoadDocumentFile(const Text& path) = 0;
  virtual bool ConfigFileExists(const Text& path) = 0;
  virtual void NewDocument() = 0;
  virtual void ClearFileLabels() = 0;
  virtual void StartFolderWatcher(const Text& folder) = 0;
  // File association, desktop shortcut, Startup shortcut, in this order.
  virtual void RunFirstStartShellActions() = 0;
  virtual void ResetPortSearch() = 0;
};

class ConfigFile {
 public:
  // appFolder: the executable's folder, base of the default "\3B Code".
  ConfigFile(Text path, Text appFolder, AppSettings& settings, MacTable& machines, ConfigHost& host,
             OperatorUi& ui, const TextCodec& codec);

  const Text& path() const { return path_; }

  void loadConfiguration();
  // Writes the whole file in one replacing step; false (after the message)
  // when it could not be written, the old file then left as it was.
  bool saveConfiguration();
  void parseConfigLine(TextView line);

  // The file as saveConfiguration writes it.
  std::string ConfigurationBytes() const;

 private:
  Text DefaultCodeFolder() const { return appFolder_ + u"\\3B Code"; }
  void AppendMachine(TextView row);

  Text path_;
  Text appFolder_;
  AppSettings& settings_;
  MacTable& machines_;
  ConfigHost& host_;
  OperatorUi& ui_;
  const TextCodec& codec_;
};

}  // namespace tramsel
