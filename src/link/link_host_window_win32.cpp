#include "link/link_host_window_win32.h"

#include "link/transmitter_link.h"

namespace tramsel {

namespace {

constexpr wchar_t kMessageWindowClass[] = L"TramselLinkHost";

}  // namespace

LinkHostWindow::LinkHostWindow(Text libFolder) : ports_(std::move(libFolder)) {}

LinkHostWindow::~LinkHostWindow() {
  // The port and its thread go first: nothing may post to a window that is gone.
  serial_.SetPortOpen(false);
  if (ownWindow_ && window_) DestroyWindow(window_);
}

void LinkHostWindow::Attach(HWND window, TransmitterLink& link) {
  window_ = window;
  link_ = &link;
  serial_.SetOwner(window, [this] { link_->OnCommEvent(); });
  timers_.SetOwner(window);
}

bool LinkHostWindow::CreateMessageWindow(TransmitterLink& link) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MessageWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kMessageWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
  HWND window = CreateWindowExW(0, kMessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), this);
  if (!window) return false;
  ownWindow_ = true;
  Attach(window, link);
  return true;
}

LRESULT CALLBACK LinkHostWindow::MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<LinkHostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && self->HandleMessage(message, wParam, lParam)) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

bool LinkHostWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!link_) return false;
  switch (message) {
    case WM_TIMER:
      if (wParam == kSupervisorTimer) {
        link_->OnSupervisorTick();
        return true;
      }
      if (wParam == kRequestPollTimer) {
        link_->OnRequestPollTick();
        return true;
      }
      return false;
    case CMscomm1::kNotifyMessage:
      serial_.Deliver(wParam, lParam);
      return true;
    case WindowLinkTimers::kReplyTimeoutMessage:
      link_->OnReplyTimeout(static_cast<ReplyTimerHandle>(wParam));
      return true;
    default:
      return false;
  }
}

}  // namespace tramsel
