// The actions of the main window: their captions, hints, keys, menu and toolbar places,
// and the handlers of the file and route commands.
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QTableView>
#include <QToolBar>

#include "Aboutp.h"
#include "mainwindow.h"
#include "memorygauge.h"
#include "routemodel.h"
#include "statusbars.h"

namespace {

struct ActionDef {
  const char* name;
  const char* caption;
  const char* hint;
  QKeySequence keys;
  const char* themeIcon;
  const char* icon;
};

// The theme's icon where the desktop has one, else our own: the SVG, or where Qt has no
// SVG plug-in the 16-pixel PNG drawn from it.
QIcon ActionIcon(const char* themeName, const char* ownName) {
  static const bool svg = QImageReader::supportedImageFormats().contains("svg");
  const QString own =
      QStringLiteral(":/icons/%1.%2")
          .arg(QString::fromLatin1(ownName), svg ? QStringLiteral("svg") : QStringLiteral("png"));
  return QIcon::fromTheme(QString::fromLatin1(themeName), QIcon(own));
}

}  // namespace

void TVelmoraF::createActions() {
  const auto make = [this](const ActionDef& def, void (TVelmoraF::*handler)()) {
    auto* action =
        new QAction(ActionIcon(def.themeIcon, def.icon), QString::fromUtf8(def.caption), this);
    action->setObjectName(QString::fromLatin1(def.name));
    action->setToolTip(QString::fromUtf8(def.hint));
    action->setStatusTip(QString());
    action->setShortcut(def.keys);
    connect(action, &QAction::triggered, this, handler);
    addAction(action);  // the keys work whatever bars are shown
    return action;
  };
  aOpen = make({"aOpen", "Открыть", "Открыть файл описания группы маршрутов", Qt::Key_F3,
                "document-open", "open"},
               &TVelmoraF::aOpenExecute);
  aSave = make({"aSave", "Сохранить", "Сохранить изменения в описаниях в текущий файле", Qt::Key_F5,
                "document-save", "save"},
               &TVelmoraF::aSaveExecute);
  aSaveAs = make({"aSaveAs", "Сохранить как...", "Сохранить описания в заданный файл", Qt::Key_F6,
                  "document-save-as", "saveas"},
                 &TVelmoraF::aSaveAsExecute);
  aClose =
      make({"aClose", "Закрыть", "Закрыть текущий проект", Qt::Key_F7, "document-close", "close"},
           &TVelmoraF::aCloseExecute);
  aExit = make({"aExit", "Выйти", "Завершить выполнение программы",
                QKeySequence(Qt::CTRL | Qt::Key_F4), "application-exit", "exit"},
               &TVelmoraF::aExitExecute);
  aAdd = make({"aAdd", "Добавить", "Добавить новый маршрут",
               QKeySequence(Qt::CTRL | Qt::Key_Insert), "list-add", "add"},
              &TVelmoraF::aAddExecute);
  aDel = make({"aDel", "Удалить", "Удалить описание маршрута",
               QKeySequence(Qt::CTRL | Qt::Key_Delete), "list-remove", "delete"},
              &TVelmoraF::aDelExecute);
  aUp = make({"aUp", "Вверх", "Поднять строку описания маршрута вверх",
              QKeySequence(Qt::CTRL | Qt::Key_Up), "go-up", "up"},
             &TVelmoraF::aUpExecute);
  aDown = make({"aDown", "Вниз", "Опустить строку описания маршрута вниз",
                QKeySequence(Qt::CTRL | Qt::Key_Down), "go-down", "down"},
               &TVelmoraF::aDownExecute);
  aReset = make({"aReset", "Отменить", "Отменить все изменения в описаниях",
                 QKeySequence(Qt::CTRL | Qt::Key_Z), "edit-undo", "undo"},
                &TVelmoraF::aResetExecute);
  aTransmit =
      make({"aTransmit", "Записать", "Записать данные о маршрутах в устройство переноса информации",
            Qt::Key_F9, "document-send", "transmit"},
           &TVelmoraF::aTransmitExecute);
  aRecive = make({"aRecive", "Читать", "Считать информацию из устройства переноса информации",
                  QKeySequence(), "document-import", "receive"},
                 &TVelmoraF::aReciveExecute);
  aRecive->setVisible(false);
  aProg = make({"aProg", "Программа КАДО", "Обновить микропрограмму КАДО",
                QKeySequence(Qt::CTRL | Qt::Key_P), "system-software-update", "prog"},
               &TVelmoraF::aProgExecute);
  aProg->setVisible(false);
  aAbout = make({"aAbout", "О программе...", "Вывод информации о программе",
                 QKeySequence(Qt::CTRL | Qt::Key_F1), "help-about", "about"},
                &TVelmoraF::aAboutExecute);
}

