// "Имитатор КАДО": the buttons of the simulated device in the --simulate demo.
#pragma once
#include <QToolBar>

class QAction;

namespace velmora {
class SimKado;
}

class SimPanel : public QToolBar {
  Q_OBJECT

 public:
  SimPanel(velmora::SimKado& sim, QWidget* parent = nullptr);

  void Attach();
  void Detach();
  void ToggleIdentity();
  void UpdateButtons();

 private:
  velmora::SimKado& sim_;
  QAction* attach_ = nullptr;
  QAction* detach_ = nullptr;
  QAction* identity_ = nullptr;
};
