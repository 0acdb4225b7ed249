#pragma once

#include <QString>
#include <string_view>

#include "app/text_catalogue.h"

class QWidget;

// The language of the program's windows. Widgets keep the Chinese form of each of their texts
// beside what they show, so a change of language redraws them all at once.
namespace qv31 {

Language WindowLanguage();
// Switches the texts that are made from now on, and Qt's own dialogs and menus (the file
// dialog, the edit boxes' menus, the message boxes' buttons). Widgets already shown follow
// with TranslateWidgets.
void SetWindowLanguage(Language language);

// A text of the catalogue, or composed from one, in the window's language.
QString Tr(std::string_view text);

// Shows `text` (a Chinese text) on a label, button, group box or edit box in the window's
// language; WidgetText gives the Chinese text back.
void SetWidgetText(QWidget* widget, std::string_view text);
QString WidgetText(const QWidget* widget);
void SetWidgetToolTip(QWidget* widget, std::string_view text);
void SetWidgetAccessibleName(QWidget* widget, std::string_view text);

// Redraws `root` and everything in it in the window's language: window titles, labels,
// buttons, check boxes, group titles, tool tips and accessible names. A text met for the
// first time is taken as Chinese.
void TranslateWidgets(QWidget* root);

}  // namespace qv31
