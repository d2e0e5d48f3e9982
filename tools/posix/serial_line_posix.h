// A serial line for the Linux tools: a real port or a pseudo-terminal, set to
// the link's line settings (9600 baud, 8 data bits, no parity, 1 stop bit,
// raw bytes, no flow control) and opened non-blocking.
#pragma once

#include <string>

namespace tramsel {

// The open descriptor, or -1 with error set to the reason.
int OpenSerialLine(const std::string& path, std::string& error);

// Writes all bytes, waiting while the line is full; false when the line fails.
bool WriteSerialLine(int fd, const std::string& bytes);

}  // namespace tramsel
