// Frames on the serial link. A request goes host to transmitter:
//   station, 0x01, command, [payload bytes, 0x00], checksum, 0x03
// and a reply comes back:
//   0x01, (not examined), code, payload bytes, checksum, end byte.
// The checksum is the byte sum of everything before it, modulo 256, with 1
// in place of 0.
#pragma once

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tramsel {

inline constexpr uint8_t kFrameLead = 0x01;
inline constexpr uint8_t kFrameEnd = 0x03;
// Requests are built in a 1000-byte frame: payloads of up to 994 bytes.
inline constexpr size_t kMaxRequestFrame = 1000;
inline constexpr size_t kMaxRequestPayload = kMaxRequestFrame - 6;
// Replies are handled in a 1024-byte work copy; longer ones are dropped.
inline constexpr size_t kMaxReplyFrame = 1024;
inline constexpr size_t kMinReplyFrame = 5;

uint8_t FrameChecksum(std::string_view bytesBeforeChecksum);

// The request frame, or nothing when the payload is longer than a frame holds.
std::optional<std::string> BuildRequestFrame(uint8_t station, uint8_t command,
                                             std::string_view payload);

struct LinkPacket {
  uint8_t station = 0;  // requests only
  uint8_t code = 0;
  std::string payload;  // without the request's terminating 0x00
};

// A whole reply frame as the transmitter sends it, for the simulator and tests.
std::string BuildReplyFrame(uint8_t code, std::string_view payload);

// Reads one complete reply frame; nothing when its lead byte, length or
// checksum is wrong. The end byte is not examined.
std::optional<LinkPacket> ParseReplyFrame(std::string_view frame);

// The bytes read from the serial control, cut into reply frames. A frame
// starts with 0x01, is at least 5 and at most 1024 bytes long, carries the
// checksum of the bytes before it in its second-to-last byte and ends with
// 0x03. Bytes that cannot start a frame are skipped; the start of a frame
// is kept until the rest arrives.
class ReceiveBuffer {
 public:
  void Append(std::string_view bytes) { bytes_.append(bytes); }
  // The next complete frame, whole; nothing while none is complete.
  std::optional<std::string> NextFrame();
  void Clear() { bytes_.clear(); }
  bool empty() const { return bytes_.empty(); }

 private:
  // Length of the frame starting at `at`, or 0 when none is complete there.
  size_t FrameLengthAt(size_t at) const;

  std::string bytes_;
};

// Reads one complete request frame (the simulator's side); nothing when it is
// malformed.
std::optional<LinkPacket> ParseRequestFrame(std::string_view frame);

// The transmitter's side of the stream: collects the bytes read from the line
// and cuts whole request frames out of them. Bytes that cannot belong to a
// frame are skipped, and a frame read in pieces is joined again; at most one
// frame's worth of unmatched bytes is kept.
class RequestFrameReader {
 public:
  void Append(std::string_view bytes);
  // The next whole request frame, the bytes before it dropped; nothing until
  // one is complete.
  std::optional<std::string> Next();

 private:
  std::string buffer_;
};

}  // namespace tramsel
