// The window in English: every text it, its dialogs and the monitor show, the choice kept for
// the next start, and files that do not change with the language.
#include "gui/window_language.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <string>

#include "acq/acq_grid.h"
#include "app/control_ids.h"
#include "app/dialog_texts.h"
#include "gui/acq_table_model.h"
#include "gui/traffic_model.h"
#include "gui/traffic_monitor.h"
#include "settings/ckx_file_ini.h"
#include "settings/link_settings.h"
#include "sim/sim_process.h"
#include "window_fixture.h"

namespace qv31::guitest {
namespace {

bool HasChinese(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x3000 && u <= 0x303F) || (u >= 0x4E00 && u <= 0x9FFF) ||
        (u >= 0xFF00 && u <= 0xFFEF)) {
      return true;
    }
  }
  return false;
}

// Every text `root` and its widgets show an operator or a screen reader, each with where it
// was found; edit boxes and drop-downs hold values and are left out, all but the status box.
QStringList ShownTexts(QWidget* root) {
  QStringList texts;
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    const QString where = w->objectName() + ": ";
    if (w->isWindow()) texts << where + w->windowTitle();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << where + b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) texts << where + l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts << where + g->title();
    if (w->objectName() == "c1052") texts << where + qobject_cast<QLineEdit*>(w)->text();
    texts << where + w->toolTip() << where + w->accessibleName()
          << where + w->accessibleDescription();
  }
  for (QAction* action : root->actions()) texts << "action: " + action->text();
  return texts;
}

QStringList HeaderTexts(const QAbstractItemModel& model) {
  QStringList texts;
  for (int c = 0; c < model.columnCount(); ++c) {
    texts << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  }
  return texts;
}

QStringList Chinese(const QStringList& texts) {
  QStringList found;
  for (const QString& t : texts) {
    if (HasChinese(t)) found << t;
  }
  return found;
}

class LanguageTest : public WindowTest {
 protected:
  void OpenIn(Language language, bool network = true) {
    WindowOptions options;
    options.language = language;
    if (network) {
      options.udpHost = "127.0.0.1";
      options.udpPort = std::to_string(sim_.UdpPort());
    }
    Open(options);
  }
  bool OpenLink() {
    QTest::mouseClick(window_->View().Widget(IDC_OPEN_CLOSE), Qt::LeftButton);
    return WaitFor(
        [&] { return Text(IDC_STATUS) == "执行完成" && window_->View().IsEnabled(IDC_QUERY_ALL); });
  }
  std::string Export() {
    QTest::mouseClick(window_->View().Widget(IDC_SAVE_CSV), Qt::LeftButton);
    const QString path = window_->View().Widget(IDC_STATUS)->toolTip();  // where it went
    if (path.isEmpty()) return {};
    const std::string bytes = ReadBytes(path.toStdString());
    QFile::remove(path);  // an export within the same second would add to it
    return bytes;
  }
  // The texts of the modal box that `act` opens, and the box closed.
  static QStringList ModalTexts(const std::function<void()>& act) {
    QStringList texts;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr) return;
      texts = ShownTexts(box);
      if (auto* m = qobject_cast<QMessageBox*>(box)) texts << "message: " + m->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    act();
    return texts;
  }

  simtest::SimProcess sim_;
};

TEST_F(LanguageTest, EveryTextOfTheWindowItsDialogsAndTheMonitorIsEnglish) {
  ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0"}));
  OpenIn(Language::English);
  ASSERT_TRUE(OpenLink());
  // For review: the English window after an open; nothing may be cut short.
  window_->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-window-en-%1.png")
                           .arg(QGuiApplication::platformName()));
  auto* list = qobject_cast<QTableView*>(window_->View().Widget(IDC_ACQ_LIST));
  ASSERT_NE(list, nullptr);
  QStringList texts = ShownTexts(window_.get()) + HeaderTexts(*list->model());
  QTest::keyClick(window_.get(), Qt::Key_F12);
  TrafficMonitor& monitor = window_->Monitor();
  ASSERT_TRUE(WaitFor([&] { return monitor.isVisible(); }));
  monitor.Sync();
  const QAbstractItemModel& rows = monitor.Model();
  ASSERT_GT(rows.rowCount(), 0);
  texts += ShownTexts(&monitor) + HeaderTexts(rows);
  for (int r = 0; r < rows.rowCount(); ++r) {
    for (const int c : {TrafficModel::DIRECTION, TrafficModel::HEADER, TrafficModel::FATE}) {
      texts << rows.index(r, c).data().toString();
    }
  }
  EXPECT_EQ(rows.index(0, TrafficModel::HEADER).data().toString(), "area 3 read addr 0 len 18");
  monitor.grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-monitor-en-%1.png")
                          .arg(QGuiApplication::platformName()));
  monitor.close();
  const QStringList about =
      ModalTexts([&] { QTest::keyClick(window_->View().Widget(IDC_GROUP), Qt::Key_F1); });
  EXPECT_TRUE(about.contains("c1066: QV31, version 1.2.3.4")) << about.join('\n').toStdString();
  texts += about;

  // The table checks' reasons on marked cells.
  AcqGrid grid;
  for (const auto& [column, text] :
       {std::pair{COL_SLAVE, "0"}, {COL_COUNT, "0"}, {COL_START, "70000"}, {COL_BUFFER, "0"}}) {
    grid.SetCell(0, column, text);
    grid.SetCell(1, column, text);
  }
  AcqTableModel marked(grid);
  marked.SetMarks(CheckAcqGrid(grid));
  for (int c = 0; c < ACQ_COLUMN_COUNT; ++c) {
    texts << marked.index(0, c).data(Qt::ToolTipRole).toString();
  }
  EXPECT_EQ(Chinese(texts), QStringList()) << "every text in English";
}

