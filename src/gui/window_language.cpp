#include "gui/window_language.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTranslator>
#include <QWidget>
#include <string>

namespace qv31 {
namespace {

// Where a widget keeps the Chinese form of each text it shows.
constexpr char KEY_TEXT[] = "qv31ZhText";
constexpr char KEY_TITLE[] = "qv31ZhTitle";
constexpr char KEY_TIP[] = "qv31ZhTip";
constexpr char KEY_NAME[] = "qv31ZhName";
constexpr char KEY_DESCRIPTION[] = "qv31ZhDescription";

Language current = Language::Chinese;

QTranslator& QtTranslator() {
  static QTranslator translator;
  return translator;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString TrWords(const QString& text) { return Q(TranslateWords(text.toStdString(), current)); }

QString ShownText(const QWidget* w) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text();
  if (const auto* group = qobject_cast<const QGroupBox*>(w)) return group->title();
  if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->text();
  return {};
}

void Show(QWidget* w, const QString& text) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(text);
    edit->setCursorPosition(0);
  }
}

// The Chinese text kept under `key`; a text met for the first time becomes it.
QString KeyOf(QWidget* w, const char* key, const QString& shown) {
  const QVariant kept = w->property(key);
  if (kept.isValid()) return kept.toString();
  if (!shown.isEmpty()) w->setProperty(key, shown);
  return shown;
}

}  // namespace

Language WindowLanguage() { return current; }

void SetWindowLanguage(Language language) {
  current = language;
  QTranslator& translator = QtTranslator();
  QCoreApplication::removeTranslator(&translator);
  // Qt's own texts are English by nature; Chinese comes from its translations.
  if (language == Language::Chinese &&
      translator.load(QStringLiteral("qtbase_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&translator);
  }
}

QString Tr(std::string_view text) { return Q(Translate(text, current)); }

void SetWidgetText(QWidget* widget, std::string_view text) {
  if (widget == nullptr) return;
  const QString key = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  widget->setProperty(KEY_TEXT, key);
  Show(widget, Tr(text));
}

QString WidgetText(const QWidget* widget) {
  const QVariant kept = widget->property(KEY_TEXT);
  return kept.isValid() ? kept.toString() : ShownText(widget);
}

void SetWidgetToolTip(QWidget* widget, std::string_view text) {
  if (widget == nullptr) return;
  widget->setProperty(KEY_TIP, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  widget->setToolTip(Tr(text));
}

void SetWidgetAccessibleName(QWidget* widget, std::string_view text) {
  if (widget == nullptr) return;
  const QString key = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  widget->setProperty(KEY_NAME, key);
  widget->setAccessibleName(TrWords(key));
}

void TranslateWidgets(QWidget* root) {
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    if (w->isWindow() && !w->windowTitle().isEmpty()) {
      w->setWindowTitle(Tr(KeyOf(w, KEY_TITLE, w->windowTitle()).toStdString()));
    }
    // An edit box shows a value, unless the program gave it a text of its own.
    const bool edit = qobject_cast<QLineEdit*>(w) != nullptr;
    if (!edit || w->property(KEY_TEXT).isValid()) {
      const QString key = KeyOf(w, KEY_TEXT, ShownText(w));
      if (!key.isEmpty()) Show(w, Tr(key.toStdString()));
    }
    if (const QString tip = KeyOf(w, KEY_TIP, w->toolTip()); !tip.isEmpty()) {
      w->setToolTip(Tr(tip.toStdString()));
    }
    if (const QString name = KeyOf(w, KEY_NAME, w->accessibleName()); !name.isEmpty()) {
      w->setAccessibleName(TrWords(name));
    }
    if (const QString d = KeyOf(w, KEY_DESCRIPTION, w->accessibleDescription()); !d.isEmpty()) {
      w->setAccessibleDescription(TrWords(d));
    }
  }
}

}  // namespace qv31
