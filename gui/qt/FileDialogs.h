#pragma once
// The open and save dialogs the windows ask for files with, built from what the model
// says a kind of file needs: its type filters, folder, default extension and whether
// replacing asks first.

#include "gui/model/MainDialogView.h"

#include <QString>
#include <QWidget>

namespace corvalin
{

// The chosen file, or "" when the user cancelled.
QString AskOpenFile(QWidget* parent, const CFileDialog& dialog);
QString AskSaveFile(QWidget* parent, const CFileDialog& dialog);

} // namespace corvalin
