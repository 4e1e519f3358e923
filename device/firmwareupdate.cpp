#include "firmwareupdate.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "Formatm.h"
#include "base/cp1251.h"
#include "base/fileio.h"
#include "transport.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Into the boot loader, "Загружаем" as the write begins; any other device is refused alike.
constexpr const char* kNotBootLoader = "***КАДО не в режиме загрузчика: программа не записана";
const KadoWrite kFirmwareWrite{true, false, kPanelStatus, "Загружаем", "Программа записана",
                               "Ошибка записи программы", "КАДО не открыто", kNotBootLoader,
                               kNotBootLoader};

}  // namespace

int ProgramFirmware(DeviceEnv& env, const FirmwareListing& listing, int selectedRow,
                    const SchemeSearch& schemes) {
  DeviceHost& host = env.host;
  static std::array<uint8_t, kFirmwareFileBuffer> file;
  std::size_t length = 0;
  SchemeChoice tables;
  std::vector<uint8_t> decoded;

  KadoSteps steps;
  steps.check = [&] {
    host.ShowStatus(kPanelStatus, " ");
    // The newest file is written whichever row is selected.
    if (selectedRow != listing.newestRow) ReportFailure(host, "Не последняя версия программы");
    // Copied now: a refresh of the window during the write rebuilds the listing.
    std::string folder, fileName;
    if (const FirmwareRow* newest = NewestRow(listing)) {
      folder = newest->folder;
      fileName = newest->fileName;
    }
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
    length = read.status == ReadStatus::Ok ? read.bytes.size() : 0;
    std::copy(read.bytes.begin(), read.bytes.begin() + static_cast<std::ptrdiff_t>(length),
              file.begin());
    if (read.status != ReadStatus::Ok || !FirmwareFileUsable(file.data(), length)) {
      host.AppendLogLine(Cp("***Формат файла программы неверен"), kRed);
      host.ShowStatus(kPanelStatus, Cp("Формат файла программы неверен"));
      return kStatusFirmwareFormat;
    }
    // A maker's file decoded with the wrong tables would pass every check and be written.
    tables = FindSchemeTables(schemes.option, folder, schemes.folders);
    if (!tables.Usable()) {
      host.ShowStatus(kPanelStatus, BrokenSchemesText(tables));
      host.AppendLogLine("***" + BrokenSchemesText(tables), kRed);
      return kStatusSchemesBroken;
    }
    return kStatusOk;
  };
  steps.prepare = [&](KadoBytes& bytes) {
    decoded = DecodeFirmware(file.data(), length, tables.tables);
    // The device gets the body behind the 512-byte header block.
    if (decoded.size() >= kFirmwareHeaderBlock) {
      bytes = KadoBytes{decoded.data() + kFirmwareHeaderBlock, decoded.size() - kFirmwareHeaderBlock,
                        static_cast<int>(FirmwareWriteEnd(ParseFirmwareHeader(file.data()).size))};
    }
    return kStatusOk;
  };
  return WriteKado(env, kFirmwareWrite, steps);
}

}  // namespace velmora
