#include "link/serial_control_win32.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>

#include "link/link_codes.h"

namespace tramsel {

namespace {

constexpr DWORD kReadChunk = 2048;

// "baud,parity,data bits,stop bits", as in "9600,n,8,1".
bool ApplySettings(const std::string& settings, DCB& dcb) {
  int baud = 0, dataBits = 0;
  char parity = 0;
  char stop[4] = {};
  if (std::sscanf(settings.c_str(), "%d,%c,%d,%3s", &baud, &parity, &dataBits, stop) != 4) return false;
  if (baud <= 0 || dataBits < 5 || dataBits > 8) return false;
  switch (parity | 0x20) {
    case 'n': dcb.Parity = NOPARITY; break;
    case 'e': dcb.Parity = EVENPARITY; break;
    case 'o': dcb.Parity = ODDPARITY; break;
    case 'm': dcb.Parity = MARKPARITY; break;
    case 's': dcb.Parity = SPACEPARITY; break;
    default: return false;
  }
  const std::string stopBits = stop;
  if (stopBits == "1") {
    dcb.StopBits = ONESTOPBIT;
  } else if (stopBits == "1.5") {
    dcb.StopBits = ONE5STOPBITS;
  } else if (stopBits == "2") {
    dcb.StopBits = TWOSTOPBITS;
  } else {
    return false;
  }
  dcb.BaudRate = static_cast<DWORD>(baud);
  dcb.ByteSize = static_cast<BYTE>(dataBits);
  dcb.fParity = dcb.Parity != NOPARITY;
  // Raw bytes, no handshaking; DTR and RTS raised as a terminal raises them.
  dcb.fBinary = TRUE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  return true;
}

}  // namespace

struct CMscomm1::Line {
  Line(HANDLE port, HWND owner, unsigned opening, size_t inputLimit, int rThreshold, int sThreshold)
      : port(port),
        owner(owner),
        opening(opening),
        inputLimit(inputLimit),
        rThreshold(rThreshold),
        sThreshold(sThreshold) {
    writing.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }

  ~Line() {
    CloseHandle(writing.hEvent);
    CloseHandle(stop);
    CloseHandle(wake);
    CloseHandle(port);
  }

  bool ReadWaiting(OVERLAPPED& reading, char* buffer, DWORD size, DWORD& length);
  void Run();
  void Received(const char* bytes, DWORD count);
  // Under the lock: hands what is queued to WriteFile unless a write is
  // under way; false when the device has gone.
  bool StartWrite();
  // Under the lock: a write has completed with `transferred` bytes.
  void Written(DWORD transferred);
  // Under the lock: posts a receive notification when enough bytes wait and
  // none is on its way.
  void NotifyReceiveIfDue();

  const HANDLE port;
  const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const HWND owner;
  const unsigned opening;
  const size_t inputLimit;

  std::mutex mutex;  // guards everything below
  std::string input;
  std::string output;   // queued, not yet handed to WriteFile
  std::string written;  // the batch WriteFile holds
  OVERLAPPED writing{};
  bool writePending = false;  // the I/O thread collects its completion
  int rThreshold;
  int sThreshold;
  bool receivePosted = false;
  bool gone = false;  // a read or write failed: the device has gone

