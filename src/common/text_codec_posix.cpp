#include <errno.h>
#include <iconv.h>

#include <strings.h>

#include "common/text_codec.h"

namespace tramsel {

namespace {

// The Chinese double-byte code pages, in which a lead byte and whatever byte
// follows it form one character even when the pair is undefined.
bool IsChineseDoubleByte(const std::string& charset) {
  for (const char* name : {"GBK", "CP936", "MS936", "WINDOWS-936", "GB2312", "EUC-CN"}) {
    if (strcasecmp(charset.c_str(), name) == 0) return true;
  }
  return false;
}

// Undecodable input becomes '?', one per character as the Windows conversion
// counts them; iconv resumes after it.
class IconvCodec final : public TextCodec {
 public:
  IconvCodec(iconv_t decoder, iconv_t encoder, bool doubleByte)
      : decoder_(decoder), encoder_(encoder), doubleByte_(doubleByte) {}
  ~IconvCodec() override {
    iconv_close(decoder_);
    iconv_close(encoder_);
  }

  Text Decode(std::string_view bytes) const override {
    Text out;
    out.reserve(bytes.size());
    iconv(decoder_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char16_t buffer[1024];
    while (in_left > 0) {
      char* dst = reinterpret_cast<char*>(buffer);
      size_t dst_left = sizeof buffer;
      size_t rc = iconv(decoder_, &in, &in_left, &dst, &dst_left);
      out.append(buffer, (sizeof buffer - dst_left) / sizeof(char16_t));
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        const unsigned char lead = static_cast<unsigned char>(*in);
        const size_t skip = (doubleByte_ && lead >= 0x81 && lead <= 0xFE && in_left >= 2) ? 2 : 1;
        out += u'?';
        in += skip;
        in_left -= skip;
        iconv(decoder_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

  std::string Encode(TextView text) const override {
    std::string out;
    out.reserve(text.size() * 2);
    iconv(encoder_, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    size_t in_left = text.size() * sizeof(char16_t);
    char buffer[2048];
    while (in_left > 0) {
      char* dst = buffer;
      size_t dst_left = sizeof buffer;
      size_t rc = iconv(encoder_, &in, &in_left, &dst, &dst_left);
      out.append(buffer, sizeof buffer - dst_left);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        // One '?' per UTF-16 unit, so a character beyond the BMP gives two.
        out += '?';
        in += sizeof(char16_t);
        in_left -= sizeof(char16_t);
        iconv(encoder_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t decoder_;
  iconv_t encoder_;
  bool doubleByte_;
};

}  // namespace

std::unique_ptr<TextCodec> MakeIconvCodec(const std::string& charset) {
  iconv_t decoder = iconv_open("UTF-16LE", charset.c_str());
  if (decoder == reinterpret_cast<iconv_t>(-1)) return nullptr;
  iconv_t encoder = iconv_open(charset.c_str(), "UTF-16LE");
  if (encoder == reinterpret_cast<iconv_t>(-1)) {
    iconv_close(decoder);
    return nullptr;
  }
  return std::make_unique<IconvCodec>(decoder, encoder, IsChineseDoubleByte(charset));
}

}  // namespace tramsel