// A port that cannot be opened: the message and its button in the window's language (Qt's
// own button text from Qt's translations).
TEST_F(LanguageTest, TheOpenFailureBoxSpeaksTheWindowsLanguage) {
  for (const auto& [language, button] :
       {std::pair{Language::English, "OK"}, std::pair{Language::Chinese, "确定"}}) {
    OpenIn(language, false);
    window_->View().SetText(IDC_LINK_PORT, dir_.Path("no-such-port"));
    const QStringList texts = ModalTexts(
        [&] { QTest::mouseClick(window_->View().Widget(IDC_OPEN_CLOSE), Qt::LeftButton); });
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts.filter(QStringLiteral("message: ")).size() == 1);
    EXPECT_FALSE(texts.filter(QRegularExpression(QStringLiteral(": %1$").arg(button))).isEmpty())
        << texts.join('\n').toStdString();
    if (language == Language::English) {
      EXPECT_EQ(Chinese(texts), QStringList());
      EXPECT_TRUE(texts.contains("message: Cannot open serial port " +
                                 QString::fromStdString(dir_.Path("no-such-port")) +
                                 "!\nNo such device (not plugged in, or a wrong name)"))
          << texts.join('\n').toStdString();
    }
  }
}

// The write guard's boxes: a value refused before anything is sent, and the question before
// groups left empty are written (the window composes both from its Chinese texts).
TEST_F(LanguageTest, TheWriteGuardsBoxesSpeakTheWindowsLanguage) {
  ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0"}));
  OpenIn(Language::English);
  ASSERT_TRUE(OpenLink());
  window_->View().SetText(IDC_CH1_TARGET, std::string(60, 'a') + ".cn");
  const QStringList refused =
      ModalTexts([&] { QTest::mouseClick(window_->View().Widget(IDC_NET_SET), Qt::LeftButton); });
  EXPECT_EQ(Chinese(refused), QStringList());
  EXPECT_FALSE(refused.filter("message: \"Channel 1 Address\" cannot be written").empty())
      << refused.join('\n').toStdString();
  const std::string question = std::string(dialog::ASK_BLANK_HEAD) +
                               "\n串口1、4G、采集表第4块（第192-255行）\n" +
                               std::string(dialog::ASK_BLANK_TAIL);
  // For review: a question of the guard as an English operator sees it.
  QTimer::singleShot(0, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      box->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-blank-question-en-%1.png")
                           .arg(QGuiApplication::platformName()));
    }
  });
  const QStringList asked =
      ModalTexts([&] { EXPECT_FALSE(window_->View().AskYesNo(question)) << "No is the default"; });
  EXPECT_EQ(Chinese(asked), QStringList());
  EXPECT_FALSE(asked.filter("Port 1, 4G, Table block 4 (rows 192-255)").empty())
      << asked.join('\n').toStdString();
}

TEST_F(LanguageTest, TheChoiceMadeInTheWindowSurvivesARestartAndBeatsTheCommandLine) {
  OpenIn(Language::Chinese, false);
  EXPECT_EQ(window_->windowTitle(), "采集管理设置软件");
  window_->ChooseLanguage(Language::English);
  EXPECT_EQ(window_->windowTitle(), "Acquisition Manager Settings") << "at once";
  EXPECT_EQ(Chinese(ShownTexts(window_.get())), QStringList());

  OpenIn(Language::Chinese, false);  // a restart with --lang zh
  EXPECT_EQ(WindowLanguage(), Language::English);
  EXPECT_EQ(window_->windowTitle(), "Acquisition Manager Settings");
  CKXFileIni ini;
  ini.SetFileIn(dir_.Dir().string(), std::string(SETTINGS_FILE));
  std::string kept;
  ini.ReadString(SETTINGS_SECTION, "语言", "", kept);
  EXPECT_EQ(kept, "en");

  window_->ChooseLanguage(Language::Chinese);
  OpenIn(Language::English, false);
  EXPECT_EQ(window_->windowTitle(), "采集管理设置软件");
  EXPECT_EQ(Text(IDC_MODE), "串口") << "the dialog reads its texts in Chinese whatever it shows";
}

TEST_F(LanguageTest, ACsvExportedFromTheEnglishWindowIsTheChineseWindowsByteForByte) {
  ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0"}));
  OpenIn(Language::Chinese);
  ASSERT_TRUE(OpenLink());
  const std::string chinese = Export();
  ASSERT_FALSE(chinese.empty());
  window_->ChooseLanguage(Language::English);
  const std::string english = Export();
  EXPECT_TRUE(english == chinese) << "the same bytes";
  EXPECT_EQ(window_->View().Widget(IDC_STATUS)->property("text").toString(), "Exported");
}

}  // namespace
}  // namespace qv31::guitest
