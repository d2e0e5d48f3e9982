// The Linux entry point of the tramsel tool: arguments as they come (UTF-8),
// output through stdio, a line at a time, so that a program reading a link
// command's output sees each line when it is shown (as from the Windows
// tool, which writes without a buffer).
#include <cstdio>

#include "tool.h"

namespace {

class FileWriter final : public tramsel::Utf8Writer {
 public:
  explicit FileWriter(std::FILE* file) : file_(file) {}
  void Write(std::string_view utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), file_); }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tramsel;
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  FileWriter out(stdout);
  FileWriter err(stderr);
  CliContext context{out, err};
  int status = RunTool(CliArgs(argv + 1, argv + argc), context);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("tramsel: cannot write standard output\n", stderr);
    status = kExitUsage;
  }
  return status;
}
