// The window's side of the core for the CLI: status panel 2 texts and log lines go to
// standard error one per line (UTF-8); the progress of a write is a bar on a terminal.
#pragma once
#include <functional>
#include <string>

#include "device/devicehost.h"

namespace velmora::cli {

class CliHost : public DeviceHost {
 public:
  CliHost();
  ~CliHost() override;

  void LogMessage(const std::string& text) override;
  void AppendLogLine(const std::string& text, LogColour colour) override;
  void SetLogColour(LogColour) override {}
  void ShowStatus(int panel, const std::string& text) override;

  void StartProgress(int end) override { total_ = end; }
  void ReportProgress(int count) override;
  void PumpEvents() override;
  void RefreshWindowState() override {}
  void BringToFront() override {}
  void SetProductCaption(const std::string& text) override { caption_ = text; }

  // Called by PumpEvents: where device arrivals are looked for during a wait.
  void SetEventPump(std::function<void()> pump) { pump_ = std::move(pump); }
  void FinishProgress();
  const std::string& Caption() const { return caption_; }
  // Every text printed, CP1251, for the tests of the commands.
  const std::string& Printed() const { return printed_; }

 private:
  void Print(const std::string& cp1251);

  std::function<void()> pump_;
  std::string caption_, printed_;
  int total_ = 0;
  bool terminal_;
  bool barShown_ = false;
};

}  // namespace velmora::cli
