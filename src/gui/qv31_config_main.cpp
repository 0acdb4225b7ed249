// qv31-config: the configurator window.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "gui/app_icon.h"
#include "gui/main_dialog.h"
#include "link/link_frame.h"

namespace {

constexpr const char* USAGE =
    "usage: qv31-config [--settings-dir DIR] [--udp HOST[:PORT]] [Qt options]\n"
    "       qv31-config --help | --version\n"
    "\n"
    "The configurator window for a QV31 gateway.\n"
    "\n"
    "  --settings-dir DIR  keep the settings file and the CSV exports in DIR (default: beside\n"
    "                      the program when that directory is writable, else\n"
    "                      $XDG_CONFIG_HOME/qv31 or ~/.config/qv31)\n"
    "  --udp HOST[:PORT]   start in network mode towards HOST and PORT (default port 2332);\n"
    "                      they are saved to the settings file when the link is opened\n"
    "  --help              print this help and exit\n"
    "  --version           print the version and exit\n";

struct Arguments {
  bool help = false;
  bool version = false;
  qv31::WindowOptions window;
  std::string error;
};

// Takes our own options out of argv and leaves the rest for Qt.
Arguments TakeArguments(int& argc, char** argv) {
  Arguments args;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view name) -> std::string {
      if (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
          arg[name.size()] == '=') {
        return std::string(arg.substr(name.size() + 1));
      }
      if (i + 1 < argc) return argv[++i];
      args.error = std::string(name) + " needs a value";
      return {};
    };
    if (arg == "--help" || arg == "-h") {
      args.help = true;
    } else if (arg == "--version") {
      args.version = true;
    } else if (arg.starts_with("--settings-dir")) {
      args.window.settingsDir = value("--settings-dir");
    } else if (arg.starts_with("--udp")) {
      const std::string target = value("--udp");
      const size_t colon = target.rfind(':');
      args.window.udpHost = target.substr(0, colon);
      args.window.udpPort = colon == std::string::npos ? std::to_string(qv31::GATEWAY_UDP_PORT)
                                                       : target.substr(colon + 1);
      if (args.window.udpHost.empty() && args.error.empty()) args.error = "--udp needs a host";
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  Arguments args = TakeArguments(argc, argv);
  if (!args.error.empty()) {
    std::fprintf(stderr, "qv31-config: %s\n\n%s", args.error.c_str(), USAGE);
    return 2;
  }
  if (args.help) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (args.version) {
    std::printf("qv31-config %s\n", QV31_VERSION);
    return 0;
  }

  QApplication app(argc, argv);
  if (QApplication::arguments().size() > 1) {
    std::fprintf(stderr, "qv31-config: unknown argument %s\n\n%s",
                 QApplication::arguments().at(1).toLocal8Bit().constData(), USAGE);
    return 2;
  }
  QApplication::setApplicationName(QStringLiteral("qv31-config"));
  QApplication::setApplicationVersion(QStringLiteral(QV31_VERSION));
  QApplication::setWindowIcon(qv31::AppIcon());

  qv31::MainDialog window(args.window);
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  window.show();
  return QApplication::exec();
}
