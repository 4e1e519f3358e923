// The route grid's model over the route table, checked by Qt's model tester through
// every table operation, and its text conversion and editing rules.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "gui_support.h"

using namespace guitest;

namespace {

TEST(RouteModel, StaysConsistentThroughEveryTableOperation) {
  EnsureApp();
  velmora::RouteTable table;
  RouteModel model(table);
  table.SetListener([&] { model.Sync(); });
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
  int warnings = 0;
  // The tester reports through qWarning; any report fails this test.
  static int* counter = nullptr;
  counter = &warnings;
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg && msg.contains(QLatin1String("FAIL"))) ++*counter;
        if (type != QtDebugMsg) fprintf(stderr, "%s\n", qPrintable(msg));
      });

  EXPECT_EQ(model.rowCount(), 1);
  for (int i = 0; i < 5; ++i) table.Add();
  EXPECT_EQ(model.rowCount(), 5);
  table.SetCursor(2, 1);
  table.Add();  // in the middle
  table.SetCell(3, 2, velmora::Cp("Середина"));
  EXPECT_EQ(model.data(model.index(2, 2)).toString(), QStringLiteral("Середина"));
  EXPECT_EQ(model.data(model.index(5, 0)).toString(), QStringLiteral("6"));
  table.MoveDown();
  table.MoveUp();
  table.SetCursor(6, 1);
  table.Delete();
  EXPECT_EQ(model.rowCount(), 5);
  while (table.RouteCount() > 0) table.Delete();
  EXPECT_EQ(model.rowCount(), 1);
  table.Stored().count = 3;
  table.LoadGridFromStored();
  EXPECT_EQ(model.rowCount(), 3);
  table.UndoAll();
  table.Clear();
  EXPECT_EQ(model.rowCount(), 1);

  qInstallMessageHandler(previous);
  EXPECT_EQ(warnings, 0);
}

TEST(RouteModel, EditsOnlyRouteCellsAndConvertsToWindows1251) {
  EnsureApp();
  velmora::RouteTable table;
  RouteModel model(table);
  table.SetListener([&] { model.Sync(); });
  // The placeholder row is not editable.
  EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("x")));
  table.Add();
  EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
  for (int c = 1; c <= 4; ++c) EXPECT_TRUE(model.flags(model.index(0, c)) & Qt::ItemIsEditable);

  EXPECT_TRUE(model.setData(model.index(0, 2), QStringLiteral("Ёлка №1")));
  EXPECT_EQ(table.Cell(1, 2), std::string("\xA8\xEB\xEA\xE0 \xB9"
                                          "1"));
  EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("Ёлка №1"));
  // Cut at the field's capacity.
  EXPECT_TRUE(model.setData(model.index(0, 1), QStringLiteral("123456")));
  EXPECT_EQ(table.Cell(1, 1), "1234");
  EXPECT_EQ(RouteModel::Capacity(1), 4);
  EXPECT_EQ(RouteModel::Capacity(2), 16);
  EXPECT_EQ(RouteModel::Capacity(3), 16);
  EXPECT_EQ(RouteModel::Capacity(4), 256);
  EXPECT_EQ(RouteModel::Capacity(0), 0);
  // Every byte comes back as the character it stands for.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(RouteModel::ToCp(RouteModel::FromCp(all)), all);
}

}  // namespace
