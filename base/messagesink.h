// What the core needs from the main window to report: the message log and the status bar.
#pragma once
#include <cstdint>
#include <string>

namespace velmora {

struct LogColour {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const LogColour& o) const { return r == o.r && g == o.g && b == o.b; }
};
constexpr LogColour kRed{255, 0, 0};
constexpr LogColour kBlue{0, 0, 255};

enum StatusPanel { kPanelProgress = 0, kPanelTransfers = 1, kPanelStatus = 2 };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Appends a log line in the log's current colour and shows the text in status panel 2.
  virtual void LogMessage(const std::string& text) = 0;
  // Makes the colour current and appends the line in it.
  virtual void AppendLogLine(const std::string& text, LogColour colour) = 0;
  // Makes the colour current without appending anything.
  virtual void SetLogColour(LogColour colour) = 0;
  virtual void ShowStatus(int panel, const std::string& text) = 0;
};

}  // namespace velmora
