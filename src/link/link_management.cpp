// Replies to the transmitter management commands: each ends its operation.
#include "link/transmitter_link.h"

namespace tramsel {

void TransmitterLink::OnCodeDeleted() {
  ClosePort();
  host_.ui.ShowMessage(u"消息:\r\n文件删除成功!");
}

// Reports the state the transmitter answers with, not the one asked for.
void TransmitterLink::OnDownloadKeyState(std::string_view payload) {
  ClosePort();
  host_.ui.ShowMessage(ReadDecimal(payload) != 0 ? u"消息:\r\n下载键为启用状态!"
                                                 : u"消息:\r\n下载键为禁用状态!");
}

void TransmitterLink::OnStationMatchingAllowed() {
  ClosePort();
  host_.ui.ShowMessage(u"消息:\r\n设置成功!");
}

}  // namespace tramsel
