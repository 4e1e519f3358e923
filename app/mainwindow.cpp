#include "mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/cp1251.h"
#include "celldelegate.h"
#include "device/schemefile.h"
#include "device/simkado.h"
#include "devicewatcher.h"
#include "routemodel.h"
#include "sheets/tablefile.h"
#include "simpanel.h"
#include "statusbars.h"

static void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace {

QFont WindowFont(int pixels) {
  QFont font;
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  return font;
}

QColor ToQColor(velmora::LogColour c) { return QColor(c.r, c.g, c.b); }

// A log line ends with "\n" where the text was formatted for a Windows text box; the
// pane shows lines, so one trailing line break is dropped for display.
QString DisplayLine(const std::string& text) {
  QString line = RouteModel::FromCp(text);
  if (line.endsWith(QLatin1Char('\n'))) line.chop(1);
  return line;
}

}  // namespace

TVelmoraF::TVelmoraF(WindowOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      work_(std::make_unique<velmora::WorkBuffer>()),
      gaugeList_(std::make_unique<velmora::StoredRouteList>()) {
  InitIcons();
  setObjectName(QStringLiteral("VelmoraF"));
  hid_ = std::move(options_.hid);
  if (!hid_) hid_ = velmora::CreateSystemHidFunctions();
  sim_ = options_.sim;
  settings_ = std::move(options_.settings);
  if (!settings_) settings_ = CreatePlatformSettingsBackend();
  velmora::FileDialogs* dialogs = options_.dialogs;
  if (!dialogs) {
    qtDialogs_ = std::make_unique<QtFileDialogs>(this);
    dialogs = qtDialogs_.get();
  }
  files_ = std::make_unique<velmora::RouteFileCommands>(table_, *this, *dialogs, clock_, format_,
                                                         velmora::ReadRouteTableFile);
  link_ = std::make_unique<velmora::DeviceLink>(*hid_, context_, *this);

  setFont(WindowFont(11));
  setAcceptDrops(true);
  createActions();
  createMenus();
  createToolBar();
  createPanels();
  table_.SetListener([this] { OnTableChanged(); });
  createDeviceSources();

  // The client area is 529 pixels wide, or what the grid's columns need in the desktop's font.
  resize(qMax(529, GridWidth()),
         424 + menuBar()->sizeHint().height() + (simPanel_ ? simPanel_->sizeHint().height() : 0));
  FormCreate();
}

TVelmoraF::~TVelmoraF() {
  table_.SetListener(nullptr);
  if (sim_) sim_->SetEventListener(nullptr);
  // The widgets go before the table, the device link and the HID backend that they use:
  // closing the editor commits its text into the table. The grid is half destroyed while its
  // children go, so the filter must not look at it any more.
  tearingDown_ = true;
  delete takeCentralWidget();
  delete simPanel_;
  delete watcher_;
  delete model_;
  delete delegate_;
}

void TVelmoraF::createPanels() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  SplitHor = new QSplitter(Qt::Vertical, central);
  SplitHor->setObjectName(QStringLiteral("SplitHor"));
  SplitHor->setHandleWidth(11);
  SplitHor->setOpaqueResize(true);
  SplitHor->setChildrenCollapsible(false);
  layout->addWidget(SplitHor);

  // pnKado and pnBoot share one place; exactly one of them is visible.
  auto* top = new QWidget(SplitHor);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->setSpacing(0);

  pnKado = new QWidget(top);
  pnKado->setObjectName(QStringLiteral("pnKado"));
  pnKado->setAutoFillBackground(true);
  QPalette cream = pnKado->palette();
  cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
  pnKado->setPalette(cream);
  auto* kadoLayout = new QVBoxLayout(pnKado);
  kadoLayout->setContentsMargins(2, 2, 2, 2);

  model_ = new RouteModel(table_, this);
  delegate_ = new CellDelegate(table_, this);
  delegate_->SetShortcutFilter([this](const QKeySequence& keys) { return IsActionKey(keys); });
  connect(delegate_, &CellDelegate::refused, this, [] { QApplication::beep(); });
  connect(delegate_, &CellDelegate::cursorStep, this, &TVelmoraF::StepCursor);
  connect(delegate_, &CellDelegate::leftEditor, this, &TVelmoraF::KeysToGrid);

  sgList = new QTableView(pnKado);
  sgList->setObjectName(QStringLiteral("sgList"));
  sgList->setModel(model_);
  sgList->setItemDelegate(delegate_);
  sgList->verticalHeader()->hide();
  sgList->verticalHeader()->setDefaultSectionSize(18);
  sgList->horizontalHeader()->setHighlightSections(false);
  sgList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  sgList->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  sgList->horizontalHeader()->setDefaultSectionSize(32);
  sgList->horizontalHeader()->setMinimumSectionSize(8);
  SetGridWidths();
  sgList->setSelectionMode(QAbstractItemView::ContiguousSelection);
  sgList->setSelectionBehavior(QAbstractItemView::SelectItems);
  sgList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  sgList->setGridStyle(Qt::SolidLine);
  sgList->setWordWrap(false);
  sgList->setTabKeyNavigation(false);
  sgList->installEventFilter(this);
  sgList->viewport()->installEventFilter(this);
  connect(
      sgList->selectionModel(), &QItemSelectionModel::currentChanged, this,
      [this](const QModelIndex& current, const QModelIndex&) { OnViewCurrentChanged(current); });
  connect(sgList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TVelmoraF::OnGridSelectionChanged);
  kadoLayout->addWidget(sgList);
  topLayout->addWidget(pnKado);

  pnBoot = new QWidget(top);
  pnBoot->setObjectName(QStringLiteral("pnBoot"));
  auto* bootLayout = new QVBoxLayout(pnBoot);
  bootLayout->setContentsMargins(2, 2, 2, 2);
  lbChangeProg = new QLabel(QStringLiteral("Обновление микропрограммы КАДО"), pnBoot);
  lbChangeProg->setObjectName(QStringLiteral("lbChangeProg"));
  lbChangeProg->setFont(WindowFont(19));
  QPalette red = lbChangeProg->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  lbChangeProg->setPalette(red);
  bootLayout->addWidget(lbChangeProg);
  sgBoot = new QTableWidget(1, 5, pnBoot);
  sgBoot->setObjectName(QStringLiteral("sgBoot"));
  sgBoot->setHorizontalHeaderLabels({QStringLiteral("№"), QStringLiteral("Дата"),
                                     QStringLiteral("Размер"), QStringLiteral("Название"),
                                     QStringLiteral("Файл")});
  sgBoot->verticalHeader()->hide();
  sgBoot->verticalHeader()->setDefaultSectionSize(18);
  sgBoot->horizontalHeader()->setHighlightSections(false);
  sgBoot->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  const int bootWidths[] = {32, 107, 46, 106, 174};
  for (int c = 0; c < 5; ++c) sgBoot->setColumnWidth(c, bootWidths[c]);
  sgBoot->setSelectionBehavior(QAbstractItemView::SelectRows);
  sgBoot->setSelectionMode(QAbstractItemView::SingleSelection);
  sgBoot->setEditTriggers(QAbstractItemView::NoEditTriggers);
  bootLayout->addWidget(sgBoot);
  topLayout->addWidget(pnBoot);
  pnBoot->hide();

  pnRe = new QWidget(SplitHor);
  pnRe->setObjectName(QStringLiteral("pnRe"));
  auto* reLayout = new QVBoxLayout(pnRe);
  reLayout->setContentsMargins(0, 0, 0, 0);
  reLayout->setSpacing(0);
  reMsg = new QTextEdit(pnRe);
  reMsg->setObjectName(QStringLiteral("reMsg"));
  reMsg->setReadOnly(true);
  reMsg->setAcceptRichText(true);
  reMsg->setLineWrapMode(QTextEdit::NoWrap);
  reMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reMsg->setMinimumHeight(40);
  reLayout->addWidget(reMsg, 1);
  stBars_ = new StatusBars(pnRe);
  stBars_->SetPanel(velmora::kPanelTransfers, QStringLiteral("Передач не было"));
  reLayout->addWidget(stBars_);
  logColour_ = reMsg->palette().color(QPalette::Text);

  SplitHor->addWidget(top);
  SplitHor->addWidget(pnRe);
  SplitHor->setStretchFactor(0, 1);
  SplitHor->setStretchFactor(1, 0);
  // Client 424: toolbar 29, splitter 11, pnRe 116 (log 100 and the status bar).
  SplitHor->setSizes({424 - 29 - 11 - 116, 116});
  setCentralWidget(central);
}

