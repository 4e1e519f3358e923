#include "Aboutp.h"

#include <algorithm>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextOption>
#include <QWindow>

#include "qtadapters.h"
#include "version.h"

namespace {

const QString kCaption = QStringLiteral("Velmora v" VELMORA_VERSION " о программе...");
const QString kExitHint = QStringLiteral("Щелкните мышью по кнопке для выхода из формы");
const QString kNoName = QStringLiteral("Без имени");

QString PlatformName(int platformId) {
  switch (platformId) {
    case 0: return QStringLiteral("Win32s on Windows 3.1.");
    case 1: return QStringLiteral("Windows 95/98");
    case 2: return QStringLiteral("Windows NT");
    default: return QStringLiteral("Unknown OS");
  }
}

const QStringList& FixedLines() {
  static const QStringList lines = {
      QStringLiteral("АРМ Velmora v" VELMORA_VERSION " (B.49) окт-2009 \"Морван-Информ\"."),
      QStringLiteral(" "),
      QStringLiteral("Программа подготовки текстовой информации о маршрутах, начальных"),
      QStringLiteral("и конечных остановках для вывода на табло системы \"ЛУМАР\""),
      QStringLiteral("через КАДО-08 - устройство переноса информации"),
      QStringLiteral("---------- ВНИМАНИЕ ----------"),
      QStringLiteral("- КАДО передает только ограниченную часть текстовой информации о маршруте"),
      QStringLiteral("- Для подготовки полной текстовой и звуковой информации для системы \"ЛУМАР\""),
      QStringLiteral("используйте АРМ Dorlan v3.xx, который готовит данные для информаторов"),
      QStringLiteral("ЛУМАР-И2, ЛУМАР-И3М и ЛУМАР-И4Т"),
      QStringLiteral("(c) 2009 ООО \"Морван-Информ\", г. Велмор, тел. 8 (000) 000-00-00"),
      QStringLiteral("www.example.invalid      e-mail: info@example.invalid"),
      QString(),
      QStringLiteral("Программист: Орлов А. В., тел. 8 (000) 000-00-01, 8 (000) 000-00-02"),
      QStringLiteral("e-mail: programmer@example.invalid"),
      QStringLiteral("Электроника: Сомов Д. Е., тел. 8 (000) 000-00-03, 8 (000) 000-00-04"),
      QString(),
      QStringLiteral("УСПЕШНОЙ ВАМ РАБОТЫ!!"),
  };
  return lines;
}

}  // namespace

QStringList BuildAboutLines(const AboutSystemInfo& info, const QDateTime& now) {
  QStringList lines = FixedLines();
  lines << QString();

  const bool otherSystem = !info.productName.isEmpty();
  const int platform = otherSystem ? 2 : info.platformId;
  unsigned major = info.major, minor = info.minor, build = info.build;
  if (platform == 1) {
    major = (info.build >> 24) & 0xFF;
    minor = (info.build >> 16) & 0xFF;
    build = info.build & 0xFFFF;
  } else if (platform != 2) {
    major = 3;
    minor = 1;
  }
  const QString name = otherSystem ? info.productName : PlatformName(platform);
  lines << name + QStringLiteral(" (TM)   v.m ") + QString::number(major) + QLatin1Char('.') +
               QString::number(minor) + QStringLiteral(" Build=") + QString::number(build) +
               QStringLiteral("  ") + info.servicePack;
  if (platform == 2) {
    lines << QStringLiteral("Вы работаете на компьютере ") +
                 (info.computerName.isEmpty() ? kNoName : info.computerName);
  }
  const QLocale locale = QLocale::system();
  lines << QStringLiteral("Сейчас: ") + locale.toString(now.date(), QLocale::ShortFormat) +
               QLatin1Char(' ') + locale.toString(now.time(), QtDateTimeFormat::LongTimePattern());
  return lines;
}

TAboutF::TAboutF(QWidget* owner, const AboutSystemInfo& info, const QDateTime& now)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("AboutF"));
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(13);
  setFont(font);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(0, 0, kClientWidth, 372);
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setFocusPolicy(Qt::NoFocus);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  QTextOption centred(Qt::AlignHCenter);
  centred.setWrapMode(QTextOption::NoWrap);
  Memo1->document()->setDefaultTextOption(centred);

  bbExit = new QPushButton(this);
  bbExit->setObjectName(QStringLiteral("bbExit"));
  bbExit->setGeometry(520, 336, 32, 32);
  QIcon icon(QStringLiteral(":/icons/exit.svg"));
  if (icon.availableSizes().isEmpty() && icon.pixmap(24, 24).isNull())
    icon = style()->standardIcon(QStyle::SP_DialogCloseButton);
  bbExit->setIcon(icon);
  bbExit->setIconSize(QSize(24, 24));
  bbExit->setCursor(Qt::PointingHandCursor);
  bbExit->setToolTip(kExitHint);
  bbExit->setAutoDefault(false);
  bbExit->raise();
  connect(bbExit, &QPushButton::clicked, this, &TAboutF::bbExitClick);

  FormCreate(info, now);
}

void TAboutF::FormCreate(const AboutSystemInfo& info, const QDateTime& now) {
  setWindowTitle(kCaption);
  Memo1->clear();
  const QStringList lines = BuildAboutLines(info, now);
  // Where MS Sans Serif is missing, its stand-in may be wider: step down until the
  // longest line fits the pane.
  const int room = Memo1->width() -
                   2 * static_cast<int>(Memo1->document()->documentMargin()) - 4;
  QFont memoFont = Memo1->font();
  for (int px = 13; px >= 9; --px) {
    memoFont.setPixelSize(px);
    const QFontMetrics metrics(memoFont);
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= room) break;
  }
  Memo1->setFont(memoFont);
  Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TAboutF::bbExitClick() { close(); }

void TAboutF::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  bbExit->setFocus(Qt::OtherFocusReason);
}

TAboutF* TAboutF::Ensure(QWidget* mainWindow) {
  if (auto* about = mainWindow->findChild<TAboutF*>(QStringLiteral("AboutF"),
                                                    Qt::FindDirectChildrenOnly))
    return about;
  return new TAboutF(mainWindow, CurrentSystemInfo(), QDateTime::currentDateTime());
}

QPoint TAboutF::PlaceFor(const QWidget* mainWindow, const QWidget* about, int gridTopInPanel) {
  const QRect main = mainWindow->frameGeometry();
  // Integer division truncates toward zero, as the placement rule wants.
  return QPoint(main.x() + (main.width() - about->frameGeometry().width()) / 2,
                main.y() + gridTopInPanel + 80);
}

void TAboutF::Place(QWidget* mainWindow, int gridTopInPanel) {
  if (shownBefore_) {
    move(PlaceFor(mainWindow, this, gridTopInPanel));
    return;
  }
  shownBefore_ = true;
  QScreen* screen = mainWindow->screen() ? mainWindow->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  // The frame's margins are known once the window exists; centring goes by the frame.
  create();
  const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  const QSize frame = size().grownBy(margins);
  const QRect area = screen->availableGeometry();
  move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

TAboutF* TAboutF::ShowAbout(QWidget* mainWindow, int gridTopInPanel) {
  TAboutF* about = Ensure(mainWindow);
  about->Place(mainWindow, gridTopInPanel);
  if (about->isVisible()) about->hide();
  about->exec();
  return about;
}
