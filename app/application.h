// The application object: an exception that reaches the event loop is shown in the
// standard error box and the program goes on.
#pragma once
#include <QApplication>
#include <functional>

class VelmoraApplication : public QApplication {
  Q_OBJECT

 public:
  VelmoraApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Replaces the error box (the tests answer it themselves).
  void SetErrorReporter(std::function<void(const QString&)> reporter);

  static const QString kTitle;  // "Velmora v<version>", the title of the error box

 private:
  void Report(const QString& text);
  std::function<void(const QString&)> reporter_;
};
