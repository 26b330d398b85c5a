#pragma once
// The About box: the application icon, "Corvalin Version 1.0" and OK.

#include <QDialog>

namespace corvalin
{

class CAboutDlg : public QDialog
{
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace corvalin
