// The file transfer: line settings, start, the block loop driven by the
// transmitter, the end of data, the cancel paths and the progress dialog.
#include <algorithm>

#include "link/transmitter_link.h"

namespace tramsel {

namespace {

// The speed value sent twice in the line settings, by sync speed.
constexpr int kSpeedValues[] = {100, 150, 200, 80, 50, 20, 10};

int SpeedValue(int syncSpeed) {
  return syncSpeed >= Standard && syncSpeed <= VeryFastPlus ? kSpeedValues[syncSpeed]
                                                              : kSpeedValues[Standard];
}

// Code bytes are ASCII; held as text they are the same characters.
Text BlockText(const std::string& block) { return Text(block.begin(), block.end()); }

TextView CancelReasonText(int reason) {
  switch (reason) {
    case 1: return u"代码出错";
    case 2: return u"应答传送超时";
    case 3: return u"应答时代码不足";
    case 4: return u"文件不存在";
    case 11: return u"传送器正在进行传送";
    case 12: return u"传送超时";
    case 13: return u"新建文件失败!";
    case 14: return u"存储空间不足!";
    default: return u"无";
  }
}

}  // namespace

void TransmitterLink::RequestTransfer(bool storing) {
  s_.storeInBox = storing;
  RequestLinkOperation(FileTransfer);
}

bool TransmitterLink::StartTransfer() {
  s_.superviseActive = false;
  if (s_.storeInBox && currentMachine().transmitterVersion < 200) {
    if (host_.ui.Ask(u"不支持的传送模式", u"该传送器不支持离线传送,是否转为在线模式?")) {
      s_.storeInBox = false;
    } else {
      ClosePort();
      host_.ui.SetStatusText(u"使用了不支持的传送模式\r\n传送取消....");
      return false;
    }
  }
  host_.ui.SetStatusText(u"正在解析文件....");
  if (!host_.document.ParseCodeDocument() ||
      !host_.document.BuildCodeImage(currentMachine().packetCapacity)) {
    host_.ui.SetStatusText(u"解析文件错误");
    return false;
  }
  host_.ui.SetStatusText(u"文件解析成功....");
  s_.requestedBlock = 0;
  host_.windows.PostSendReady();
  return true;
}

void TransmitterLink::OnSendReadyEvent() {
  if (currentMachine().status != Online) {
    host_.ui.ShowMessage(u"错误:\r\n没有链接到传送器,请先完成联机.");
    return;
  }
  s_.superviseActive = false;
  host_.waits.WaitPumping(200);
  SendCodeProgress progress(s_, host_.document.Image().blockCount(),
                            host_.document.EditorTextLength());
  host_.windows.RunSendCodeDialog(progress);
}

void TransmitterLink::OnSendCancelEvent() {
  s_.currentOperation = 0;
  host_.ui.SetStatusText(u"\r\n正在取消...");
}

void TransmitterLink::OnDownloadPrepared() {
  host_.waits.WaitPumping(200);
  const MacRecord& m = currentMachine();
  const Text speed = DecimalText(SpeedValue(m.syncSpeed));
  const Text settings = speed + u"@" + speed + u"@" + DecimalText(m.emptyAnswers) + u"@" +
                        DecimalText(m.downloadMode + (s_.storeInBox ? 10 : 0));
  SendRequest(currentStation(), CmdLineSettings, settings);
}

void TransmitterLink::OnLineSettingsTaken() {
  host_.waits.WaitPumping(200);
  if (s_.storeInBox) {
    SendRequest(currentStation(), CmdFirstBlock, u"");
  } else {
    SendRequest(currentStation(), CmdStartDirect, DecimalText(currentMachine().downloadMode));
  }
}

void TransmitterLink::OnDownloadStarted() {
  host_.ui.SetStatusText(u"消息:\r\n传送已开始!!");
  host_.waits.WaitPumping(200);
  SendRequest(currentStation(), CmdFirstBlock, u"");
}

void TransmitterLink::OnFirstBlockWanted(std::string_view payload) {
  if (s_.currentOperation == 0) {
    SendRequest(currentStation(), CmdCancelDownload, u"");
    return;
  }
  s_.requestedBlock = ReadDecimal(payload);
  host_.ui.SetStatusText(u"下载中....\r\n正在发送" + DecimalText(s_.requestedBlock) + u"包,共" +
                         DecimalText(host_.document.Image().blockCount()) + u"包");
  host_.waits.WaitPumping(100);
  if (s_.requestedBlock == 0) return;  // the transmitter wants nothing
  SendBlock(s_.requestedBlock);
}

void TransmitterLink::OnBlockTaken(std::string_view payload) {
  if (s_.currentOperation == 0) {
    SendRequest(currentStation(), CmdCancelDownload, u"");
    return;
  }
  s_.requestedBlock = ReadDecimal(payload);
  const CodeImage& image = host_.document.Image();
  if (s_.requestedBlock <= 0 || s_.requestedBlock > image.blockCount()) {
    SendRequest(currentStation(), CmdEndOfData, image.lineCountReport(settings_.lineCounterType));
    return;
  }
  host_.ui.SetStatusText(u"下载中....\r\n正在发送" + DecimalText(s_.requestedBlock) + u"包,共" +
                         DecimalText(image.blockCount()) + u"包");
  SendBlock(s_.requestedBlock);
}

// A number outside the image (beyond the last block, or below 1) goes out
// as an empty block.
void TransmitterLink::SendBlock(int number) {
  const CodeImage& image = host_.document.Image();
  const Text payload =
      number >= 1 && number <= image.blockCount() ? BlockText(image.blocks[number - 1]) : Text();
  SendRequest(currentStation(), CmdBlock, payload);
}

void TransmitterLink::OnEndOfDataTaken() {
  const bool direct = !s_.storeInBox;
  if (direct && host_.document.Image().blockCount() <= 5) {
    // The port stays open for the transmitter's 59 or 55.
    host_.ui.SetStatusText(u"文件传送完成\r\n等待传送器下载完成");
  } else {
    if (direct) s_.currentOperation = 0;
    ClosePort();
    host_.ui.SetStatusText(u"文件传送完成\r\n");
    host_.ui.ShowMessage(u"消息:\r\n文件传送完成!");
  }
  EndProgressDialogIfVisible();
}

void TransmitterLink::OnDownloadCancelled() {
  s_.currentOperation = 0;
  host_.ui.SetStatusText(u"\r\n下载已取消...");
  ClosePort();
  host_.ui.ShowMessage(u"消息:\r\n下载已取消!!");
}

void TransmitterLink::OnTransmitterCancelled(std::string_view payload) {
  s_.retryCount = 0;
  s_.currentOperation = 0;
  ClosePort();
  host_.ui.SetStatusText(u"\r\n传送已取消...");
  DisarmReplyTimer();
  host_.ui.ShowMessage(
      Text(u"传送器取消了传送!请检查单板机及传输器是否出错\r\n\r\n\r\n\r\n附加消息:") +
      Text(CancelReasonText(ReadDecimal(payload))));
  EndProgressDialogIfVisible();
}

void TransmitterLink::OnDelivered() {
  host_.ui.SetStatusText(u"传送完成...");
  ClosePort();
  host_.ui.ShowMessage(u"恭喜\r\n代码传送成功!");
}

void TransmitterLink::EndProgressDialogIfVisible() {
  if (host_.windows.SendCodeDialogVisible()) host_.windows.EndSendCodeDialog();
}

SendCodeProgress::SendCodeProgress(const LinkSession& session, int blockCount, int editorTextLength)
    : session_(session), blockCount_(blockCount), editorTextLength_(editorTextLength) {}

Text SendCodeProgress::LengthText() const {
  return u"文件长度:" + DecimalText(editorTextLength_) + u"字节";
}

// The bar's range is 16 bits wide.
int SendCodeProgress::RangeHigh() const { return std::min(blockCount_, 0xFFFF); }

SendCodeProgress::PercentTick SendCodeProgress::OnPercentTick() const {
  const int block = session_.requestedBlock;
  PercentTick tick;
  if (block != 0) tick.position = block;
  long long percent = blockCount_ > 0 ? static_cast<long long>(block) * 100 / blockCount_ : 0;
  if (percent > 100 || percent < 0) percent = 100;
  tick.text = u"已发 " + DecimalText(percent) + u"% ,请耐心等候...     已消耗时间" +
              DecimalText(elapsedTenths_ / 10) + u"秒";
  return tick;
}

}  // namespace tramsel