  std::thread thread;
};

void CMscomm1::Line::NotifyReceiveIfDue() {
  if (receivePosted || rThreshold <= 0 || input.size() < static_cast<size_t>(rThreshold)) return;
  receivePosted = PostMessageW(owner, kNotifyMessage, opening, CommEventReceive) != FALSE;
}

void CMscomm1::Line::Received(const char* bytes, DWORD count) {
  std::lock_guard lock(mutex);
  // A full input buffer loses what arrives, as a driver's would.
  input.append(bytes, std::min<size_t>(count, inputLimit - std::min(inputLimit, input.size())));
  NotifyReceiveIfDue();
}

bool CMscomm1::Line::StartWrite() {
  while (!gone && !writePending) {
    if (written.empty()) written.swap(output);
    if (written.empty()) return true;
    if (WriteFile(port, written.data(), static_cast<DWORD>(written.size()), nullptr, &writing)) {
      DWORD transferred = 0;
      GetOverlappedResult(port, &writing, &transferred, FALSE);
      Written(transferred);
    } else if (GetLastError() == ERROR_IO_PENDING) {
      writePending = true;
    } else {
      gone = true;
    }
  }
  if (gone) {
    output.clear();
    written.clear();
  }
  return !gone;
}

// Appends to buffer what waits in the driver, up to its size; false when the
// device has gone.
bool CMscomm1::Line::ReadWaiting(OVERLAPPED& reading, char* buffer, DWORD size, DWORD& length) {
  COMSTAT status{};
  DWORD errors = 0;
  while (length < size && ClearCommError(port, &errors, &status) && status.cbInQue > 0) {
    const DWORD wanted = std::min(status.cbInQue, size - length);
    DWORD got = 0;
    if (!ReadFile(port, buffer + length, wanted, nullptr, &reading) && GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    if (!GetOverlappedResult(port, &reading, &got, TRUE)) return false;
    length += got;
  }
  return true;
}

void CMscomm1::Line::Written(DWORD transferred) {
  written.erase(0, transferred);
  if (written.empty() && output.empty() && sThreshold > 0) {
    PostMessageW(owner, kNotifyMessage, opening, CommEventSend);
  }
}

// The I/O thread: keeps one read outstanding, collects the writes that did
// not complete at once and starts the next, and stops when asked, after
// cancelling and collecting the outstanding operations.
//
// A read asks for one byte, which completes the moment anything arrives (the
// port has no read time-outs); what else waits in the driver by then is read
// at once and handed over with it. An interval time-out would hand over whole
// bursts too, but only after it has passed, and under Wine it runs on a
// coarse timer.
void CMscomm1::Line::Run() {
  OVERLAPPED reading{};
  reading.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  char buffer[kReadChunk];
  bool readPending = false, readFailed = false;

  for (;;) {
    if (!readFailed && !readPending) {
      if (ReadFile(port, buffer, 1, nullptr, &reading) || GetLastError() == ERROR_IO_PENDING) {
        readPending = true;
      } else {
        readFailed = true;
      }
    }
    bool waitForWrite;
    {
      std::lock_guard lock(mutex);
      if (readFailed) gone = true;
      StartWrite();
      waitForWrite = writePending;
    }

    HANDLE waitFor[4] = {stop, wake};
    DWORD count = 2;
    DWORD readSlot = MAXDWORD, writeSlot = MAXDWORD;
    if (readPending) waitFor[readSlot = count++] = reading.hEvent;
    if (waitForWrite) waitFor[writeSlot = count++] = writing.hEvent;
    const DWORD signalled = WaitForMultipleObjects(count, waitFor, FALSE, INFINITE) - WAIT_OBJECT_0;
    if (signalled == 0 || signalled >= count) break;
    DWORD transferred = 0;
    if (signalled == readSlot) {
      readPending = false;
      if (!GetOverlappedResult(port, &reading, &transferred, FALSE)) {
        readFailed = true;
      } else if (transferred > 0) {
        readFailed = !ReadWaiting(reading, buffer, sizeof buffer, transferred);
        Received(buffer, transferred);
      }
    } else if (signalled == writeSlot) {
      std::lock_guard lock(mutex);
      writePending = false;
      if (!GetOverlappedResult(port, &writing, &transferred, FALSE)) {
        gone = true;
      } else {
        Written(transferred);
      }
    }
  }

  // Writes may have been started by the user-interface thread: cancel them all.
  bool writeOutstanding;
  {
    std::lock_guard lock(mutex);
    writeOutstanding = writePending;
  }
  if (readPending || writeOutstanding) {
    CancelIoEx(port, nullptr);
    DWORD transferred;
    if (readPending) GetOverlappedResult(port, &reading, &transferred, TRUE);
    if (writeOutstanding) GetOverlappedResult(port, &writing, &transferred, TRUE);
  }
  CloseHandle(reading.hEvent);
}

CMscomm1::CMscomm1() = default;

CMscomm1::~CMscomm1() { Close(); }

void CMscomm1::SetOwner(HWND owner, std::function<void()> onComm) {
  owner_ = owner;
  onComm_ = std::move(onComm);
}

void CMscomm1::SetRThreshold(int bytes) {
  rThreshold_ = bytes;
  if (!line_) return;
  std::lock_guard lock(line_->mutex);
  line_->rThreshold = bytes;
  line_->NotifyReceiveIfDue();
}

void CMscomm1::SetSThreshold(int bytes) {
  sThreshold_ = bytes;
  if (!line_) return;
  std::lock_guard lock(line_->mutex);
  line_->sThreshold = bytes;
}

bool CMscomm1::SetPortOpen(bool open) {
  if (open == PortOpen()) return open;
  if (!open) {
    Close();
    return true;
  }
  return Open();
}

bool CMscomm1::Open() {
  wchar_t name[32];
  std::swprintf(name, 32, L"\\\\.\\COM%d", commPort_);
  HANDLE port = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  COMMTIMEOUTS timeouts{};  // reads wait for what they ask, writes take their time
  SetupComm(port, inBufferSize_, outBufferSize_);
  if (!GetCommState(port, &dcb) || !ApplySettings(settings_, dcb) || !SetCommState(port, &dcb) ||
      !SetCommTimeouts(port, &timeouts)) {
    CloseHandle(port);
    return false;
  }
  // What waited in the driver before the port was ours is nobody's.
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  line_ = std::make_unique<Line>(port, owner_, ++openings_, static_cast<size_t>(std::max(inBufferSize_, 1)),
                                 rThreshold_, sThreshold_);
  line_->thread = std::thread(&Line::Run, line_.get());
  return true;
}

void CMscomm1::Close() {
  if (!line_) return;
  SetEvent(line_->stop);
  line_->thread.join();
  line_.reset();
}

bool CMscomm1::Output(std::string_view frame) {
  if (!line_) return false;
  bool collect;
  {
    std::lock_guard lock(line_->mutex);
    if (line_->gone) return false;
    line_->output.append(frame);
    // Written here and now, not a thread switch later: the frame is on its
    // way when Output returns, and only a write that did not complete at
    // once is left to the I/O thread.
    if (!line_->StartWrite()) return false;
    collect = line_->writePending;
  }
  if (collect) SetEvent(line_->wake);
  return true;
}

std::string CMscomm1::Input() {
  if (!line_) return {};
  std::lock_guard lock(line_->mutex);
  std::string taken;
  if (inputLen_ > 0 && line_->input.size() > static_cast<size_t>(inputLen_)) {
    taken = line_->input.substr(0, inputLen_);
    line_->input.erase(0, inputLen_);
  } else {
    taken.swap(line_->input);
  }
  return taken;
}

void CMscomm1::Deliver(WPARAM wParam, LPARAM lParam) {
  if (!line_ || wParam != line_->opening) return;
  const int event = static_cast<int>(lParam);
  if (event == CommEventReceive) {
    std::lock_guard lock(line_->mutex);
    line_->receivePosted = false;
    if (line_->rThreshold <= 0 || line_->input.size() < static_cast<size_t>(line_->rThreshold)) return;
  }
  // A handler that waits delivers further notifications inside; each sees its own event.
  const int outer = commEvent_;
  commEvent_ = event;
  if (onComm_) onComm_();
  commEvent_ = outer;
}

}  // namespace tramsel
