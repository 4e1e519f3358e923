// stBars: the three-panel status bar below the message log, with a progress bar that is
// shown only while a device write runs.
#pragma once
#include <QWidget>
#include <array>

class QLabel;
class QProgressBar;

class StatusBars : public QWidget {
  Q_OBJECT

 public:
  explicit StatusBars(QWidget* parent = nullptr);

  void SetPanel(int panel, const QString& text);
  QString Panel(int panel) const;
  QLabel* PanelLabel(int panel) const;

  void StartProgress(int maximum);
  void SetProgress(int value);
  void StopProgress();
  QProgressBar* Progress() const { return progress_; }

 private:
  std::array<QLabel*, 3> panels_{};
  QProgressBar* progress_ = nullptr;
};
