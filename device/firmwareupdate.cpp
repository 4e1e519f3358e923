#include "firmwareupdate.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../routes/cp1251.h"
#include "../routes/fileio.h"
#include "Formatm.h"
#include "transport.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr int kSettleMs = 20;

// Both the status panel and the red log line, as every failed step is reported.
void ReportFailure(DeviceHost& host, const char* utf8) {
  host.ShowStatus(kPanelStatus, Cp(utf8));
  host.AppendLogLine("***" + Cp(utf8), kRed);
}

}  // namespace

int ProgramFirmware(DeviceEnv& env, const FirmwareListing& listing, int selectedRow,
                    const SchemeSearch& schemes) {
  OperationState& op = env.context.operation;
  DeviceHost& host = env.host;
  if (op.DeviceBusy) return kStatusInUse;

  host.ShowStatus(kPanelStatus, " ");
  // The newest file is written whichever row is selected.
  if (selectedRow != listing.newestRow) ReportFailure(host, "Не последняя версия программы");
  // Copied now: a refresh of the window during the write rebuilds the listing.
  std::string folder, fileName;
  if (const FirmwareRow* newest = NewestRow(listing)) {
    folder = newest->folder;
    fileName = newest->fileName;
  }

  static std::array<uint8_t, kFirmwareFileBuffer> file;
  const FileRead read =
      fileName.empty()
          ? FileRead{}
          : ReadWholeFile((fs::u8path(folder) / fs::u8path(fileName)).u8string(), file.size());
  if (read.status == ReadStatus::Missing || read.status == ReadStatus::CannotOpen) {
    ReportFailure(host, "Файл программы не открыт");
    return kStatusFirmwareNotOpened;
  }
  if (read.status == ReadStatus::ReadShort) {
    ReportFailure(host, "Файл программы не прочитан");
    return kStatusFirmwareShortRead;
  }
  // A file beyond the buffer cannot be a firmware file; it is refused unread.
  const std::size_t length = read.status == ReadStatus::Ok ? read.bytes.size() : 0;
  std::copy(read.bytes.begin(), read.bytes.begin() + static_cast<std::ptrdiff_t>(length),
            file.begin());
  if (read.status != ReadStatus::Ok || !FirmwareFileUsable(file.data(), length)) {
    host.AppendLogLine(Cp("***Формат файла программы неверен"), kRed);
    host.ShowStatus(kPanelStatus, Cp("Формат файла программы неверен"));
    return kStatusFirmwareFormat;
  }

  // A maker's file decoded with the wrong tables would pass every check and be written.
  const SchemeChoice tables = FindSchemeTables(schemes.option, folder, schemes.folders);
  if (!tables.Usable()) {
    host.ShowStatus(kPanelStatus, BrokenSchemesText(tables));
    host.AppendLogLine("***" + BrokenSchemesText(tables), kRed);
    return kStatusSchemesBroken;
  }

  BusyScope busy(op, host);
  const std::vector<uint8_t> decoded = DecodeFirmware(file.data(), length, tables.tables);
  const FirmwareHeader header = ParseFirmwareHeader(file.data());

  OperationDevice opened;
  int open = kStatusAccessDenied;
  if (!env.context.device.DevicePath.empty() && decoded.size() >= kFirmwareHeaderBlock) {
    open = OpenForWrite(env.hid, env.context.device.DevicePath, KadoBootProductId, opened);
  }
  if (open == kStatusAccessDenied) {
    host.ShowStatus(kPanelStatus, Cp("КАДО не открыто"));
    return open;
  }
  if (open == kStatusWrongIdentity) {
    host.ShowStatus(kPanelStatus, Cp("КАДО не открыто"));
    host.AppendLogLine(Cp("***КАДО не в режиме загрузчика: программа не записана"), kRed);
    return open;
  }
  if (open != kStatusOk) {
    LogParamReadFailure(host, open);
    ReportFailure(host, "Ошибка записи программы");
    return open;
  }
  HidDevice* handle = opened.handle.get();

  host.ShowStatus(kPanelStatus, Cp("Загружаем"));
  op.TransferStartMs = env.clock.MonotonicMs();
  const int end = static_cast<int>(FirmwareWriteEnd(header.size));
  ProgressRecorder progress(host, op);
  std::optional<WritingScope> writing(op);
  const int status =
      WriteDeviceMemory(*handle, decoded.data() + kFirmwareHeaderBlock,
                        decoded.size() - kFirmwareHeaderBlock, 0, end, progress, env.clock);
  writing.reset();
  if (status == kStatusOk) {
    env.clock.SleepMs(kSettleMs);
    host.ShowStatus(kPanelStatus, Cp("Программа записана"));
  } else {
    ReportFailure(host, "Ошибка записи программы");
  }

  opened.handle.reset();
  opened.lock.Release();
  host.ShowStatus(kPanelProgress,
                  FormatElapsed(env.clock.MonotonicMs() - op.TransferStartMs) + "=" +
                      std::to_string(op.BytesWritten));
  return status;
}

}  // namespace velmora
