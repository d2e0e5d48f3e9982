// Measures the parse and image build of a transfer start on a generated 3B
// program of realistic shape: CAM-style moves with 4 to 6 digit values, arcs
// and lines, line numbers and labels, comments in Chinese, stops, a few jump
// lines, blank lines, CR LF line ends, in GBK.
//
//   tramsel_bench [--lines N] [--repeat R] [--write FILE]
//
// Prints the sizes, the time of each step, lines per second through parse +
// image (best of R), and the process's peak resident memory.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "code3b/code_image.h"
#include "code3b/code_parser.h"
#include "code3b/memory_code_editor.h"
#include "common/file_io.h"
#include "common/text_codec.h"

namespace tramsel {
namespace {

class SilentUi final : public OperatorUi {
 public:
  void ShowMessage(TextView text) override { std::fprintf(stderr, "message: %s\n", ToUtf8(text).c_str()); }
  void ShowCaptionedMessage(TextView, TextView text) override { ShowMessage(text); }
  bool Ask(TextView, TextView) override { return true; }
  void SetStatusText(TextView) override {}
};

// A program of `lines` lines (the last one "DD") in the code page's bytes.
std::string GenerateProgram(int lines, const TextCodec& codec) {
  const std::string header = codec.Encode(
      u"/*******************由 Vorlane V0.2创建的3b代码文本********************/\r\n"
      u"/************************下面一行开始添加代码***********************/\r\n");
  const std::string comments[] = {codec.Encode(u" ; 直线段"), codec.Encode(u" ; 圆弧 顺时针"),
                                  codec.Encode(u"; ---- 切割第二个型腔 ----"),
                                  codec.Encode(u"/* 穿丝点 */")};
  static const char* const kLineWords[] = {"L1", "L2", "L3", "L4"};
  static const char* const kArcWords[] = {"SR1", "SR2", "SR3", "SR4", "NR1", "NR2", "NR3", "NR4"};
  std::mt19937 random(20240611);
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  auto value = [&] {
    static const int kLow[] = {1000, 10000, 100000};
    const int low = kLow[random() % 3];
    return std::to_string(low + static_cast<int>(random() % static_cast<unsigned>(low * 9)));
  };

  std::string text = header;
  text.reserve(static_cast<size_t>(lines) * 40);
  for (int n = 2; n < lines - 1; ++n) {
    const int kind = static_cast<int>(random() % 1000);
    if (kind < 5) {
      text += "D\r\n";
    } else if (kind < 15) {
      text += "\r\n";
    } else if (kind < 35) {
      text += comments[2 + random() % 2] + "\r\n";
    } else {
      if (chance(30)) text += "N" + std::to_string(n) + ": ";
      const char axis = "XYXYUV"[random() % 6];
      if (kind < 600) {
        // A line: axis-parallel ones have a zero value.
        const bool parallel = chance(40);
        const std::string x = parallel && chance(50) ? "0" : value();
        const std::string y = parallel && x != "0" ? "0" : value();
        // j, the count, is the longer of the two.
        const std::string& j = x.size() != y.size() ? (x.size() > y.size() ? x : y) : std::max(x, y);
        text += "B " + x + " B " + y + " B " + j + " G" + axis + " " + kLineWords[random() % 4];
      } else {
        text += "B " + value() + " B " + value() + " B " + value() + " G" + axis + " " + kArcWords[random() % 8];
      }
      if (chance(1)) text += " /J";
      if (chance(10)) text += comments[random() % 2];
      text += "\r\n";
    }
  }
  text += "DD";
  return text;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int Main(int argc, char** argv) {
  int lines = 1'000'000;
  int repeat = 5;
  const char* write = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--lines") == 0) lines = std::max(3, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--write") == 0) write = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: tramsel_bench [--lines N] [--repeat R] [--write FILE]\n");
      return 2;
    }
  }
  using Clock = std::chrono::steady_clock;
  std::unique_ptr<TextCodec> codec = MakeIconvCodec("CP936");
  std::string bytes = GenerateProgram(lines, *codec);
  const size_t fileSize = bytes.size();
  if (write && !ReplaceFileContents(FromUtf8(write), bytes)) {
    std::fprintf(stderr, "cannot write %s\n", write);
    return 2;
  }

  // As the tool loads a file: decode, let the bytes go, index the lines.
  auto t0 = Clock::now();
  Text text = codec->Decode(UpToFirstZero(bytes));
  auto t1 = Clock::now();
  std::string().swap(bytes);
  MemoryCodeEditor editor(std::move(text));
  auto t2 = Clock::now();

  AppSettings settings;
  SilentUi ui;
  std::vector<ParsedLine> parsed;
  CodeImage image;
  double bestParse = 1e300;
  double bestImage = 1e300;
  double bestTotal = 1e300;
  for (int r = 0; r < repeat; ++r) {
    auto p0 = Clock::now();
    if (!ParseCodeDocument(editor, settings, ui, parsed, image)) return 1;
    auto p1 = Clock::now();
    if (!BuildCodeImage(parsed, 64, ui, image)) return 1;
    auto p2 = Clock::now();
    bestParse = std::min(bestParse, Milliseconds(p1 - p0));
    bestImage = std::min(bestImage, Milliseconds(p2 - p1));
    bestTotal = std::min(bestTotal, Milliseconds(p2 - p0));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double peakMb = usage.ru_maxrss / 1024.0;
  const double fileMb = fileSize / (1024.0 * 1024.0);

  std::printf("editor lines        %d\n", editor.LineCount());
  std::printf("parsed lines        %zu\n", parsed.size());
  std::printf("blocks              %d\n", image.blockCount());
  std::printf("file size           %.1f MiB\n", fileMb);
  std::printf("decode              %.1f ms\n", Milliseconds(t1 - t0));
  std::printf("line index          %.1f ms\n", Milliseconds(t2 - t1));
  std::printf("parse (best of %d)   %.1f ms\n", repeat, bestParse);
  std::printf("image (best of %d)   %.1f ms\n", repeat, bestImage);
  std::printf("parse + image       %.1f ms, %.0f lines/s, %.0f ns/line\n", bestTotal,
              editor.LineCount() / (bestTotal / 1000.0), bestTotal * 1e6 / editor.LineCount());
  std::printf("peak RSS            %.1f MiB, %.2f x file size\n", peakMb, peakMb / fileMb);
  return 0;
}

}  // namespace
}  // namespace tramsel

int main(int argc, char** argv) { return tramsel::Main(argc, argv); }
