#pragma once

#include <QString>

class QWidget;

namespace engine {

// Dialog items are a dialog's child widgets carrying the dynamic property "dialogItemId",
// the id the dialog template gave them.
constexpr const char* kDialogItemIdProperty = "dialogItemId";
// The item of `dialog` with that id (searched among all its descendants), or null.
QWidget* DialogItem(QWidget* dialog, int id);

// Text of the widgets displayers write to: line edits, plain and rich text edits, labels
// and buttons. False for a widget without text.
bool SetWidgetText(QWidget* widget, const QString& text);
// Appends at the end of the widget's text and scrolls it into view.
bool AppendWidgetText(QWidget* widget, QStringView text);

}  // namespace engine
