// Program entry: `velmora` works with the attached КАДО; `velmora --simulate[=OPTIONS]`
// runs the same window against a simulated one (see SimKado's options).
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "application.h"
#include "device/simkado.h"
#include "mainwindow.h"

namespace {

const char kUsage[] =
    "usage: velmora [--simulate[=OPTIONS]]\n"
    "  --simulate[=OPTIONS]  a simulated KADO instead of the attached one; OPTIONS is a\n"
    "                        comma-separated list of boot, block=N, memory=N, version=A.B,\n"
    "                        fail-block=K, short-reply, reply=N, detached, attach-after=MS\n"
    "                        (with detached: the device arrives MS ms after start)\n";

bool IsSimulate(const char* arg) {
  return std::strcmp(arg, "--simulate") == 0 || std::strncmp(arg, "--simulate=", 11) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Our own options are read before the application object exists, so that a bad one
  // ends the program with its message even where no display can be opened.
  std::unique_ptr<velmora::SimKado> sim;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!IsSimulate(argv[i])) continue;
    const char* eq = std::strchr(argv[i], '=');
    velmora::SimKadoOptions options;
    std::string error;
    if (!velmora::ParseSimKadoOptions(eq ? eq + 1 : "", options, error)) {
      std::fprintf(stderr, "velmora: --simulate: %s\n", error.c_str());
      return 2;
    }
    sim = std::make_unique<velmora::SimKado>(options);
  }

  VelmoraApplication app(argc, argv);
  // Qt has taken its own options (-platform, -style...) out; anything else is unknown.
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (IsSimulate(args.at(i).toLocal8Bit().constData())) continue;
    std::fprintf(stderr, "velmora: unknown argument: %s\n%s", args.at(i).toLocal8Bit().constData(),
                 kUsage);
    return 2;
  }

  WindowOptions options;
  if (sim) {
    options.sim = sim.get();
    options.hid = std::move(sim);
  }
  TVelmoraF window(std::move(options));
  window.show();
  app.exec();
  return 0;
}
