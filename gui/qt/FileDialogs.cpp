#include "gui/qt/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace corvalin
{

namespace
{

QString FolderText(const CFileDialog& dialog)
{
    return QString::fromStdU16String(dialog.m_folder.u16string());
}

// "Firmware images (*.bin *.img)", "All files (*)"
QStringList NameFilters(const CFileDialog& dialog)
{
    QStringList filters;
    for (const CFileFilter& filter : dialog.m_filters)
        filters << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(filter.m_pName),
                                                 QString::fromUtf8(filter.m_pPatterns));
    return filters;
}

} // namespace

QString AskOpenFile(QWidget* parent, const CFileDialog& dialog)
{
    return QFileDialog::getOpenFileName(parent, QString(), FolderText(dialog),
                                        NameFilters(dialog).join(QStringLiteral(";;")));
}

QString AskSaveFile(QWidget* parent, const CFileDialog& dialog)
{
    QFileDialog files(parent, QString(), FolderText(dialog));
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setNameFilters(NameFilters(dialog));
    files.setDefaultSuffix(QString::fromUtf8(dialog.m_pDefaultExtension));
    files.setOption(QFileDialog::DontConfirmOverwrite, !dialog.m_bConfirmReplace);
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return QString();
    return files.selectedFiles().front();
}

} // namespace corvalin
