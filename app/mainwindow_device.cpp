// The window's side of the device operations: the route transfer, the firmware update,
// the firmware list and the progress of a write.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>

#include "device/Formatm.h"
#include "device/firmwareupdate.h"
#include "mainwindow.h"
#include "memorygauge.h"
#include "routemodel.h"
#include "statusbars.h"

velmora::DeviceEnv TVelmoraF::Env() {
  return velmora::DeviceEnv{*hid_, context_, *this, clock_, format_};
}

// A block goes every millisecond; panel 0 and the bar are redrawn about every 20 ms, and
// at the end of the write, so the repaints do not set the pace.
void TVelmoraF::ReportProgress(int count) {
  context_.operation.BytesWritten = count;
  const int64_t now = clock_.MonotonicMs();
  const bool last = count >= stBars_->Progress()->maximum();
  if (progressShownAt_ >= 0 && now - progressShownAt_ < kProgressRepaintMs && !last) return;
  progressShownAt_ = now;
  const std::string elapsed =
      velmora::FormatElapsed(now - context_.operation.TransferStartMs);
  stBars_->SetPanel(velmora::kPanelProgress,
                    RouteModel::FromCp(elapsed + "=" + std::to_string(count)));
  stBars_->SetProgress(count);
}

void TVelmoraF::PumpEvents() {
  MarkBusy();
  QCoreApplication::processEvents();
}

// Runs what is pending, and what arrives meanwhile, until the budget is spent; the core
// then waits out the rest of its pause.
void TVelmoraF::PumpEventsFor(int microseconds) {
  MarkBusy();
  QDeadlineTimer deadline;
  deadline.setPreciseRemainingTime(0, static_cast<qint64>(microseconds) * 1000,
                                   Qt::PreciseTimer);
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  do {
    if (!dispatcher || !dispatcher->processEvents(QEventLoop::AllEvents)) break;
  } while (!deadline.hasExpired());
}

// The core sets DeviceBusy when an operation begins; the first time the window gets
// control inside it, the actions that would start a second one are disabled.
void TVelmoraF::MarkBusy() {
  if (!context_.operation.DeviceBusy || busyShown_) return;
  busyShown_ = true;
  RefreshWindowState();
}

void TVelmoraF::EndDeviceOperation() {
  stBars_->StopProgress();
  progressShownAt_ = -1;
  busyShown_ = false;
  RefreshWindowState();
}

// A КАДО node that did not open at its arrival is tried again from the event loop.
void TVelmoraF::ScheduleOpenRetry(int delayMs) {
  QTimer::singleShot(delayMs, this, [this] { link_->RetryOpen(); });
}

void TVelmoraF::aTransmitExecute() {
  if (context_.operation.DeviceBusy) return;
  // The write works on its own copies: commands that run between its blocks may open
  // another file or edit the table.
  auto stored = std::make_unique<velmora::StoredRouteList>(table_.Stored());
  const velmora::RouteImageLayout layout = velmora::BuildRouteImage(*stored, *work_);
  stBars_->StartProgress(layout.length);
  velmora::DeviceEnv env = Env();
  velmora::TransmitRoutes(env, *stored, *work_);
  EndDeviceOperation();
}

void TVelmoraF::aProgExecute() {
  if (context_.operation.DeviceBusy) return;
  const velmora::FirmwareListing listing = firmware_;
  if (const velmora::FirmwareRow* newest = velmora::NewestRow(listing)) {
    stBars_->StartProgress(static_cast<int>(velmora::FirmwareWriteEnd(newest->size)));
  }
  const int selected = sgBoot->currentRow() + 1;
  velmora::DeviceEnv env = Env();
  velmora::ProgramFirmware(env, listing, selected, velmora::SchemeSearch{"", FirmwareFolders()});
  EndDeviceOperation();
}

// Measured on the grid as a save would store it, with the transfer's own capacity rule.
void TVelmoraF::UpdateMemoryGauge() {
  table_.CopyGridTo(*gaugeList_);
  const velmora::RouteImageLayout layout = velmora::MeasureRouteImage(*gaugeList_);
  pbMemory->Show(layout, gaugeList_->count);
  model_->SetRoutesThatFit(layout.routes);
}

void TVelmoraF::ListFirmwareFiles() {
  firmware_ = velmora::ListFirmwareFiles(FirmwareFolders(), format_, firmware_.newestRow);
  const int count = static_cast<int>(firmware_.rows.size());
  sgBoot->clearContents();
  sgBoot->setRowCount(count > 0 ? count : 1);
  for (int r = 0; r < count; ++r) {
    const velmora::FirmwareRow& row = firmware_.rows[static_cast<std::size_t>(r)];
    const QString cells[5] = {QString::number(r + 1), RouteModel::FromCp(row.dateText),
                              QString::number(row.size), RouteModel::FromCp(row.title),
                              QString::fromStdString(row.fileName)};
    for (int c = 0; c < 5; ++c) sgBoot->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
  const int newest = firmware_.newestRow >= 1 ? firmware_.newestRow : 1;
  sgBoot->selectRow(qMin(newest, sgBoot->rowCount()) - 1);
}
