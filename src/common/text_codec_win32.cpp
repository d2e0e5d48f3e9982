#include <windows.h>

#include <algorithm>

#include "common/text_codec.h"

namespace tramsel {

namespace {

class AnsiCodec final : public TextCodec {
 public:
  Text Decode(std::string_view bytes) const override {
    Text out;
    // Converted in pieces so that no length passed to Windows exceeds an int.
    constexpr size_t kPiece = 1 << 26;
    size_t done = 0;
    while (done < bytes.size()) {
      size_t piece = bytes.size() - done;
      if (piece > kPiece) {
        // End the piece on a character boundary.
        size_t i = 0;
        while (i < kPiece) i += IsDBCSLeadByte(static_cast<BYTE>(bytes[done + i])) ? 2 : 1;
        piece = std::min(i, bytes.size() - done);
      }
      const char* src = bytes.data() + done;
      int length = MultiByteToWideChar(CP_ACP, 0, src, static_cast<int>(piece), nullptr, 0);
      size_t at = out.size();
      out.resize(at + length);
      MultiByteToWideChar(CP_ACP, 0, src, static_cast<int>(piece),
                          reinterpret_cast<wchar_t*>(out.data() + at), length);
      done += piece;
    }
    return out;
  }

  std::string Encode(TextView text) const override {
    std::string out;
    constexpr size_t kPiece = 1 << 25;
    size_t done = 0;
    while (done < text.size()) {
      size_t piece = std::min(kPiece, text.size() - done);
      if (done + piece < text.size() && text[done + piece - 1] >= 0xD800 &&
          text[done + piece - 1] <= 0xDBFF) {
        --piece;  // keep a surrogate pair together
      }
      const wchar_t* src = reinterpret_cast<const wchar_t*>(text.data() + done);
      int length = WideCharToMultiByte(CP_ACP, 0, src, static_cast<int>(piece), nullptr, 0,
                                       nullptr, nullptr);
      size_t at = out.size();
      out.resize(at + length);
      WideCharToMultiByte(CP_ACP, 0, src, static_cast<int>(piece), out.data() + at, length,
                          nullptr, nullptr);
      done += piece;
    }
    return out;
  }
};

}  // namespace

std::unique_ptr<TextCodec> MakeAnsiCodec() { return std::make_unique<AnsiCodec>(); }

}  // namespace tramsel
