#include "statusbars.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

StatusBars::StatusBars(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("stBars"));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
  pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
  setPalette(pal);
  setFixedHeight(16);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  const int widths[3] = {84, 108, 0};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("stBarsPanel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(1, 0, 1, 0);
    label->setIndent(1);
    if (i == 0) {
      // Panel 0 holds the longest progress text, a 64 KiB firmware image, in full.
      const int frame = label->width() - label->contentsRect().width() + 2 * label->indent();
      const int text = label->fontMetrics().horizontalAdvance(QStringLiteral("0:00:00=65536"));
      label->setFixedWidth(qMax(widths[i], text + frame + 2));
    } else if (widths[i] > 0) {
      label->setFixedWidth(widths[i]);
    } else {
      label->setMinimumWidth(1);
      label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    layout->addWidget(label, widths[i] > 0 ? 0 : 1);
    panels_[i] = label;
  }
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("stBarsProgress"));
  progress_->setFixedWidth(120);
  progress_->setTextVisible(false);
  progress_->hide();
  layout->addWidget(progress_);
}

void StatusBars::SetPanel(int panel, const QString& text) {
  if (panel >= 0 && panel < 3) panels_[panel]->setText(text);
}

QString StatusBars::Panel(int panel) const {
  return panel >= 0 && panel < 3 ? panels_[panel]->text() : QString();
}

QLabel* StatusBars::PanelLabel(int panel) const {
  return panel >= 0 && panel < 3 ? panels_[panel] : nullptr;
}

void StatusBars::StartProgress(int maximum) {
  progress_->setRange(0, maximum > 0 ? maximum : 1);
  progress_->setValue(0);
}

void StatusBars::SetProgress(int value) {
  if (!progress_->isVisible()) progress_->show();
  progress_->setValue(qBound(progress_->minimum(), value, progress_->maximum()));
}

void StatusBars::StopProgress() { progress_->hide(); }
