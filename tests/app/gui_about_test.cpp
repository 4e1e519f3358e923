// The about window: its lines, built once; its layout; bbExit; the placement rule.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include "Aboutp.h"
#include "gui_support.h"

namespace {

AboutSystemInfo WindowsXp() {
  AboutSystemInfo info;
  info.platformId = 2;
  info.major = 5;
  info.minor = 1;
  info.build = 2600;
  info.servicePack = QStringLiteral("Service Pack 3");
  info.computerName = QStringLiteral("DISPATCH-01");
  return info;
}

const QDateTime kNow(QDate(2026, 12, 8), QTime(1, 30, 42));

TEST(AboutLines, PlatformTwoHasTwentyTwoLines) {
  const QStringList lines = BuildAboutLines(WindowsXp(), kNow);
  ASSERT_EQ(lines.size(), 22);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("АРМ Velmora v1.05 (B.49) окт-2009 \"")));
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\".")));
  EXPECT_EQ(lines[1], QStringLiteral(" "));
  EXPECT_EQ(lines[5], QStringLiteral("---------- ВНИМАНИЕ ----------"));
  EXPECT_EQ(lines[12], QString());
  EXPECT_EQ(lines[16], QString());
  EXPECT_EQ(lines[17], QStringLiteral("УСПЕШНОЙ ВАМ РАБОТЫ!!"));
  EXPECT_EQ(lines[18], QString());
  EXPECT_EQ(lines[19], QStringLiteral("Windows NT (TM)   v.m 5.1 Build=2600  Service Pack 3"));
  EXPECT_EQ(lines[20], QStringLiteral("Вы работаете на компьютере DISPATCH-01"));
  EXPECT_TRUE(lines[21].startsWith(QStringLiteral("Сейчас: ")));
  EXPECT_TRUE(lines[21].contains(QStringLiteral("30:42"))) << lines[21].toStdString();
}

TEST(AboutLines, OtherPlatformsHaveNoComputerLine) {
  AboutSystemInfo w98;
  w98.platformId = 1;
  w98.build = (4u << 24) | (10u << 16) | 2222u;
  w98.servicePack = QStringLiteral(" A ");
  w98.computerName = QStringLiteral("OLDBOX");
  QStringList lines = BuildAboutLines(w98, kNow);
  ASSERT_EQ(lines.size(), 21);
  EXPECT_EQ(lines[19], QStringLiteral("Windows 95/98 (TM)   v.m 4.10 Build=2222   A "));
  EXPECT_TRUE(lines[20].startsWith(QStringLiteral("Сейчас: ")));

  AboutSystemInfo odd;
  odd.platformId = 7;
  odd.major = 9;
  odd.build = 12;
  lines = BuildAboutLines(odd, kNow);
  ASSERT_EQ(lines.size(), 21);
  EXPECT_EQ(lines[19], QStringLiteral("Unknown OS (TM)   v.m 3.1 Build=12  "));

  AboutSystemInfo w31;
  w31.platformId = 0;
  EXPECT_TRUE(BuildAboutLines(w31, kNow)[19].startsWith(QStringLiteral("Win32s on Windows 3.1. (TM)   v.m 3.1 ")));
}

TEST(AboutLines, ComputerNameWholeOrWithoutName) {
  AboutSystemInfo info = WindowsXp();
  info.computerName = QStringLiteral("ABCDEFGHIJKLMNO");  // 15 characters
  EXPECT_EQ(BuildAboutLines(info, kNow)[20], QStringLiteral("Вы работаете на компьютере ABCDEFGHIJKLMNO"));
  info.computerName = QStringLiteral("диспетчерская-парк-номер-3");
  EXPECT_EQ(BuildAboutLines(info, kNow)[20],
            QStringLiteral("Вы работаете на компьютере диспетчерская-парк-номер-3"));
  info.computerName.clear();
  EXPECT_EQ(BuildAboutLines(info, kNow)[20], QStringLiteral("Вы работаете на компьютере Без имени"));
}

TEST(AboutLines, OtherSystemsInTheSameShapeWithComputerLine) {
  AboutSystemInfo linux;
  linux.productName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
  linux.platformId = 0;  // not consulted
  linux.major = 6;
  linux.minor = 1;
  linux.build = 0;
  linux.servicePack = QStringLiteral("6.1.0-18-amd64");
  linux.computerName = QStringLiteral("depot");
  const QStringList lines = BuildAboutLines(linux, kNow);
  ASSERT_EQ(lines.size(), 22);
  EXPECT_EQ(lines[19],
            QStringLiteral("Debian GNU/Linux 12 (bookworm) (TM)   v.m 6.1 Build=0  6.1.0-18-amd64"));
  EXPECT_EQ(lines[20], QStringLiteral("Вы работаете на компьютере depot"));

  const AboutSystemInfo here = CurrentSystemInfo();
  EXPECT_EQ(BuildAboutLines(here, kNow).size(), 22);
}

class AboutWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { guitest::EnsureApp(); }
  void SetUp() override {
    main = std::make_unique<QWidget>();
    main->setGeometry(40, 30, 700, 500);
    main->show();
  }

  // Shows the window modally; `inside` runs while it is up and must close it.
  void ShowWith(const std::function<void(TAboutF*)>& inside) {
    TAboutF* about = TAboutF::Ensure(main.get());
    bool ran = false;
    QTimer::singleShot(0, about, [&] {
      ran = true;
      inside(about);
    });
    // A window that failed to close must not hang the run.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, about, [about] {
      ADD_FAILURE() << "the about window stayed open";
      about->reject();
    });
    guard.start(5000);
    EXPECT_EQ(TAboutF::ShowAbout(main.get(), kGridTop), about);
    EXPECT_TRUE(ran);
  }
  static void connect(QTimer* t, decltype(&QTimer::timeout) s, QObject* ctx, std::function<void()> f) {
    QObject::connect(t, s, ctx, std::move(f));
  }

  static constexpr int kGridTop = 57;
  std::unique_ptr<QWidget> main;
};

TEST_F(AboutWindow, LayoutAndBehaviourOfItsParts) {
  TAboutF* about = TAboutF::Ensure(main.get());
  EXPECT_EQ(TAboutF::Ensure(main.get()), about);  // created once, kept
  EXPECT_EQ(about->windowTitle(), QStringLiteral("Velmora v1.05 о программе..."));
  EXPECT_EQ(about->size(), QSize(553, 371));
  EXPECT_EQ(about->minimumSize(), about->maximumSize());
  const Qt::WindowFlags flags = about->windowFlags();
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);

  QPlainTextEdit* memo = about->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
  ASSERT_TRUE(memo);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(memo->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask,
            Qt::AlignHCenter);
  EXPECT_EQ(memo->document()->blockCount(), 22);

  QPushButton* exit = about->findChild<QPushButton*>(QStringLiteral("bbExit"));
  ASSERT_TRUE(exit);
  EXPECT_EQ(exit->geometry(), QRect(520, 336, 32, 32));
  EXPECT_EQ(exit->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(exit->toolTip(), QStringLiteral("Щелкните мышью по кнопке для выхода из формы"));
  EXPECT_FALSE(exit->icon().isNull());
}

TEST_F(AboutWindow, ShowsTheFirstMomentAgainAndClosesByBbExit) {
  QString firstNow, firstText;
  QPoint firstCentre;
  ShowWith([&](TAboutF* about) {
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(about->isModal());
    EXPECT_EQ(about->focusWidget(), about->bbExit);
    firstText = about->Memo1->toPlainText();
    firstNow = about->Memo1->document()->lastBlock().text();
    firstCentre = about->frameGeometry().center();
    const QString shot = qEnvironmentVariable("VELMORA_ABOUT_SCREENSHOT");
    if (!shot.isEmpty()) {
      EXPECT_TRUE(about->grab().save(shot));
    }
    QTest::mouseClick(about->bbExit, Qt::LeftButton);
  });
  TAboutF* about = TAboutF::Ensure(main.get());
  EXPECT_FALSE(about->isVisible());
  EXPECT_TRUE(firstNow.startsWith(QStringLiteral("Сейчас: ")));
  // The first showing is centred on the screen.
  const QPoint screenCentre = main->screen()->availableGeometry().center();
  EXPECT_LE((firstCentre - screenCentre).manhattanLength(), 2)
      << firstCentre.x() << "," << firstCentre.y() << " vs " << screenCentre.x() << ","
      << screenCentre.y();

  QThread::msleep(1100);  // a later second on the clock
  main->move(90, 60);
  QPoint secondPlace;
  QString secondNow;
  ShowWith([&](TAboutF* shown) {
    secondNow = shown->Memo1->document()->lastBlock().text();
    secondPlace = shown->frameGeometry().topLeft();
    EXPECT_EQ(shown->Memo1->toPlainText(), firstText);
    shown->bbExit->click();
  });
  EXPECT_EQ(secondNow, firstNow);
  const QRect m = main->frameGeometry();
  EXPECT_EQ(secondPlace, QPoint(m.x() + (m.width() - about->frameGeometry().width()) / 2,
                                m.y() + kGridTop + 80));
  EXPECT_FALSE(about->isVisible());
}

TEST_F(AboutWindow, PlacementTruncatesTowardZero) {
  // Neither window shown yet: no frames. The about window is wider than this main window,
  // so (300 - 553) / 2 is -126 (toward zero), not -127.
  QWidget narrow;
  narrow.setGeometry(100, 50, 300, 200);
  TAboutF* about = TAboutF::Ensure(main.get());
  ASSERT_EQ(about->frameGeometry().width(), 553);
  EXPECT_EQ(TAboutF::PlaceFor(&narrow, about, 10), QPoint(-26, 140));
  narrow.setGeometry(100, 50, 800, 200);
  EXPECT_EQ(TAboutF::PlaceFor(&narrow, about, 57), QPoint(223, 187));
}

}  // namespace
