// The window as it is drawn: the colours of its panels and labels, icons that are not
// blank. With VELMORA_SCREENSHOT_DIR set, the pictures are saved there (the README's
// screenshots come from here).
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QToolBar>

#include "device/Formatm.h"
#include "device/simkado.h"
#include "gui_support.h"

using namespace guitest;

namespace {

class Screens : public WindowFixture {
 protected:
  void Make(const char* simOptions, std::vector<std::string> firmware = {}) {
    WindowOptions o = Options();
    if (simOptions) {
      velmora::SimKadoOptions so;
      std::string error;
      ASSERT_TRUE(velmora::ParseSimKadoOptions(simOptions, so, error)) << error;
      auto sim = std::make_unique<velmora::SimKado>(so);
      o.sim = sim.get();
      o.hid = std::move(sim);
    }
    if (!firmware.empty()) o.firmwareFolders = std::move(firmware);
    w = std::make_unique<TVelmoraF>(std::move(o));
    w->FormActivate();
    LoadRoutes(*w, {{"12", "Вокзал", "Парк Победы", ""},
                    {"5А", "Рынок;ТЦ", "Аэропорт", "Через центр"},
                    {"31", "Школа №7", "Депо", "Кольцевой"}});
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  }

  QImage Grab(const char* name) {
    QCoreApplication::processEvents();
    const QImage image = w->grab().toImage();
    const QByteArray dir = qgetenv("VELMORA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
    return image;
  }

  // How many pixels of `widget`'s area in the window picture have this colour, give or
  // take the smoothing of text edges.
  int Count(const QImage& image, const QWidget* widget, QColor colour) {
    const QRect area(widget->mapTo(w.get(), QPoint(0, 0)), widget->size());
    const qreal dpr = image.devicePixelRatio();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        const QColor c = image.pixelColor(QPoint(qRound(x * dpr), qRound(y * dpr)));
        if (qAbs(c.red() - colour.red()) <= 40 && qAbs(c.green() - colour.green()) <= 40 &&
            qAbs(c.blue() - colour.blue()) <= 40) {
          ++n;
        }
      }
    }
    return n;
  }
};

TEST_F(Screens, RouteWindowShowsCreamPanelTooltipStatusBarAndIcons) {
  Make(nullptr);
  const QImage image = Grab("screenshot-main.png");
  EXPECT_GT(Count(image, w->findChild<QWidget*>(QStringLiteral("pnKado")), QColor(0xFF, 0xFB, 0xF0)), 500);
  const QColor tip = w->Bars()->palette().color(QPalette::Window);
  EXPECT_EQ(tip, QApplication::palette().color(QPalette::ToolTipBase));
  EXPECT_GT(Count(image, w->Bars()->PanelLabel(2), tip), 100);
  // The memory gauge is drawn on the toolbar, its filled part green while the list fits.
  auto* gauge = w->findChild<QWidget*>(QStringLiteral("pbMemory"));
  ASSERT_NE(gauge, nullptr);
  EXPECT_GT(Count(image, gauge, QColor(150, 205, 150)), 4);
  // Every action's icon draws something at the toolbar's size.
  for (QAction* a : w->actions()) {
    const QImage icon = a->icon().pixmap(16, 16).toImage();
    int opaque = 0;
    for (int y = 0; y < icon.height(); ++y) {
      for (int x = 0; x < icon.width(); ++x) opaque += qAlpha(icon.pixel(x, y)) > 0 ? 1 : 0;
    }
    EXPECT_GT(opaque, 20) << a->objectName().toStdString();
  }
}

TEST_F(Screens, SimulatedDeviceIsNamedInBlueOnTheToolbar) {
  Make("");
  Action(*w, "aTransmit")->trigger();
  const QImage image = Grab("screenshot-simulate.png");
  auto* product = w->findChild<QLabel*>(QStringLiteral("lbProd"));
  EXPECT_EQ(product->text(), QStringLiteral("КАДО-08 (v1.05)"));
  EXPECT_GT(Count(image, product, QColor(0, 0, 255)), 20);
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Загрузка окончена"));
  EXPECT_NE(w->findChild<QToolBar*>(QStringLiteral("simPanel")), nullptr);
}

TEST_F(Screens, FirmwarePanelHasItsRedCaption) {
  QTemporaryDir folder;
  const struct { const char* name; const char* title; velmora::DateTime date; int size; } files[] = {
      {"kado0104.has", "КАДО-08 v1.04", {2009, 3, 1, 0, 0, 0, 0}, 1500},
      {"kado0105.HAS", "КАДО-08 v1.05", {2009, 10, 5, 14, 30, 0, 0}, 2000}};
  for (const auto& f : files) {
    const std::vector<uint8_t> bytes = velmora::EncodeFirmware(
        std::vector<uint8_t>(static_cast<std::size_t>(f.size), 0x5A), velmora::Cp(f.title),
        velmora::PackDosDateTime(f.date), 2);
    QFile out(folder.filePath(QString::fromLatin1(f.name)));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  Make("boot", {folder.path().toStdString()});
  const QImage image = Grab("screenshot-boot.png");
  auto* caption = w->findChild<QLabel*>(QStringLiteral("lbChangeProg"));
  EXPECT_GT(Count(image, caption, QColor(255, 0, 0)), 100);
  EXPECT_EQ(caption->font().pixelSize(), 19);
  // The route list's gauge gives its place to the firmware action.
  EXPECT_FALSE(w->findChild<QWidget*>(QStringLiteral("pbMemory"))->isVisible());
  auto* grid = w->findChild<QTableWidget*>(QStringLiteral("sgBoot"));
  ASSERT_EQ(grid->rowCount(), 2);
  // The newest file is selected whichever is listed first.
  ASSERT_NE(grid->item(grid->currentRow(), 4), nullptr);
  EXPECT_EQ(grid->item(grid->currentRow(), 4)->text(), QStringLiteral("kado0105.HAS"));
}

}  // namespace
