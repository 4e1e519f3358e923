#include "clihost.h"

#include <cstdio>

#include "base/cp1251.h"
#include "platform.h"

namespace velmora::cli {

CliHost::CliHost() : terminal_(StderrIsTerminal()) {}

CliHost::~CliHost() { FinishProgress(); }

void CliHost::Print(const std::string& cp1251) {
  std::string text = cp1251;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  // Clearing panel 2 (" ") is no message.
  if (text.find_first_not_of(' ') == std::string::npos) return;
  printed_ += text + "\n";
  if (barShown_) {
    std::fputs("\n", stderr);
    barShown_ = false;
  }
  std::fprintf(stderr, "%s\n", cp1251::ToUtf8(text).c_str());
  std::fflush(stderr);
}

// The window appends the text to the log and shows it in panel 2: one line here.
void CliHost::LogMessage(const std::string& text) { Print(text); }

void CliHost::AppendLogLine(const std::string& text, LogColour) { Print(text); }

void CliHost::ShowStatus(int panel, const std::string& text) {
  if (panel == kPanelStatus) Print(text);
}

void CliHost::ReportProgress(int count) {
  if (!terminal_ || total_ <= 0) return;
  constexpr int kWidth = 40;
  const int done = count >= total_ ? kWidth : static_cast<int>(static_cast<long long>(count) * kWidth / total_);
  std::string bar(static_cast<std::size_t>(done), '#');
  bar.append(static_cast<std::size_t>(kWidth - done), '.');
  std::fprintf(stderr, "\r[%s] %d/%d", bar.c_str(), count, total_);
  std::fflush(stderr);
  barShown_ = true;
}

void CliHost::PumpEvents() {
  if (pump_) pump_();
}

void CliHost::FinishProgress() {
  if (!barShown_) return;
  std::fputs("\n", stderr);
  barShown_ = false;
}

}  // namespace velmora::cli
