// The window's side of the device operations: the route transfer, the firmware update,
// the firmware list and the progress of a write.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>

#include "device/firmwareupdate.h"
#include "mainwindow.h"
#include "memorygauge.h"
#include "routemodel.h"
#include "statusbars.h"

velmora::DeviceEnv TVelmoraF::Env() {
  return velmora::DeviceEnv{*hid_, context_, *this, clock_, format_};
}

void TVelmoraF::StartProgress(int end) { stBars_->StartProgress(end); }

// A block goes every millisecond; panel 0 and the bar are redrawn about every 20 ms, and
// at the end of the write, so the repaints do not set the pace.
void TVelmoraF::ReportProgress(int count) {
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

void TVelmoraF::StopProgress() {
  stBars_->StopProgress();
  progressShownAt_ = -1;
}

void TVelmoraF::PumpEvents() { QCoreApplication::processEvents(); }

// Runs what is pending, and what arrives meanwhile, until the budget is spent; the core
// then waits out the rest of its pause.
void TVelmoraF::PumpEventsFor(int microseconds) {
  QDeadlineTimer deadline;
  deadline.setPreciseRemainingTime(0, static_cast<qint64>(microseconds) * 1000,
                                   Qt::PreciseTimer);
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  do {
    if (!dispatcher || !dispatcher->processEvents(QEventLoop::AllEvents)) break;
  } while (!deadline.hasExpired());
}

// A КАДО node that did not open at its arrival is tried again from the event loop.
void TVelmoraF::ScheduleOpenRetry(int delayMs) {
  QTimer::singleShot(delayMs, this, [this] { link_->RetryOpen(); });
}

void TVelmoraF::aTransmitExecute() {
  // The write works on its own copy: commands that run between its blocks may open
  // another file or edit the table.
  auto stored = std::make_unique<velmora::StoredRouteList>(table_.Stored());
  velmora::DeviceEnv env = Env();
  velmora::TransmitRoutes(env, *stored, *work_);
}

void TVelmoraF::aProgExecute() {
  const velmora::FirmwareListing listing = firmware_;
  const int selected = sgBoot->currentRow() + 1;
  velmora::DeviceEnv env = Env();
  velmora::ProgramFirmware(env, listing, selected, velmora::SchemeSearch{"", FirmwareFolders()});
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
