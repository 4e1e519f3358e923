// The settings file of systems without a registry, on any bytes: reading it never fails
// the program, and whatever was read, once written, reads back the same.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Sub.h"
#include "fuzz_support.h"

using namespace velmora;

namespace {

const std::string& Folder() { return fuzz::ScratchFolder(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string path = Folder() + "/" + kSettingsFileName;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fuzz::Fail("cannot write a temporary file");
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  SettingsValues read;
  ReadSettings(*CreateFileSettingsBackend(Folder()), read);

  const DateTime now{2026, 12, 8, 2, 45, 30, 0};
  SettingsValues written = read;
  fuzz::Check(WriteSettings(*CreateFileSettingsBackend(Folder()), written, now),
              "the settings could not be written");
  SettingsValues again;
  ReadSettings(*CreateFileSettingsBackend(Folder()), again);
  fuzz::Check(again.lastDateTime == ToOleDate(now), "LastDateTime did not read back");
  fuzz::Check(again.lastFile == read.lastFile, "LastFileBrel did not read back");
  fuzz::Check(again.autoSend == read.autoSend, "AutoSend did not read back");
  return 0;
}
