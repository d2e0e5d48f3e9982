#include <windows.h>

#include <algorithm>

#include "common/text_codec.h"

namespace tramsel {

namespace {

class CodePageCodec final : public TextCodec {
 public:
  explicit CodePageCodec(UINT codePage) : codePage_(codePage) {}

  Text Decode(std::string_view bytes) const override {
    Text out;
    // Converted in pieces so that no length passed to Windows exceeds an int.
    constexpr size_t kPiece = 1 << 26;
    size_t done = 0;
    while (done < bytes.size()) {
      size_t piece = bytes.size() - done;
      if (piece > kPiece) piece = PieceOnCharacterBoundary(bytes.substr(done), kPiece);
      const char* src = bytes.data() + done;
      int length = MultiByteToWideChar(codePage_, 0, src, static_cast<int>(piece), nullptr, 0);
      size_t at = out.size();
      out.resize(at + length);
      MultiByteToWideChar(codePage_, 0, src, static_cast<int>(piece),
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
      int length = WideCharToMultiByte(codePage_, 0, src, static_cast<int>(piece), nullptr, 0,
                                       nullptr, nullptr);
      size_t at = out.size();
      out.resize(at + length);
      WideCharToMultiByte(codePage_, 0, src, static_cast<int>(piece), out.data() + at, length,
                          nullptr, nullptr);
      done += piece;
    }
    return out;
  }

 private:
  // The length of a piece of about `limit` bytes at the start of `bytes`
  // that ends on a character boundary.
  size_t PieceOnCharacterBoundary(std::string_view bytes, size_t limit) const {
    if (codePage_ == CP_UTF8) {
      size_t end = limit;
      while (end > 0 && (static_cast<BYTE>(bytes[end]) & 0xC0) == 0x80) --end;
      return end;
    }
    size_t i = 0;
    while (i < limit) i += IsDBCSLeadByteEx(codePage_, static_cast<BYTE>(bytes[i])) ? 2 : 1;
    return std::min(i, bytes.size());
  }

  UINT codePage_;
};

}  // namespace

std::unique_ptr<TextCodec> MakeAnsiCodec() { return std::make_unique<CodePageCodec>(CP_ACP); }

std::unique_ptr<TextCodec> MakeCodePageCodec(unsigned codePage) {
  if (!IsValidCodePage(codePage)) return nullptr;
  return std::make_unique<CodePageCodec>(codePage);
}

}  // namespace tramsel
