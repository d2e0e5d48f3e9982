// The serial communications control as the link uses it: the properties it
// sets and reads, nothing more. A host provides one (the Windows program its
// own control, the Linux command line a termios port, the tests a simulated
// line) and calls TransmitterLink::OnCommEvent() on the user-interface thread
// whenever the control notifies:
//   - receive: once at least RThreshold bytes are waiting (CommEvent 2);
//   - send: when the output buffer has drained after a write (CommEvent 1).
// CommEvent answers the event of the notification being delivered. A closed
// port notifies nothing.
#pragma once

#include <string>
#include <string_view>

namespace tramsel {

class SerialControl {
 public:
  virtual ~SerialControl() = default;

  // Port number, 1 to 16 when the link sets it; read back after a connect reply.
  virtual void SetCommPort(int number) = 0;
  virtual int CommPort() const = 0;
  virtual void SetInBufferSize(int bytes) = 0;
  virtual void SetOutBufferSize(int bytes) = 0;
  // 0: a read hands over everything waiting.
  virtual void SetInputLen(int bytes) = 0;
  // 1: raw bytes.
  virtual void SetInputMode(int mode) = 0;
  // "9600,n,8,1".
  virtual void SetSettings(std::string_view settings) = 0;
  virtual void SetRThreshold(int bytes) = 0;
  virtual void SetSThreshold(int bytes) = 0;

  // Opening answers false where the control raises its dispatch exception
  // (port missing, in use or gone); the port is then not open. Closing
  // always succeeds.
  virtual bool SetPortOpen(bool open) = 0;
  virtual bool PortOpen() const = 0;

  // Queues one whole frame without blocking; false where the control raises
  // its dispatch exception (the port has gone).
  virtual bool Output(std::string_view frame) = 0;
  // Every byte waiting; reading empties the input buffer.
  virtual std::string Input() = 0;

  virtual int CommEvent() const = 0;
};

}  // namespace tramsel
