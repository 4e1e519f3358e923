#include "firmwareupdate.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "../routes/cp1251.h"
#include "Formatm.h"
#include "transport.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr int kSettleMs = 20;
constexpr int kFirmwareEndAlign = 128;

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
  int row = selectedRow;
  if (row != listing.newestRow) {
    row = listing.newestRow;
    ReportFailure(host, "Не последняя версия программы");
  }
  // Copied now: a refresh of the window during the write rebuilds the listing.
  std::string folder, fileName;
  if (row >= 1 && row <= static_cast<int>(listing.rows.size())) {
    folder = listing.rows[row - 1].folder;
    fileName = listing.rows[row - 1].fileName;
  }

  static std::array<uint8_t, kFirmwareFileBuffer> file;
  std::ifstream in;
  if (!fileName.empty()) in.open(fs::u8path(folder) / fs::u8path(fileName), std::ios::binary);
  if (!in.is_open()) {
    ReportFailure(host, "Файл программы не открыт");
    return kStatusFirmwareNotOpened;
  }
  std::error_code ec;
  const uintmax_t fileSize = fs::file_size(fs::u8path(folder) / fs::u8path(fileName), ec);
  if (ec) {
    ReportFailure(host, "Файл программы не прочитан");
    return kStatusFirmwareShortRead;
  }
  // A file beyond the buffer cannot be a firmware file; it is refused unread.
  std::size_t length = 0;
  if (fileSize <= file.size()) {
    length = static_cast<std::size_t>(fileSize);
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(in.gcount()) < length) {
      ReportFailure(host, "Файл программы не прочитан");
      return kStatusFirmwareShortRead;
    }
  }
  in.close();
  if (fileSize > file.size() || !FirmwareFileUsable(file.data(), length)) {
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
    open = OpenForWrite(env.hid, env.context.device.DevicePath, KadoBootProductId, nullptr, opened);
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
  const int end = static_cast<int>((static_cast<int64_t>(header.size) + kFirmwareEndAlign - 1) &
                                   ~static_cast<int64_t>(kFirmwareEndAlign - 1));
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
