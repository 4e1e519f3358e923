// The route grid sgList as a Qt model over the core's route table. Model row r is grid
// row r + 1 (grid row 0, the headers, is the view's horizontal header).
#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <string>

#include "routes/routetable.h"

class RouteModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RouteModel(velmora::RouteTable& table, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Brings the model in step after the table changed. The row count is cached so that
  // the view always sees the count that the last signals announced.
  void Sync();
  // Routes from this count on do not fit into the КАДО's memory: their number cell is
  // greyed and tells why. Takes effect with the next Sync.
  void SetRoutesThatFit(int routes) { routesThatFit_ = routes; }

  // The characters a cell can hold (4, 16, 16, 256); 0 for the number column.
  static int Capacity(int column);
  static QString FromCp(const std::string& text);
  static std::string ToCp(const QString& text);
  static std::u32string ToU32(const QString& text);

 private:
  bool InRange(const QModelIndex& index) const;

  velmora::RouteTable& table_;
  int rows_ = 0;
  int routesThatFit_ = velmora::kStoredRoutes;
};
