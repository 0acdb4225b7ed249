// qv31-config: the configurator window.
#include <QApplication>
#include <QCommandLineParser>
#include <array>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "gui/app_icon.h"
#include "gui/main_dialog.h"
#include "link/link_frame.h"
#include "text/closest_name.h"

namespace {

constexpr int EXIT_USAGE = 2;

// The window's own options; the parser and --help both read this table. Qt's own options
// (-platform, -style, ...) are taken by QApplication before ours are checked.
struct OptionSpec {
  std::string_view name;
  std::string_view value;  // empty for a flag
  std::string_view help;   // lines after the first start with '\n'
};

constexpr std::array<OptionSpec, 5> OPTIONS = {{
    {"settings-dir", "DIR",
     "keep the settings file and the CSV exports in DIR (default: beside\n"
     "the program when that directory is writable, else\n"
     "$XDG_CONFIG_HOME/qv31 or ~/.config/qv31)"},
    {"udp", "HOST[:PORT]",
     "start in network mode towards HOST and PORT (default port 2332);\n"
     "they are saved to the settings file when the link is opened"},
    {"lang", "zh|en",
     "the window's language when none was chosen in the window (default:\n"
     "English under an English locale, else Chinese)"},
    {"help", "", "print this help and exit"},
    {"version", "", "print the version and exit"},
}};

std::string Usage() {
  std::string text =
      "usage: qv31-config [--settings-dir DIR] [--udp HOST[:PORT]] [--lang zh|en]\n"
      "                   [Qt options]\n"
      "       qv31-config --help | --version\n"
      "\n"
      "The configurator window for a QV31 gateway.\n"
      "\n";
  for (const OptionSpec& o : OPTIONS) {
    std::string line = "  --" + std::string(o.name) + (o.value.empty() ? "" : " ");
    line += o.value;
    line.resize(22, ' ');
    for (const char c : o.help) line += c == '\n' ? "\n" + std::string(22, ' ') : std::string(1, c);
    text += line + "\n";
  }
  return text;
}

QStringList ToStrings(int argc, char** argv) {
  QStringList list;
  for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
  return list;
}

void AddOptions(QCommandLineParser& parser) {
  for (const OptionSpec& o : OPTIONS) {
    QStringList names{QString::fromUtf8(o.name.data(), static_cast<qsizetype>(o.name.size()))};
    if (o.name == "help") names << QStringLiteral("h");
    QCommandLineOption option(names);
    if (!o.value.empty()) option.setValueName(QString::fromUtf8(o.value.data()));
    parser.addOption(option);
  }
}

// The one-line message for what the parser refused, or "" when all is well.
std::string Mistake(const QCommandLineParser& parser, bool parsed) {
  std::vector<std::string> dashed;
  for (const OptionSpec& o : OPTIONS) dashed.push_back("--" + std::string(o.name));
  const std::vector<std::string_view> names(dashed.begin(), dashed.end());
  if (!parser.unknownOptionNames().isEmpty()) {
    const std::string name = "--" + parser.unknownOptionNames().first().toStdString();
    return "unknown option " + name + qv31::DidYouMean(name, names);
  }
  if (!parsed) {
    std::string text = parser.errorText().toStdString();  // "Missing value after '--udp'."
    if (text.ends_with('.')) text.pop_back();
    return text;
  }
  for (const OptionSpec& o : OPTIONS) {
    const QString name = QString::fromUtf8(o.name.data(), static_cast<qsizetype>(o.name.size()));
    // Qt takes the next word as the value even when it is another option.
    if (!o.value.empty() && parser.isSet(name) && parser.value(name).startsWith(u'-')) {
      return "--" + std::string(o.name) + " needs a value";
    }
  }
  if (parser.isSet(QStringLiteral("lang")) &&
      !qv31::ParseLanguage(parser.value(QStringLiteral("lang")).toStdString())) {
    return "--lang takes zh or en, not " + parser.value(QStringLiteral("lang")).toStdString();
  }
  if (!parser.positionalArguments().isEmpty()) {
    return "unexpected argument " + parser.positionalArguments().first().toStdString();
  }
  return {};
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "qv31-config: %s; see qv31-config --help\n", message.c_str());
  return EXIT_USAGE;
}

qv31::WindowOptions TakeWindowOptions(const QCommandLineParser& parser) {
  qv31::WindowOptions window;
  window.settingsDir = parser.value(QStringLiteral("settings-dir")).toStdString();
  const auto lang = qv31::ParseLanguage(parser.value(QStringLiteral("lang")).toStdString());
  window.language = lang ? *lang : qv31::LanguageFromEnvironment([](const char* name) {
    return static_cast<const char*>(std::getenv(name));
  });
  if (parser.isSet(QStringLiteral("udp"))) {
    const std::string target = parser.value(QStringLiteral("udp")).toStdString();
    const size_t colon = target.rfind(':');
    window.udpHost = target.substr(0, colon);
    window.udpPort = colon == std::string::npos ? std::to_string(qv31::GATEWAY_UDP_PORT)
                                                : target.substr(colon + 1);
  }
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // --help and --version, and a mistake in our own options, need no display; an unknown
  // option may still be Qt's, which only QApplication knows.
  QCommandLineParser early;
  AddOptions(early);
  const bool parsed = early.parse(ToStrings(argc, argv));
  if (early.isSet(QStringLiteral("help"))) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  if (early.isSet(QStringLiteral("version"))) {
    std::printf("qv31-config %s\n", QV31_VERSION);
    return 0;
  }
  if (early.unknownOptionNames().isEmpty() && !Mistake(early, parsed).empty()) {
    return UsageError(Mistake(early, parsed));
  }

  QApplication app(argc, argv);
  QCommandLineParser parser;
  AddOptions(parser);
  if (const std::string m = Mistake(parser, parser.parse(QApplication::arguments())); !m.empty()) {
    return UsageError(m);
  }
  const qv31::WindowOptions window = TakeWindowOptions(parser);
  if (parser.isSet(QStringLiteral("udp")) && window.udpHost.empty()) {
    return UsageError("--udp needs a host");
  }
  QApplication::setApplicationName(QStringLiteral("qv31-config"));
  QApplication::setApplicationVersion(QStringLiteral(QV31_VERSION));
  QApplication::setWindowIcon(qv31::AppIcon());

  qv31::MainDialog mainWindow(window);
  QObject::connect(&mainWindow, &QDialog::finished, &app, &QCoreApplication::quit);
  mainWindow.show();
  return QApplication::exec();
}
