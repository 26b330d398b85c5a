#pragma once
// Message boxes of the window: the application's name as caption and one OK button.

#include <QString>

class QMessageBox;
class QWidget;

namespace corvalin
{

// A new box, not yet shown.
QMessageBox* NewMessageBox(QWidget* parent, const QString& text);

// Shows a box modally and returns when the user closed it.
void ShowMessageBox(QWidget* parent, const QString& text);

} // namespace corvalin
