// The window's side of the device operations: the route transfer, the firmware update,
// the firmware list and the progress of a write.
#include <QCoreApplication>
#include <QTableWidget>
#include <QTimer>

#include "device/firmwareupdate.h"
#include "mainwindow.h"
#include "routemodel.h"
#include "statusbars.h"

velmora::DeviceEnv TVelmoraF::Env() {
  return velmora::DeviceEnv{*hid_, context_, *this, clock_, format_};
}

void TVelmoraF::ReportProgress(int count) {
  context_.operation.BytesWritten = count;
  const std::string elapsed =
      velmora::FormatElapsed(clock_.MonotonicMs() - context_.operation.TransferStartMs);
  stBars_->SetPanel(velmora::kPanelProgress,
                    RouteModel::FromCp(elapsed + "=" + std::to_string(count)));
  stBars_->SetProgress(count);
  MarkBusy();
  QCoreApplication::processEvents();
}

void TVelmoraF::PumpEvents() {
  MarkBusy();
  QCoreApplication::processEvents();
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
  const int newest = listing.newestRow;
  if (newest >= 1 && newest <= static_cast<int>(listing.rows.size())) {
    const int size = listing.rows[static_cast<std::size_t>(newest - 1)].size;
    stBars_->StartProgress((size + 127) / 128 * 128);
  }
  const int selected = sgBoot->currentRow() + 1;
  velmora::DeviceEnv env = Env();
  velmora::ProgramFirmware(env, listing, selected, velmora::SchemeSearch{"", FirmwareFolders()});
  EndDeviceOperation();
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
