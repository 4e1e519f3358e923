// The window with a simulated КАДО: arrival and removal, F9 into the device's memory, a
// second F9 and a close during a write, the wait for a device, the firmware panel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include "device/Formatm.h"
#include "device/routeimage.h"
#include "device/simkado.h"
#include "gui_support.h"

using namespace guitest;

namespace {

class DeviceTest : public WindowFixture {
 protected:
  void Make(const char* simOptions, std::vector<std::string> firmware = {}) {
    velmora::SimKadoOptions so;
    std::string error;
    ASSERT_TRUE(velmora::ParseSimKadoOptions(simOptions, so, error)) << error;
    auto owned = std::make_unique<velmora::SimKado>(so);
    sim = owned.get();
    WindowOptions o = Options();
    o.hid = std::move(owned);
    o.sim = sim;
    if (!firmware.empty()) o.firmwareFolders = std::move(firmware);
    w = std::make_unique<TVelmoraF>(std::move(o));
    w->FormActivate();
  }

  QStringList LogLines(QList<QColor>* colours = nullptr) {
    QStringList lines;
    auto* log = w->findChild<QTextEdit*>(QStringLiteral("reMsg"));
    for (QTextBlock b = log->document()->begin(); b.isValid(); b = b.next()) {
      lines << b.text();
      if (colours) {
        colours->append(b.begin().atEnd() ? QColor()
                                          : b.begin().fragment().charFormat().foreground().color());
      }
    }
    return lines;
  }

  QString Product() { return w->findChild<QLabel*>(QStringLiteral("lbProd"))->text(); }

  void LoadThree() {
    LoadRoutes(*w, {{"12", "Вокзал", "Парк", ""},
                    {"5А", "Рынок", "Аэропорт", "Через центр"},
                    {"31", "Школа", "Депо", ""}});
  }

  std::vector<uint8_t> ExpectedImage() {
    auto work = std::make_unique<velmora::WorkBuffer>();
    const velmora::RouteImageLayout layout = velmora::BuildRouteImage(w->Table().Stored(), *work);
    return std::vector<uint8_t>(work->begin(), work->begin() + layout.length);
  }

  velmora::SimKado* sim = nullptr;
};

TEST_F(DeviceTest, ArrivalShowsTheProductAndRemovalTakesItAway) {
  Make("");
  LoadThree();
  EXPECT_EQ(Product(), QStringLiteral("КАДО-08 (v1.05)"));
  EXPECT_TRUE(Action(*w, "aTransmit")->isEnabled());
  QList<QColor> colours;
  QStringList lines = LogLines(&colours);
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("T=5 add++"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral(" -Открыли VID=16C0 PID=05DF")));
  EXPECT_EQ(colours[0], QColor(0, 0, 255));

  sim->Detach();
  EXPECT_FALSE(Action(*w, "aTransmit")->isEnabled());
  EXPECT_EQ(Product(), QString());
  colours.clear();
  lines = LogLines(&colours);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("T=5  rem--"))) << lines[1].toStdString();
  EXPECT_EQ(colours[1], QColor(255, 0, 0));

  sim->Attach();
  EXPECT_TRUE(Action(*w, "aTransmit")->isEnabled());
}

TEST_F(DeviceTest, F9WritesTheRouteImageIntoTheDevice) {
  Make("");
  LoadThree();
  ASSERT_NO_FATAL_FAILURE(ShowActive());
  QTest::keyClick(w.get(), Qt::Key_F9);
  const std::vector<uint8_t> image = ExpectedImage();
  ASSERT_FALSE(image.empty());
  ASSERT_GE(sim->Memory().size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), sim->Memory().begin()));
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Загрузка окончена"));
  EXPECT_EQ(Panel(*w, 1), QStringLiteral("Загружено: 1"));
  EXPECT_TRUE(Panel(*w, 0).endsWith(QStringLiteral("=%1").arg(w->Context().operation.BytesWritten)))
      << Panel(*w, 0).toStdString();
  EXPECT_GE(w->Context().operation.BytesWritten, static_cast<int>(image.size()));
  EXPECT_TRUE(w->Bars()->Progress()->isHidden());
  EXPECT_FALSE(w->Context().operation.DeviceBusy);
  EXPECT_TRUE(Action(*w, "aTransmit")->isEnabled());

  QTest::keyClick(w.get(), Qt::Key_F9);
  EXPECT_EQ(Panel(*w, 1), QStringLiteral("Загружено: 2"));
}

