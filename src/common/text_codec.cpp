#include "common/text_codec.h"

namespace tramsel {

std::string_view UpToFirstZero(std::string_view bytes) {
  size_t zero = bytes.find('\0');
  return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

}  // namespace tramsel
