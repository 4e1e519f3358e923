// Program entry: `velmora` works with the attached КАДО; `velmora --simulate[=OPTIONS]`
// runs the same window against a simulated one (see SimKado's options).
#include <QStringList>
#include <cstdio>
#include <memory>

#include "application.h"
#include "device/simkado.h"
#include "mainwindow.h"

int main(int argc, char** argv) {
  VelmoraApplication app(argc, argv);

  WindowOptions options;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args.at(i);
    if (arg == QLatin1String("--simulate") || arg.startsWith(QLatin1String("--simulate="))) {
      velmora::SimKadoOptions simOptions;
      std::string error;
      const int eq = static_cast<int>(arg.indexOf(QLatin1Char('=')));
      const std::string text = eq < 0 ? std::string() : arg.mid(eq + 1).toStdString();
      if (!velmora::ParseSimKadoOptions(text, simOptions, error)) {
        std::fprintf(stderr, "velmora: --simulate: %s\n", error.c_str());
        return 2;
      }
      auto sim = std::make_unique<velmora::SimKado>(simOptions);
      options.sim = sim.get();
      options.hid = std::move(sim);
    } else {
      std::fprintf(stderr, "velmora: unknown argument: %s\nusage: velmora [--simulate[=OPTIONS]]\n",
                   arg.toLocal8Bit().constData());
      return 2;
    }
  }

  TVelmoraF window(std::move(options));
  window.show();
  app.exec();
  return 0;
}