TEST_F(DeviceTest, ASecondF9AndACloseDuringAWriteAreRefused) {
  Make("block=8");
  LoadThree();
  w->show();
  sim->ClearReports();
  bool seen = false, transmitEnabled = true, closed = true, progressShown = false, busy = false;
  // Runs between two blocks of the write, from ReportProgress.
  QTimer::singleShot(0, [&] {
    seen = true;
    busy = w->Context().operation.DeviceBusy;
    transmitEnabled = Action(*w, "aTransmit")->isEnabled();
    progressShown = w->Bars()->Progress()->isVisible();
    Action(*w, "aTransmit")->trigger();
    w->aTransmitExecute();
    closed = w->close();
  });
  Action(*w, "aTransmit")->trigger();
  ASSERT_TRUE(seen);
  EXPECT_TRUE(busy);
  EXPECT_FALSE(transmitEnabled);
  EXPECT_TRUE(progressShown);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->Context().operation.TransferCount, 1);
  int parameterReads = 0;
  for (const velmora::SimReport& r : sim->Reports()) parameterReads += r.get ? 1 : 0;
  EXPECT_EQ(parameterReads, 1);
  const std::vector<uint8_t> image = ExpectedImage();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), sim->Memory().begin()));
  EXPECT_TRUE(Action(*w, "aTransmit")->isEnabled());
  EXPECT_TRUE(w->close());
}

TEST_F(DeviceTest, ADeviceArrivingDuringTheWaitIsUsed) {
  Make("detached");
  LoadThree();
  EXPECT_FALSE(Action(*w, "aTransmit")->isEnabled());
  QTimer::singleShot(200, [&] { sim->Attach(); });
  w->aTransmitExecute();
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Загрузка окончена"));
  EXPECT_EQ(Panel(*w, 1), QStringLiteral("Загружено: 1"));
  const std::vector<uint8_t> image = ExpectedImage();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), sim->Memory().begin()));
}

TEST_F(DeviceTest, AFailedWriteIsReportedAndLeavesTheCount) {
  Make("block=16,fail-block=2");
  LoadThree();
  Action(*w, "aTransmit")->trigger();
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Ошибка записи данных"));
  EXPECT_EQ(Panel(*w, 1), QStringLiteral("Передач не было"));
  QList<QColor> colours;
  const QStringList lines = LogLines(&colours);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.last(), QStringLiteral("***Ошибка записи данных"));
  EXPECT_EQ(colours.last(), QColor(255, 0, 0));
  EXPECT_TRUE(w->Bars()->Progress()->isHidden());
  EXPECT_TRUE(Action(*w, "aTransmit")->isEnabled());
}

TEST_F(DeviceTest, TheBootLoaderSwitchesToTheFirmwarePanelAndBack) {
  QTemporaryDir folder;
  std::vector<uint8_t> body(300);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + 1);
  const std::vector<uint8_t> file = velmora::EncodeFirmware(
      body, velmora::Cp("Прошивка"), velmora::PackDosDateTime({2009, 10, 5, 12, 0, 0, 0}), 2);
  {
    QFile f(folder.filePath(QStringLiteral("kado.HAS")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
  }
  Make("", {folder.path().toStdString()});
  LoadThree();
  Action(*w, "aAdd")->trigger();  // unsaved edits survive the switch
  auto* kado = w->findChild<QWidget*>(QStringLiteral("pnKado"));
  auto* boot = w->findChild<QWidget*>(QStringLiteral("pnBoot"));

  sim->SetBoot(true);
  EXPECT_TRUE(kado->isHidden());
  EXPECT_FALSE(boot->isHidden());
  EXPECT_FALSE(w->findChild<QLabel*>(QStringLiteral("lbChangeProg"))->isHidden());
  EXPECT_TRUE(Action(*w, "aProg")->isVisible());
  std::vector<std::string> enabled;
  for (QAction* a : w->actions()) {
    if (a->isEnabled()) enabled.push_back(a->objectName().toStdString());
  }
  EXPECT_EQ(enabled, (std::vector<std::string>{"aExit", "aProg", "aAbout"}));
  auto* grid = w->findChild<QTableWidget*>(QStringLiteral("sgBoot"));
  ASSERT_EQ(grid->rowCount(), 1);
  ASSERT_NE(grid->item(0, 4), nullptr);
  EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("1"));
  EXPECT_EQ(grid->item(0, 2)->text(), QStringLiteral("300"));
  EXPECT_EQ(grid->item(0, 3)->text(), QStringLiteral("Прошивка"));
  EXPECT_EQ(grid->item(0, 4)->text(), QStringLiteral("kado.HAS"));
  EXPECT_EQ(grid->currentRow(), 0);

  Action(*w, "aProg")->trigger();
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Программа записана"));
  ASSERT_GE(sim->Memory().size(), body.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), sim->Memory().begin()));
  EXPECT_TRUE(Action(*w, "aProg")->isEnabled());
  EXPECT_TRUE(w->Bars()->Progress()->isHidden());
  EXPECT_FALSE(w->close());  // the table was not clean

  sim->SetBoot(false);
  EXPECT_FALSE(kado->isHidden());
  EXPECT_TRUE(boot->isHidden());
  EXPECT_FALSE(Action(*w, "aProg")->isVisible());
  EXPECT_TRUE(w->Table().Modified());
  EXPECT_TRUE(Action(*w, "aSave")->isEnabled());
  EXPECT_TRUE(Action(*w, "aAdd")->isEnabled());
  EXPECT_FALSE(Action(*w, "aTransmit")->isEnabled());
}

