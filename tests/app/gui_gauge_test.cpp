// The memory gauge against the transfer at the edge of the КАДО's 8192 bytes: exactly
// full, then one byte over by typing, saved and written with F9.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTextBlock>
#include <QTextEdit>

#include "device/simkado.h"
#include "gui_support.h"
#include "memorygauge.h"

using namespace guitest;

namespace {

class GaugeTest : public WindowFixture {
 protected:
  QProgressBar* Gauge() { return w->findChild<QProgressBar*>(QStringLiteral("pbMemory")); }
  QString GaugeText() { return Gauge()->text(); }
  // Routes whose number cell is not greyed: those the gauge says will be written.
  int RoutesShownAsFitting() {
    int n = 0;
    for (int r = 0; r < w->Table().RouteCount(); ++r) {
      n += w->Model()->index(r, 0).data(Qt::ToolTipRole).toString().isEmpty() ? 1 : 0;
    }
    return n;
  }
  QString LastLogLine() {
    return w->findChild<QTextEdit*>(QStringLiteral("reMsg"))->document()->lastBlock().text();
  }
};

TEST_F(GaugeTest, GaugeAndTransferAgreeWhenFullAndOneByteOver) {
  auto owned = std::make_unique<velmora::SimKado>();
  velmora::SimKado* sim = owned.get();
  WindowOptions o = Options(&dialogs);
  o.hid = std::move(owned);
  o.sim = sim;
  w = std::make_unique<TVelmoraF>(std::move(o));
  w->FormActivate();
  EXPECT_EQ(GaugeText(), QStringLiteral("0 из 8 192 байт"));

  // Header and index 200 bytes, 46 records of 170 and a first one of 172: exactly 8192.
  const std::string s14(14, 's'), s15(15, 's'), f15(15, 'f'), m127(127, 'm'), m130(130, 'm');
  velmora::StoredRouteList& stored = w->Table().Stored();
  stored.Clear();
  stored.records[0].SetTexts({"1", s14, f15, m130});
  for (int i = 1; i < 47; ++i) stored.records[i].SetTexts({"2", s15, f15, m127});
  stored.count = 47;
  w->Table().LoadGridFromStored();
  w->Table().SetModified(false);
  w->RefreshWindowState();
  ASSERT_NO_FATAL_FAILURE(ShowActive());
  EXPECT_EQ(GaugeText(), QStringLiteral("8 192 из 8 192 байт"));
  EXPECT_EQ(Gauge()->value(), Gauge()->maximum());
  EXPECT_EQ(RoutesShownAsFitting(), 47);
  QTest::keyClick(w.get(), Qt::Key_F9);
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Загрузка окончена"));
  EXPECT_FALSE(LastLogLine().startsWith(QStringLiteral("Поместилось")));

  // One more start-stop character in the first route: the last one no longer fits.
  QTableView* grid = Grid(*w);
  const QModelIndex start = w->Model()->index(0, 2);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(start).center());
  QLineEdit* editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_End);
  Type(editor, QStringLiteral("s"));
  EXPECT_EQ(GaugeText(), QStringLiteral("8 224 из 8 192 байт"));
  EXPECT_EQ(RoutesShownAsFitting(), 46);
  const QModelIndex left = w->Model()->index(46, 0);
  EXPECT_EQ(left.data(Qt::ToolTipRole).toString(), MemoryGauge::LeftOutTip(46));
  EXPECT_TRUE(left.data(Qt::BackgroundRole).isValid());
  EXPECT_FALSE(w->Model()->index(45, 0).data(Qt::BackgroundRole).isValid());

  QTemporaryDir folder;
  dialogs.saves.push_back(folder.filePath(QStringLiteral("full.mrp")).toStdString());
  QTest::keyClick(w.get(), Qt::Key_F5);
  ASSERT_FALSE(w->Table().Modified());
  QTest::keyClick(w.get(), Qt::Key_F9);
  EXPECT_EQ(LastLogLine(), QStringLiteral("Поместилось только %1 маршрутов").arg(RoutesShownAsFitting()));

  // Taking the character back makes the list fit again.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(start).center());
  QTest::keyClick(Editor(*w), Qt::Key_End);
  QTest::keyClick(Editor(*w), Qt::Key_Backspace);
  EXPECT_EQ(GaugeText(), QStringLiteral("8 192 из 8 192 байт"));
  EXPECT_EQ(RoutesShownAsFitting(), 47);
}

}  // namespace