void TVelmoraF::createDeviceSources() {
  if (sim_) {
    sim_->SetEventListener([this](const velmora::HotplugEvent& e) { link_->UpdateDevice(e); });
    simPanel_ = new SimPanel(*sim_, this);
    addToolBarBreak(Qt::BottomToolBarArea);
    addToolBar(Qt::BottomToolBarArea, simPanel_);
    // attach-after=MS: the simulated КАДО arrives that long after start, as if plugged in.
    if (const int after = sim_->Options().attachAfterMs; after >= 0) {
      QTimer::singleShot(after, this, [this, after] {
        sim_->AttachIfDue(after);
        simPanel_->UpdateButtons();
      });
    }
  } else if (options_.watchDevices) {
    watcher_ = new DeviceWatcher(
        *hid_, this,
        [this](const velmora::HotplugEvent& e) { link_->UpdateDevice(e); }, this);
    watcher_->Start();
  }
}

void TVelmoraF::FormCreate() {
  reMsg->clear();
  logLines_ = 0;
  // The grid's headers come from the model.
  lbProd->clear();
  table_.SetModified(false);
  velmora::ReadSettings(*settings_, settingsValues_);
  const bool named = !options_.startFile.empty();   // velmora FILE
  if (!named && !settingsValues_.lastFile.empty()) files_->SetCurrentFile(settingsValues_.lastFile);
  RefreshWindowState();
  // A refused file leaves no current file behind.
  std::string displayText = velmora::Cp("- <без файла>");
  if (named) {
    files_->OpenChosen(options_.startFile);
  } else if (!files_->CurrentFile().empty()) {
    files_->Open(false);
  }
  if (!files_->CurrentFile().empty()) displayText = velmora::cp1251::FromUtf8(files_->DisplayName());
  SetTitle(velmora::kTitlePrefix + displayText);
  context_.operation.TransferCount = 0;
}