TEST_F(DeviceTest, CtrlPWritesTheNewestFileAndWarnsWhenAnOlderRowIsSelected) {
  // Two folders keep the rows in a known order: the older file first, the newest second.
  QTemporaryDir older, newer;
  const auto write = [](const QTemporaryDir& dir, uint8_t seed, uint16_t year) {
    std::vector<uint8_t> body(300);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * seed + 1);
    const std::vector<uint8_t> file = velmora::EncodeFirmware(
        body, velmora::Cp("Прошивка"), velmora::PackDosDateTime({year, 1, 1, 0, 0, 0, 0}), 2);
    QFile f(dir.filePath(QStringLiteral("kado.HAS")));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
    return body;
  };
  write(older, 3, 2008);
  const std::vector<uint8_t> newest = write(newer, 7, 2009);
  const QString warning = QStringLiteral("***Не последняя версия программы");
  for (const int clickedRow : {1, 0}) {
    Make("boot", {older.path().toStdString(), newer.path().toStdString()});
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    auto* grid = w->findChild<QTableWidget*>(QStringLiteral("sgBoot"));
    ASSERT_EQ(grid->rowCount(), 2);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      grid->visualItemRect(grid->item(clickedRow, 1)).center());
    ASSERT_EQ(grid->currentRow(), clickedRow);
    QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(Panel(*w, 2), QStringLiteral("Программа записана")) << clickedRow;
    EXPECT_EQ(LogLines().contains(warning), clickedRow == 0) << clickedRow;
    ASSERT_GE(sim->Memory().size(), newest.size());
    EXPECT_TRUE(std::equal(newest.begin(), newest.end(), sim->Memory().begin())) << clickedRow;
    w.reset();
  }
}

TEST_F(DeviceTest, TypingLandsInTheGridAfterTheBootLoaderGoes) {
  Make("");
  ASSERT_NO_FATAL_FAILURE(ShowActive());
  LoadThree();
  sim->SetBoot(true);
  auto* boot = w->findChild<QTableWidget*>(QStringLiteral("sgBoot"));
  QTest::mouseClick(boot->viewport(), Qt::LeftButton, {},
                    boot->visualRect(boot->model()->index(0, 1)).center());
  sim->SetBoot(false);
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  Type(QApplication::focusWidget(), QStringLiteral("Ю"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("12Ю"));
}

TEST_F(DeviceTest, ABootLoaderArrivingAfterStartShowsThePanelWithItsCodingTables) {
  QTemporaryDir folder;
  const std::vector<uint8_t> file = velmora::EncodeFirmware(
      std::vector<uint8_t>(300, 0x33), "FW", velmora::PackDosDateTime({2009, 10, 5, 12, 0, 0, 0}), 2);
  QFile has(folder.filePath(QStringLiteral("kado.HAS")));
  ASSERT_TRUE(has.open(QIODevice::WriteOnly));
  has.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
  has.close();
  Make("boot,detached,attach-after=50", {folder.path().toStdString()});
  ASSERT_NO_FATAL_FAILURE(ShowActive());
  auto* boot = w->findChild<QWidget*>(QStringLiteral("pnBoot"));
  EXPECT_TRUE(boot->isHidden());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boot->isHidden(); }, 5000));
  EXPECT_EQ(LogLines().filter(QStringLiteral("Таблицы кодирования")),
            QStringList{QStringLiteral("Таблицы кодирования: встроенные")});

}

TEST_F(DeviceTest, AFirmwarePanelWithoutFilesLeavesProgDisabled) {
  QTemporaryDir empty;
  Make("boot", {empty.path().toStdString()});
  EXPECT_FALSE(w->findChild<QWidget*>(QStringLiteral("pnBoot"))->isHidden());
  EXPECT_TRUE(Action(*w, "aProg")->isVisible());
  EXPECT_FALSE(Action(*w, "aProg")->isEnabled());
  auto* grid = w->findChild<QTableWidget*>(QStringLiteral("sgBoot"));
  EXPECT_EQ(grid->rowCount(), 1);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(grid->item(0, c), nullptr);
}

}  // namespace
