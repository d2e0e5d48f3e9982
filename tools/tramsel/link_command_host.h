// The platform under the link subcommands: the link's serial control, port
// directory, timers and waits, and the loop of the user-interface thread
// that runs them. Linux has a termios port and a poll loop
// (link_command_host_posix.cpp), Windows the program's own serial control on
// a message-only window (link_command_host_win32.cpp). Everything the
// subcommands say and decide is portable and lives in link_commands.cpp.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "cli.h"
#include "link/link_timers.h"
#include "link/link_waits.h"
#include "link/port_directory.h"
#include "link/serial_control.h"

namespace tramsel {

class TransmitterLink;

class LinkCommandHost {
 public:
  virtual ~LinkCommandHost() = default;

  // The parts of the LinkHost the platform provides. The timers' and the
  // serial control's notifications reach the link once Attach has run.
  virtual SerialControl& serial() = 0;
  virtual PortDirectory& ports() = 0;
  virtual LinkTimers& timers() = 0;
  virtual LinkWaits& waits() = 0;
  // False, after a message on `err`, when the platform cannot host the link.
  virtual bool Attach(TransmitterLink& link, Utf8Writer& err) = 0;

  // Waits at most ms for something to happen and dispatches it.
  virtual void RunOnce(int ms) = 0;
  // Runs the event on the loop's thread, after what is already waiting.
  virtual void Post(std::function<void()> event) = 0;
  // A periodic timer of the progress dialog, apart from the link's timers
  // even where the ids are the same.
  virtual void SetDialogTimer(int id, int periodMs, std::function<void()> onTick) = 0;
  virtual void KillDialogTimer(int id) = 0;

  // How many times the operator has pressed Ctrl-C so far, counted on the
  // loop's thread.
  virtual int Interrupts() const = 0;

  // After the run, with the port closed: what the platform adds on standard
  // error.
  virtual void ReportEnd(bool succeeded, Utf8Writer& err) = 0;
};

// The LINK OPTIONS help lines of --port.
extern const std::string_view kPortHelp;

// The host for a --port value ("auto" or a port); null, with `error` set,
// when the value names no port.
std::unique_ptr<LinkCommandHost> MakeLinkCommandHost(const std::string& port, std::string& error);

}  // namespace tramsel