void TVelmoraF::createMenus() {
  QMenu* files = menuBar()->addMenu(QStringLiteral("Файлы"));
  files->setObjectName(QStringLiteral("mnFiles"));
  files->addActions({aOpen, aSave, aSaveAs, aClose, aExit});
  QMenu* routes = menuBar()->addMenu(QStringLiteral("Маршруты"));
  routes->setObjectName(QStringLiteral("mnRoutes"));
  routes->addActions({aAdd, aDel, aUp, aDown, aReset});
  QMenu* kado = menuBar()->addMenu(QStringLiteral("КАДО"));
  kado->setObjectName(QStringLiteral("mnKado"));
  kado->addActions({aTransmit, aRecive, aProg});
  QMenu* about = menuBar()->addMenu(QStringLiteral("Сведения"));
  about->setObjectName(QStringLiteral("mnAbout"));
  about->addAction(aAbout);
  for (QMenu* menu : {files, routes, kado, about}) menu->setToolTipsVisible(true);
}

void TVelmoraF::createToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Панель"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFixedHeight(29);
  bar->setIconSize(QSize(16, 16));
  bar->addActions({aOpen, aSave, aSaveAs, aReset});
  bar->addSeparator();
  bar->addActions({aAdd, aDel, aUp, aDown});
  bar->addSeparator();
  bar->addActions({aTransmit, aRecive, aProg, aExit});
  bar->addSeparator();
  lbProd = new QLabel(bar);
  lbProd->setObjectName(QStringLiteral("lbProd"));
  // The toolbar's style repaints its children's palette; a style sheet holds.
  lbProd->setStyleSheet(QStringLiteral("QLabel { color: rgb(0, 0, 255); font-size: 11px; }"));
  lbProd->setContentsMargins(4, 0, 4, 0);
  bar->addWidget(lbProd);
  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);
  pbMemory = new MemoryGauge(bar);
  memoryGauge_ = bar->addWidget(pbMemory);
}

// After a dialog the focus goes back to the grid, even where the dialog's command replaced the cell
// editor that had it.
void TVelmoraF::aOpenExecute() {
  files_->Open(true);
  if (gridFocusable_) FocusGrid();
}
void TVelmoraF::aSaveExecute() {
  files_->Save();
  if (gridFocusable_) FocusGrid();
}
void TVelmoraF::aSaveAsExecute() {
  files_->SaveAs();
  if (gridFocusable_) FocusGrid();
}
void TVelmoraF::aCloseExecute() { files_->Close(); }
void TVelmoraF::aExitExecute() { close(); }

void TVelmoraF::aAddExecute() {
  if (table_.Add() == velmora::RouteTable::AddResult::Full) {
    QApplication::beep();
    ShowStatus(velmora::kPanelStatus, velmora::RouteLimitText());
  }
  RefreshWindowState();
}

void TVelmoraF::aDelExecute() {
  table_.Delete();
  RefreshWindowState();
}

void TVelmoraF::aUpExecute() {
  table_.MoveUp();
  RefreshWindowState();
}

void TVelmoraF::aDownExecute() {
  table_.MoveDown();
  RefreshWindowState();
}

void TVelmoraF::aResetExecute() {
  table_.UndoAll();
  ShowStatus(velmora::kPanelStatus, velmora::UndoneText());
  RefreshWindowState();
}

void TVelmoraF::aReciveExecute() {}

void TVelmoraF::aAboutExecute() { TAboutF::ShowAbout(this, sgList->y()); }
