// The Windows entry point of the tramsel tool (tramsel-cli.exe): the wide
// command line taken as UTF-8, and output written as UTF-8 bytes to the
// standard handles, so that a pipe gets the same bytes as from the Linux
// tool (no console code page, no wide console output).
#include <windows.h>

#include <algorithm>

#include "common/text.h"
#include "tool.h"

namespace {

class HandleWriter final : public tramsel::Utf8Writer {
 public:
  explicit HandleWriter(DWORD which) : handle_(GetStdHandle(which)) {}

  void Write(std::string_view utf8) override {
    while (!utf8.empty() && !failed_) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(utf8.size(), 1u << 20));
      if (!WriteFile(handle_, utf8.data(), chunk, &written, nullptr) || written == 0) {
        failed_ = true;
      }
      utf8.remove_prefix(written);
    }
  }
  bool failed() const { return failed_; }

 private:
  HANDLE handle_;
  bool failed_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace tramsel;
  HandleWriter out(STD_OUTPUT_HANDLE);
  HandleWriter err(STD_ERROR_HANDLE);
  CliContext context{out, err};
  CliArgs args;
  for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  int status = RunTool(args, context);
  if (out.failed()) {
    err.Write("tramsel: cannot write standard output\n");
    status = kExitUsage;
  }
  return status;
}