void TVelmoraF::RefreshWindowState() {
  velmora::WindowInputs in;
  in.modified = table_.Modified();
  in.routeCount = table_.RouteCount();
  in.cursorRow = table_.CursorRow();
  in.devicePathEmpty = context_.device.DevicePath.empty();
  in.bootLoader = context_.device.BootMode();
  in.deviceBusy = context_.operation.DeviceBusy;
  const velmora::WindowState s = velmora::ComputeWindowState(in);

  aOpen->setEnabled(s.open);
  aClose->setEnabled(s.close);
  aSave->setEnabled(s.save);
  aReset->setEnabled(s.reset);
  aSaveAs->setEnabled(s.saveAs);
  aTransmit->setEnabled(s.transmit);
  aRecive->setEnabled(s.recive);
  sgList->setEnabled(s.grid);
  aDel->setEnabled(s.del);
  aAdd->setEnabled(s.add);
  aUp->setEnabled(s.up);
  aDown->setEnabled(s.down);

  if (s.bootMode) {
    pnKado->hide();
    pnBoot->show();
    aProg->setVisible(true);
    lbChangeProg->show();
    memoryGauge_->setVisible(false);
    aProg->setEnabled(false);
    ListFirmwareFiles();
    aProg->setEnabled(!firmware_.rows.empty() && s.progAllowed);
    if (!bootShown_) {
      bootShown_ = true;
      LogSchemesInUse();
    }
  } else {
    bootShown_ = false;
    pnKado->show();
    pnBoot->hide();
    aProg->setVisible(false);
    lbChangeProg->hide();
    memoryGauge_->setVisible(true);
  }
  // Focus follows the grid: once it can be used again, the next key lands in its cursor cell.
  const bool focusable = s.grid && !s.bootMode;
  if (focusable && !gridFocusable_) FocusGrid();
  gridFocusable_ = focusable;
}

