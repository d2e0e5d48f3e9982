#include "link/link_packet.h"

#include <algorithm>

namespace tramsel {

uint8_t FrameChecksum(std::string_view bytesBeforeChecksum) {
  uint8_t sum = 0;
  for (char c : bytesBeforeChecksum) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  return sum == 0 ? 1 : sum;
}

std::optional<std::string> BuildRequestFrame(uint8_t station, uint8_t command,
                                             std::string_view payload) {
  if (payload.size() > kMaxRequestPayload) return std::nullopt;
  std::string frame;
  frame.reserve(payload.size() + 6);
  frame += static_cast<char>(station);
  frame += static_cast<char>(kFrameLead);
  frame += static_cast<char>(command);
  if (!payload.empty()) {
    frame += payload;
    frame += '\0';
  }
  frame += static_cast<char>(FrameChecksum(frame));
  frame += static_cast<char>(kFrameEnd);
  return frame;
}

std::string BuildReplyFrame(uint8_t code, std::string_view payload) {
  std::string frame;
  frame += static_cast<char>(kFrameLead);
  frame += '\0';
  frame += static_cast<char>(code);
  frame += payload;
  frame += static_cast<char>(FrameChecksum(frame));
  frame += static_cast<char>(kFrameEnd);
  return frame;
}

std::optional<LinkPacket> ParseReplyFrame(std::string_view frame) {
  if (frame.size() < kMinReplyFrame || frame.size() > kMaxReplyFrame) return std::nullopt;
  if (static_cast<uint8_t>(frame[0]) != kFrameLead) return std::nullopt;
  const size_t checksumAt = frame.size() - 2;
  if (static_cast<uint8_t>(frame[checksumAt]) != FrameChecksum(frame.substr(0, checksumAt))) {
    return std::nullopt;
  }
  LinkPacket packet;
  packet.code = static_cast<uint8_t>(frame[2]);
  packet.payload = std::string(frame.substr(3, checksumAt - 3));
  return packet;
}

std::optional<LinkPacket> ParseRequestFrame(std::string_view frame) {
  if (frame.size() < 5 || frame.size() > kMaxRequestFrame) return std::nullopt;
  if (static_cast<uint8_t>(frame[1]) != kFrameLead) return std::nullopt;
  if (static_cast<uint8_t>(frame.back()) != kFrameEnd) return std::nullopt;
  const size_t checksumAt = frame.size() - 2;
  if (static_cast<uint8_t>(frame[checksumAt]) != FrameChecksum(frame.substr(0, checksumAt))) {
    return std::nullopt;
  }
  LinkPacket packet;
  packet.station = static_cast<uint8_t>(frame[0]);
  packet.code = static_cast<uint8_t>(frame[2]);
  if (frame.size() > 5) {
    // A payload is always followed by its terminating zero byte.
    if (frame.size() < 7 || frame[checksumAt - 1] != '\0') return std::nullopt;
    packet.payload = std::string(frame.substr(3, checksumAt - 4));
  }
  return packet;
}

void RequestFrameReader::Append(std::string_view bytes) { buffer_ += bytes; }

std::optional<std::string> RequestFrameReader::Next() {
  const std::string_view buffer = buffer_;
  // Try each position that could start a frame (its second byte is the lead
  // 0x01) and grow the candidate up to each end byte, keeping a running sum so
  // that a long run of garbage costs no more than a square of its length.
  for (size_t start = 0; start + 5 <= buffer.size(); ++start) {
    if (static_cast<uint8_t>(buffer[start + 1]) != kFrameLead) continue;
    const size_t limit = std::min(buffer.size(), start + kMaxRequestFrame);
    uint8_t sum = 0;
    for (size_t at = start; at + 2 < limit; ++at) {
      sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(buffer[at]));
      const size_t end = at + 2;  // at is the last byte before the checksum
      const size_t length = end - start + 1;
      if (length < 5 || static_cast<uint8_t>(buffer[end]) != kFrameEnd) continue;
      if (static_cast<uint8_t>(buffer[at + 1]) != (sum == 0 ? 1 : sum)) continue;
      auto frame = buffer.substr(start, length);
      if (!ParseRequestFrame(frame)) continue;
      std::string taken(frame);
      buffer_.erase(0, end + 1);
      return taken;
    }
  }
  if (buffer_.size() > kMaxRequestFrame) buffer_.erase(0, buffer_.size() - kMaxRequestFrame);
  return std::nullopt;
}

}  // namespace tramsel

namespace tramsel {

size_t ReceiveBuffer::FrameLengthAt(size_t at) const {
  const size_t available = std::min(bytes_.size() - at, kMaxReplyFrame);
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes_[at + i]); };
  const auto endsFrame = [&](size_t length, uint8_t sumBeforeChecksum) {
    const uint8_t checksum = sumBeforeChecksum == 0 ? 1 : sumBeforeChecksum;
    return byte(length - 1) == kFrameEnd && byte(length - 2) == checksum;
  };
  if (available < kMinReplyFrame) return 0;
  // One read holding one whole frame is that frame, even where a shorter
  // part of it would pass as a frame too (a payload may hold 0x03).
  if (bytes_.size() - at == available) {
    uint8_t sum = 0;
    for (size_t i = 0; i + 2 < available; ++i) sum = static_cast<uint8_t>(sum + byte(i));
    if (endsFrame(available, sum)) return available;
  }
  // Otherwise the shortest frame: two replies read together are two frames.
  uint8_t sum = static_cast<uint8_t>(byte(0) + byte(1) + byte(2));
  for (size_t length = kMinReplyFrame; length <= available; ++length) {
    if (endsFrame(length, sum)) return length;
    sum = static_cast<uint8_t>(sum + byte(length - 2));
  }
  return 0;
}

std::optional<std::string> ReceiveBuffer::NextFrame() {
  for (;;) {
    const size_t lead = bytes_.find(static_cast<char>(kFrameLead));
    if (lead == std::string::npos) {
      bytes_.clear();
      return std::nullopt;
    }
    bytes_.erase(0, lead);
    if (const size_t length = FrameLengthAt(0)) {
      std::string frame = bytes_.substr(0, length);
      bytes_.erase(0, length);
      return frame;
    }
    // A complete frame further on means that the bytes before it were a
    // damaged frame or noise, not the start of one still arriving.
    size_t next = bytes_.find(static_cast<char>(kFrameLead), 1);
    while (next != std::string::npos && !FrameLengthAt(next)) {
      next = bytes_.find(static_cast<char>(kFrameLead), next + 1);
    }
    if (next != std::string::npos) {
      bytes_.erase(0, next);
      continue;
    }
    // No frame is longer than the work copy: this lead byte starts none.
    if (bytes_.size() > kMaxReplyFrame) {
      bytes_.erase(0, 1);
      continue;
    }
    return std::nullopt;
  }
}

}  // namespace tramsel
