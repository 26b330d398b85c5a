#pragma once
// Message boxes of the window: the application's name as caption and one OK button,
// or Yes and No for a question.

#include "gui/model/MainDialogView.h"

#include <QString>

class QMessageBox;
class QWidget;

namespace corvalin
{

// A new box, not yet shown.
QMessageBox* NewMessageBox(QWidget* parent, const QString& text, EMessageIcon icon);

// Shows a box modally and returns when the user closed it.
void ShowMessageBox(QWidget* parent, const QString& text, EMessageIcon icon);

// Asks with Yes and No, No being the default; true for Yes.
bool AskYesNoBox(QWidget* parent, const QString& text);

} // namespace corvalin
