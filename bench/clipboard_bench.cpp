// A big clipboard run through the real Qt clipboard: time and peak memory against the output.
//   clipboard_bench [COPIES]   (default 20000000 copies of 15 bytes: 300 MB)
// Runs on the platform Qt picks (QT_QPA_PLATFORM=offscreen, or xcb with a DISPLAY); the program
// owns the clipboard's text as a real one does, and reads it back from the clipboard to check it.

#include <sys/resource.h>

#include <QClipboard>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/duplicate.h"
#include "platform/message_box.h"
#include "platform/qt/clipboard.h"

namespace {

class SilentMessages : public kelvane::MessageBox {
 public:
  kelvane::MessageAnswer Show(const std::string& text, kelvane::MessageButtons, kelvane::MessageIcon) override {
    last = text;
    return kelvane::MessageAnswer::Ok;
  }
  std::string last;
};

double MiB(double bytes) {
  return bytes / (1024.0 * 1024.0);
}

// Resident memory now, from /proc, in bytes.
double ResidentNow() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::atof(line.c_str() + 6) * 1024.0;
    }
  }
  return 0;
}

double PeakResident() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  const int copies = argc > 1 ? std::atoi(argv[1]) : 20000000;
  // "Line 000000001\n": 15 bytes a copy.
  kelvane::Job job{"Line #\n", "", 0, copies, {"#"}, {"%%count1%09d%%"}};
  const double output = 15.0 * copies;
  const double before = ResidentNow();

  kelvane::QtClipboard clipboard;
  SilentMessages messages;
  const auto start = std::chrono::steady_clock::now();
  kelvane::DuplicateRun run(job, clipboard, messages);
  if (!run.Start()) {
    std::fprintf(stderr, "the run did not start: %s\n", messages.last.c_str());
    return 1;
  }
  run.WriteCopies();
  const double writing = Seconds(start);
  const auto clipboardStart = std::chrono::steady_clock::now();
  run.PrepareClipboardText();
  const kelvane::RunOutcome outcome = run.Finish();
  const double putting = Seconds(clipboardStart);
  const double total = Seconds(start);
  const double peak = PeakResident();

  const QString text = QGuiApplication::clipboard()->text();
  const bool whole = outcome == kelvane::RunOutcome::Succeeded && text.size() == static_cast<qsizetype>(output) &&
                     text.startsWith(QLatin1String("Line 000000001\n")) && text.endsWith(QLatin1String("\n"));
  std::printf("platform %s, %d copies, %.0f MiB of output\n", qPrintable(QGuiApplication::platformName()), copies,
              MiB(output));
  std::printf("time: %.2f s in all, %.2f s writing the copies, %.2f s putting them on the clipboard\n", total, writing,
              putting);
  std::printf(
      "peak memory: %.0f MiB (%.2f times the output; %.0f MiB before the run); limit 2 x output + 64 MiB = "
      "%.0f MiB: %s\n",
      MiB(peak), peak / output, MiB(before), MiB(2 * output) + 64,
      peak <= 2 * output + 64 * 1048576.0 ? "met" : "MISSED");
  std::printf("clipboard: %s\n", whole ? "holds the whole result" : "WRONG");
  return whole ? 0 : 1;
}
