#include "simpanel.h"

#include <QAction>
#include <QLabel>

#include "device/simkado.h"

SimPanel::SimPanel(velmora::SimKado& sim, QWidget* parent)
    : QToolBar(QStringLiteral("Имитатор КАДО"), parent), sim_(sim) {
  setObjectName(QStringLiteral("simPanel"));
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* caption = new QLabel(QStringLiteral("Имитатор КАДО:"), this);
  caption->setContentsMargins(4, 0, 4, 0);
  addWidget(caption);
  attach_ = addAction(QStringLiteral("Подключить"), this, &SimPanel::Attach);
  attach_->setObjectName(QStringLiteral("simAttach"));
  detach_ = addAction(QStringLiteral("Отключить"), this, &SimPanel::Detach);
  detach_->setObjectName(QStringLiteral("simDetach"));
  identity_ = addAction(QStringLiteral("Загрузчик"), this, &SimPanel::ToggleIdentity);
  identity_->setObjectName(QStringLiteral("simBoot"));
  identity_->setCheckable(true);
  identity_->setToolTip(QStringLiteral("Переключить КАДО в режим загрузчика и обратно"));
  UpdateButtons();
}

void SimPanel::Attach() {
  sim_.Attach();
  UpdateButtons();
}

void SimPanel::Detach() {
  sim_.Detach();
  UpdateButtons();
}

void SimPanel::ToggleIdentity() {
  sim_.SetBoot(!sim_.Options().boot);
  UpdateButtons();
}

void SimPanel::UpdateButtons() {
  const bool attached = sim_.Attached();
  attach_->setEnabled(!attached);
  detach_->setEnabled(attached);
  identity_->setChecked(sim_.Options().boot);
}
