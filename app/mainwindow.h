// TVelmoraF, the main window VelmoraF: route grid, firmware panel, message log, status
// bar and the actions. The core does the work; the window shows it and hosts its calls.
#pragma once
#include <QColor>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <memory>
#include <string>
#include <vector>

#include "Sub.h"
#include "device/devicelink.h"
#include "device/devicestate.h"
#include "device/firmwarelist.h"
#include "device/routeimage.h"
#include "device/transfer.h"
#include "qtadapters.h"
#include "routes/filecommands.h"
#include "routes/routetable.h"
#include "routes/windowstate.h"

class QAction;
class QKeyEvent;
class QLabel;
class QSplitter;
class QTableView;
class QTableWidget;
class QTextEdit;
class CellDelegate;
class DeviceWatcher;
class MemoryGauge;
class RouteModel;
class SimPanel;
class StatusBars;

namespace velmora {
class SimKado;
}

struct WindowOptions {
  std::unique_ptr<velmora::HidFunctions> hid;          // null: the system's HID backend
  velmora::SimKado* sim = nullptr;                     // `hid` is this simulated КАДО
  std::unique_ptr<velmora::SettingsBackend> settings;  // null: the platform's store
  velmora::FileDialogs* dialogs = nullptr;             // null: odMrp and sdMrp
  std::vector<std::string> firmwareFolders;            // empty: the program's folders
  bool watchDevices = true;                            // hot-plug of the system backend
  std::string startFile;                               // UTF-8: opened instead of the remembered
};

class TVelmoraF : public QMainWindow, public velmora::FileCommandHost, public velmora::DeviceHost {
  Q_OBJECT

 public:
  explicit TVelmoraF(WindowOptions options = WindowOptions(), QWidget* parent = nullptr);
  ~TVelmoraF() override;

  // The output channels every part of the program writes to.
  void LogMessage(const std::string& text) override;
  void AppendLogLine(const std::string& text, velmora::LogColour colour) override;
  void SetLogColour(velmora::LogColour colour) override;
  void ShowStatus(int panel, const std::string& text) override;
  void SetTitle(const std::string& title) override;
  void RefreshWindowState() override;
  void StartProgress(int end) override;
  void ReportProgress(int count) override;
  void StopProgress() override;
  void PumpEvents() override;
  void PumpEventsFor(int microseconds) override;
  void BringToFront() override;
  void SetProductCaption(const std::string& text) override;
  void ScheduleOpenRetry(int delayMs) override;

  // The device link's start-up step; runs at the first activation, later calls do nothing.
  void FormActivate();

  velmora::RouteTable& Table() { return table_; }
  velmora::DeviceContext& Context() { return context_; }
  velmora::DeviceLink& Link() { return *link_; }
  velmora::RouteFileCommands& Files() { return *files_; }
  const velmora::FirmwareListing& Firmware() const { return firmware_; }
  RouteModel* Model() const { return model_; }
  StatusBars* Bars() const { return stBars_; }
  std::vector<std::string> FirmwareFolders() const;

 public slots:
  void aOpenExecute();
  void aSaveExecute();
  void aSaveAsExecute();
  void aCloseExecute();
  void aExitExecute();
  void aAddExecute();
  void aDelExecute();
  void aUpExecute();
  void aDownExecute();
  void aResetExecute();
  void aTransmitExecute();
  void aReciveExecute();
  void aProgExecute();
  void aAboutExecute();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createPanels();
  void createDeviceSources();
  void FormCreate();

  void OnTableChanged();
  // The grid's keys (mainwindow_grid.cpp): focus at the cursor cell, or in the grid itself for the
  // spreadsheet copy and paste of a range.
  void FocusGrid();
  void KeysToGrid();
  bool GridKeyPress(QKeyEvent* event);
  void OnGridSelectionChanged();
  void CopyGridCells();
  void PasteGridCells();
  void SetGridWidths();
  int GridWidth() const;  // the window width at which no column is hidden
  void OnViewCurrentChanged(const QModelIndex& current);
  void SyncCursorToView();
  void UpdateEditor();
  void StepCursor(int rows);
  void ListFirmwareFiles();
  void LogSchemesInUse();
  void UpdateMemoryGauge();
  void AppendLine(const std::string& text, const QColor& colour);
  bool IsActionKey(const QKeySequence& keys) const;
  velmora::DeviceEnv Env();

  WindowOptions options_;
  std::unique_ptr<velmora::HidFunctions> hid_;
  velmora::SimKado* sim_ = nullptr;
  velmora::SystemClock clock_;
  QtDateTimeFormat format_;
  velmora::RouteTable table_;
  velmora::DeviceContext context_;
  std::unique_ptr<QtFileDialogs> qtDialogs_;
  std::unique_ptr<velmora::RouteFileCommands> files_;
  std::unique_ptr<velmora::DeviceLink> link_;
  std::unique_ptr<velmora::SettingsBackend> settings_;
  velmora::SettingsValues settingsValues_;
  std::unique_ptr<velmora::WorkBuffer> work_;
  velmora::FirmwareListing firmware_;
  std::unique_ptr<velmora::StoredRouteList> gaugeList_;   // the grid, as the gauge measures it

  QAction *aOpen = nullptr, *aSave = nullptr, *aSaveAs = nullptr, *aClose = nullptr,
          *aExit = nullptr, *aAdd = nullptr, *aDel = nullptr, *aUp = nullptr, *aDown = nullptr,
          *aReset = nullptr, *aTransmit = nullptr, *aRecive = nullptr, *aProg = nullptr,
          *aAbout = nullptr;
  QLabel* lbProd = nullptr;
  MemoryGauge* pbMemory = nullptr;
  QAction* memoryGauge_ = nullptr;   // pbMemory's place on the toolbar; not in boot mode
  QWidget* pnKado = nullptr;
  QWidget* pnBoot = nullptr;
  QLabel* lbChangeProg = nullptr;
  QTableView* sgList = nullptr;
  QTableWidget* sgBoot = nullptr;
  QSplitter* SplitHor = nullptr;
  QWidget* pnRe = nullptr;
  QTextEdit* reMsg = nullptr;
  StatusBars* stBars_ = nullptr;
  RouteModel* model_ = nullptr;
  CellDelegate* delegate_ = nullptr;
  DeviceWatcher* watcher_ = nullptr;
  SimPanel* simPanel_ = nullptr;
  QWidget* about_ = nullptr;

  QPersistentModelIndex editorIndex_;
  QColor logColour_;
  int logLines_ = 0;
  bool activated_ = false;
  bool placed_ = false;
  bool inTableChange_ = false, tableChangePending_ = false, syncingView_ = false;
  bool tearingDown_ = false;
  bool gridFocusable_ = false;  // enabled and shown at the last refresh
  bool gridKeys_ = false;       // the grid, not its cell editor, takes the keys
  bool bootShown_ = false;   // the firmware panel is shown; its tables have been logged
  static constexpr int64_t kProgressRepaintMs = 20;
  int64_t progressShownAt_ = -1;   // when panel 0 last showed the progress; -1: not yet
};