void TVelmoraF::SetTitle(const std::string& title) { setWindowTitle(RouteModel::FromCp(title)); }

void TVelmoraF::AppendLine(const std::string& text, const QColor& colour) {
  QTextCursor cursor(reMsg->document());
  // An error line stays red whatever colour the log holds (an arrival's blue, say).
  const bool error = text.compare(0, 3, "***") == 0;
  cursor.movePosition(QTextCursor::End);
  if (logLines_ > 0) cursor.insertBlock();
  QTextCharFormat format;
  format.setForeground(error ? ToQColor(velmora::kRed) : colour);
  cursor.setCharFormat(format);
  cursor.insertText(DisplayLine(text), format);
  ++logLines_;
  // The pane's caret to the start of the newest line: it stays in view from its start.
  QTextCursor caret = reMsg->textCursor();
  caret.movePosition(QTextCursor::End);
  caret.movePosition(QTextCursor::StartOfBlock);
  reMsg->setTextCursor(caret);
  reMsg->ensureCursorVisible();
}

void TVelmoraF::LogMessage(const std::string& text) {
  AppendLine(text, logColour_);
  stBars_->SetPanel(velmora::kPanelStatus, DisplayLine(text));
}

void TVelmoraF::AppendLogLine(const std::string& text, velmora::LogColour colour) {
  logColour_ = ToQColor(colour);
  AppendLine(text, logColour_);
}

void TVelmoraF::SetLogColour(velmora::LogColour colour) { logColour_ = ToQColor(colour); }

void TVelmoraF::ShowStatus(int panel, const std::string& text) {
  stBars_->SetPanel(panel, DisplayLine(text));
}

void TVelmoraF::SetProductCaption(const std::string& text) {
  lbProd->setText(RouteModel::FromCp(text));
}

void TVelmoraF::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TVelmoraF::FormActivate() {
  if (activated_) return;
  activated_ = true;
  link_->FormActivate();
}

void TVelmoraF::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!placed_) {
    placed_ = true;
    if (const QScreen* screen = this->screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  // Without a window manager the window may never be activated; the start-up step
  // must not wait for that.
  if (!activated_) QTimer::singleShot(0, this, &TVelmoraF::FormActivate);
}

void TVelmoraF::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_) {
    FormActivate();
  }
}

void TVelmoraF::closeEvent(QCloseEvent* event) {
  // Unsaved edits, or a device write that would lose its handle: refused without a word.
  if (table_.Modified() || context_.operation.DeviceBusy) {
    event->ignore();
    return;
  }
  clock_.SleepMs(100);
  settingsValues_.lastFile = files_->CurrentFile();
  velmora::WriteSettings(*settings_, settingsValues_, clock_.Now());
  event->accept();
}

