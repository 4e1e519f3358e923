// The about window AboutF: what the program is for, its version, the system and computer
// it runs on, and the moment it was first opened.
//
// Use from the main window's aAboutExecute:
//   TAboutF::ShowAbout(this, gridTopInPanel);
// The first call creates the window as a child of the main window, which keeps it to the
// end of the run; the text is built then, once. Every call places the window (the first
// showing centred on the screen instead), shows it modally and returns when bbExit
// closed it. Tests that must not block use TAboutF::Ensure() and Place() with open().
#pragma once
#include <QDateTime>
#include <QDialog>
#include <QPoint>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

// What the system reports about itself.
struct AboutSystemInfo {
  // Windows: the platform identifier (0 Win32s, 1 Windows 95/98, 2 Windows NT) with the
  // true version numbers; the others leave productName empty.
  int platformId = 2;
  unsigned major = 0, minor = 0, build = 0;
  QString servicePack;
  // Other systems: their own name, which replaces the platform's; they are treated as
  // platform 2 (version numbers as reported, a computer line).
  QString productName;
  QString computerName;  // as the system gives it, whole; empty when none
};

AboutSystemInfo CurrentSystemInfo();

// The lines of Memo1: 18 fixed, one empty, the version line, on platform 2 the computer
// line, and "Сейчас: " with `now` in the system's short date and long time formats.
QStringList BuildAboutLines(const AboutSystemInfo& info, const QDateTime& now);

class TAboutF : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 553;
  static constexpr int kClientHeight = 371;

  static TAboutF* ShowAbout(QWidget* mainWindow, int gridTopInPanel);
  // The main window's about window, created (with its text) on the first call.
  static TAboutF* Ensure(QWidget* mainWindow);
  // Where the window goes on a showing after the first.
  static QPoint PlaceFor(const QWidget* mainWindow, const QWidget* about, int gridTopInPanel);
  // Moves the window for this showing: centred on the screen the first time.
  void Place(QWidget* mainWindow, int gridTopInPanel);

  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* bbExit = nullptr;

 public slots:
  void bbExitClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TAboutF(QWidget* owner, const AboutSystemInfo& info, const QDateTime& now);
  void FormCreate(const AboutSystemInfo& info, const QDateTime& now);

  bool shownBefore_ = false;
};
