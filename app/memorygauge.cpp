#include "memorygauge.h"

namespace {

// The toolbar's style repaints its children's palette; a style sheet holds.
QString Style(const char* chunk) {
  return QStringLiteral(
             "QProgressBar { border: 1px solid rgb(128, 128, 128); "
             "background: white;"
             " color: black; text-align: center; font-size: 11px; }"
             " QProgressBar::chunk { background: %1; }")
      .arg(QLatin1String(chunk));
}

}  // namespace

MemoryGauge::MemoryGauge(QWidget* parent) : QProgressBar(parent) {
  setObjectName(QStringLiteral("pbMemory"));
  setRange(0, velmora::kMaxRouteImageSize);
  setTextVisible(true);
  setFixedSize(132, 18);
  Show({}, 0);
}

void MemoryGauge::Show(const velmora::RouteImageLayout& layout, int routeCount) {
  // An empty list is never written: no image, no bytes.
  const int needed = routeCount > 0 ? layout.wanted : 0;
  const bool overfull = layout.routes < routeCount;
  const QString capacity = Bytes(velmora::kMaxRouteImageSize);
  setValue(qMin(needed, velmora::kMaxRouteImageSize));
  setFormat(QStringLiteral("%1 из %2 байт").arg(Bytes(needed), capacity));
  setToolTip(overfull ? QStringLiteral("Маршрутам нужно %1 байт, в память КАДО (%2 байт) "
                                       "поместятся только %3 из %4")
                            .arg(Bytes(needed), capacity)
                            .arg(layout.routes)
                            .arg(routeCount)
                      : QStringLiteral("Маршруты займут %1 из %2 байт памяти КАДО")
                            .arg(Bytes(needed), capacity));
  if (overfull != overfull_ || styleSheet().isEmpty()) {
    overfull_ = overfull;
    setStyleSheet(Style(overfull ? "rgb(255, 96, 96)" : "rgb(150, 205, 150)"));
  }
}

QString MemoryGauge::Bytes(int n) {
  QString digits = QString::number(n);
  for (int at = digits.size() - 3; at > 0; at -= 3) {
    digits.insert(at, QLatin1Char(' '));
  }
  return digits;
}

QString MemoryGauge::LeftOutTip(int routesThatFit) {
  return QStringLiteral(
             "Не поместится в память КАДО: в %1 байт входят только "
             "первые %2 маршрутов")
      .arg(Bytes(velmora::kMaxRouteImageSize))
      .arg(routesThatFit);
}