bool TVelmoraF::eventFilter(QObject* watched, QEvent* event) {
  if (tearingDown_) return QMainWindow::eventFilter(watched, event);
  if (watched == sgList) {
    // The grid hands its focus on to the always-shown editor, unless it keeps the keys.
    if (event->type() == QEvent::FocusIn && !gridKeys_) {
      if (QWidget* editor = sgList->indexWidget(sgList->currentIndex())) editor->setFocus();
    }
    if (event->type() == QEvent::KeyPress && GridKeyPress(static_cast<QKeyEvent*>(event))) {
      return true;
    }
  } else if (watched == sgList->viewport() && event->type() == QEvent::MouseButtonPress) {
    gridKeys_ = false;  // a click on one cell is for typing; a drag over more is not
  } else if (event->type() == QEvent::FocusIn && gridKeys_ &&
             watched->parent() == sgList->viewport()) {
    // The view hands a click's focus to the editor; the editor must not see it, or it would go on
    // drawing its caret.
    sgList->setFocus(Qt::OtherFocusReason);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// The grid follows the table: rows, texts, the cursor and the editor on the cursor cell.
void TVelmoraF::OnTableChanged() {
  if (inTableChange_) {
    tableChangePending_ = true;
    return;
  }
  inTableChange_ = true;
  do {
    tableChangePending_ = false;
    syncingView_ = true;
    UpdateMemoryGauge();
    model_->Sync();
    SyncCursorToView();
    syncingView_ = false;
    RefreshWindowState();
  } while (tableChangePending_);
  inTableChange_ = false;
}

void TVelmoraF::OnViewCurrentChanged(const QModelIndex& current) {
  if (syncingView_ || !current.isValid()) return;
  // sgListClick: the cursor moved; the table notifies and the window refreshes. The
  // number column is fixed: a click on it puts the cursor on the route designation.
  const int column = current.column() < 1 ? 1 : current.column();
  table_.SetCursor(current.row() + 1, column);
  if (column != current.column()) SyncCursorToView();
  UpdateEditor();
}

void TVelmoraF::SyncCursorToView() {
  const QModelIndex index = model_->index(table_.CursorRow() - 1, table_.CursorColumn());
  if (index.isValid() && sgList->currentIndex() != index) {
    sgList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  }
  UpdateEditor();
}

void TVelmoraF::UpdateEditor() {
  const QModelIndex current = sgList->currentIndex();
  const bool editable = current.isValid() && (model_->flags(current) & Qt::ItemIsEditable);
  if (editable && editorIndex_ == current && sgList->indexWidget(current)) return;
  if (!editable && !editorIndex_.isValid()) return;
  QWidget* focus = QApplication::focusWidget();
  const bool hadFocus = focus && (focus == sgList || sgList->isAncestorOf(focus));
  // Focus parks on the grid, or hiding the focused editor would hand it on by a Tab.
  if (hadFocus && focus != sgList) sgList->setFocus();
  if (editorIndex_.isValid()) sgList->closePersistentEditor(editorIndex_);
  editorIndex_ = QPersistentModelIndex();
  if (!editable) return;
  sgList->openPersistentEditor(current);
  editorIndex_ = current;
  if (QWidget* editor = sgList->indexWidget(current)) editor->installEventFilter(this);
  if (hadFocus && !gridKeys_) {
    if (QWidget* editor = sgList->indexWidget(current)) editor->setFocus();
  }
}

void TVelmoraF::StepCursor(int rows) {
  table_.SetCursor(table_.CursorRow() + rows, table_.CursorColumn());
}

bool TVelmoraF::IsActionKey(const QKeySequence& keys) const {
  if (keys.isEmpty()) return false;
  // The keypad's Ins, Del and arrows are their twins (NumLock off).
  const QKeyCombination key = keys[0];
  const QKeySequence plain(
      QKeyCombination(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key()));
  for (const QAction* action : actions()) {
    if (action->shortcut() == plain) return true;
  }
  return false;
}

// Which coding tables an update of the newest listed file would use; a broken tables file
// is named at once, the update refuses it.
void TVelmoraF::LogSchemesInUse() {
  const velmora::FirmwareRow* newest = velmora::NewestRow(firmware_);
  const std::string folder = newest ? newest->folder : std::string();
  const velmora::SchemeChoice schemes = velmora::FindSchemeTables("", folder, FirmwareFolders());
  if (schemes.Usable()) {
    AppendLogLine(velmora::SchemesInUseText(schemes), velmora::LogColour{});
  } else {
    AppendLogLine("***" + velmora::BrokenSchemesText(schemes), velmora::kRed);
  }
}

std::vector<std::string> TVelmoraF::FirmwareFolders() const {
  return options_.firmwareFolders.empty() ? ProgramFirmwareFolders() : options_.firmwareFolders;
}
