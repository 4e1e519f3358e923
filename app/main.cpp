// Program entry: `velmora [FILE]` works with the attached КАДО; `velmora --simulate[=OPTIONS]`
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

std::string Usage() {
  return "usage: velmora [--simulate[=OPTIONS]] [FILE]\n"
         "  FILE                  a route list (.mrp), route group (.mrg), table (.csv, .tsv) or\n"
         "                        workbook (.xlsx, .ods)\n"
         "                        to open instead of the remembered file\n" +
         velmora::SimulateOptionUsage("a simulated KADO instead of the attached one");
}

bool IsSimulate(const char* arg) {
  return std::strcmp(arg, "--simulate") == 0 || std::strncmp(arg, "--simulate=", 11) == 0;
}

// Qt's own options that take the next word as their value, so that word names no FILE.
bool IsQtValueOption(const char* arg) {
  if (std::strncmp(arg, "--", 2) == 0) ++arg;
  for (const char* option :
       {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qmljsdebugger",
        "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-session", "-style", "-stylesheet",
        "-display", "-geometry", "-title", "-name", "-visual"}) {
    if (std::strcmp(arg, option) == 0) return true;
  }
  return false;
}

int TooManyFiles() {
  std::fprintf(stderr, "velmora: only one FILE can be opened\n%s", Usage().c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Our own options are read before the application object exists, so that a bad one
  // ends the program with its message even where no display can be opened.
  std::unique_ptr<velmora::SimKado> sim;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(Usage().c_str(), stdout);
      return 0;
    }
    if (IsQtValueOption(argv[i])) {
      ++i;
      continue;
    }
    if (argv[i][0] != '-' && ++files > 1) return TooManyFiles();
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
  WindowOptions options;
  // Qt has taken its own options (-platform, -style...) out; anything else is unknown.
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args.at(i);
    if (IsSimulate(arg.toLocal8Bit().constData())) continue;
    if (!arg.startsWith(QLatin1Char('-'))) {
      if (!options.startFile.empty()) return TooManyFiles();
      options.startFile = CorePath(arg);
      continue;
    }
    std::fprintf(stderr, "velmora: unknown argument: %s\n%s", arg.toLocal8Bit().constData(),
                 Usage().c_str());
    return 2;
  }

  if (sim) {
    options.sim = sim.get();
    options.hid = std::move(sim);
  }
  TVelmoraF window(std::move(options));
  window.show();
  app.exec();
  return 0;
}
