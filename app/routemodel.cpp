#include "routemodel.h"

#include <QColor>
#include <QStringList>

#include "memorygauge.h"

#include "base/cp1251.h"

bool RouteModel::InRange(const QModelIndex& index) const {
  return index.isValid() && index.model() == this && index.row() < rows_ &&
         index.column() < columnCount();
}

RouteModel::RouteModel(velmora::RouteTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(table.RowCount() - 1) {}

int RouteModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RouteModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1 + velmora::kRouteFields;
}

QVariant RouteModel::data(const QModelIndex& index, int role) const {
  if (!InRange(index)) return {};
  const int row = index.row() + 1;
  if (index.column() == 0 && row > routesThatFit_ && row <= table_.RouteCount()) {
    switch (role) {
      case Qt::BackgroundRole:
        return QColor(0xC8, 0xC8, 0xC8);
      case Qt::ForegroundRole:
        return QColor(0x80, 0x80, 0x80);
      case Qt::ToolTipRole:
        return MemoryGauge::LeftOutTip(routesThatFit_);
      default:
        break;
    }
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return FromCp(table_.Cell(index.row() + 1, index.column()));
}

bool RouteModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !InRange(index)) return false;
  if (!(flags(index) & Qt::ItemIsEditable)) return false;
  table_.SetCell(index.row() + 1, index.column(), ToCp(value.toString()));
  return true;
}

Qt::ItemFlags RouteModel::flags(const QModelIndex& index) const {
  if (!InRange(index)) return Qt::NoItemFlags;
  // The placeholder row is neither editable nor drawn as selected; the number column is not
  // editable.
  if (index.row() + 1 > table_.RouteCount()) return Qt::ItemIsEnabled;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() > 0) f |= Qt::ItemIsEditable;
  return f;
}

QVariant RouteModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (section == 0) return QStringLiteral(" №");
  if (section < 0 || section > velmora::kRouteFields) return {};
  return QString::fromUtf8(velmora::kFieldHeader[section - 1]);
}

void RouteModel::Sync() {
  const int rows = table_.RowCount() - 1;
  if (rows > rows_) {
    beginInsertRows(QModelIndex(), rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  } else if (rows < rows_) {
    beginRemoveRows(QModelIndex(), rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
  }
  if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
}

int RouteModel::Capacity(int column) {
  if (column < 1 || column > velmora::kRouteFields) return 0;
  return static_cast<int>(velmora::kFieldCapacity[column - 1]);
}

QString RouteModel::FromCp(const std::string& text) {
  const std::u32string u = velmora::cp1251::Decode(text);
  return QString::fromUcs4(u.data(), static_cast<qsizetype>(u.size()));
}

std::string RouteModel::ToCp(const QString& text) { return velmora::cp1251::Encode(ToU32(text)); }

std::u32string RouteModel::ToU32(const QString& text) {
  const QList<uint> ucs = text.toUcs4();
  return std::u32string(ucs.begin(), ucs.end());
}
