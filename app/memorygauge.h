// pbMemory, the memory gauge on the toolbar: how much of the КАДО's 8192 bytes
// the route list in the grid needs, as a bar with "6 123 из 8 192 байт", red
// when it does not fit.
#pragma once
#include <QProgressBar>

#include "device/routeimage.h"

class MemoryGauge : public QProgressBar {
  Q_OBJECT

 public:
  explicit MemoryGauge(QWidget* parent = nullptr);

  // `layout` is the measure of the grid's `routeCount` routes.
  void Show(const velmora::RouteImageLayout& layout, int routeCount);
  bool Overfull() const { return overfull_; }

  // "8 192": groups of three digits apart by a blank.
  static QString Bytes(int n);
  // The number cell's tool tip of a route that will not be written.
  static QString LeftOutTip(int routesThatFit);

 private:
  bool overfull_ = false;
};
