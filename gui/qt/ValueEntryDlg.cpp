#include "gui/qt/ValueEntryDlg.h"

#include "gui/qt/DialogUnits.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace corvalin
{

namespace
{

// A closed drop-down list is as tall as an edit box; the template's height is the
// height of the open list.
constexpr int kClosedComboHeight = 14;

} // namespace

CValueEntryDlg::CValueEntryDlg(const CValueEntry& entry, QWidget* parent) : QDialog(parent), m_entry(entry)
{
    setObjectName(QStringLiteral("valueEntryDialog"));
    setWindowTitle(QStringLiteral("Please enter new value"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    QFont font = QApplication::font();
    font.setPointSize(8);
    setFont(font);
    const CBaseUnits units = BaseUnitsOf(font);
    setFixedSize(DialogUnitsToPixels(units, 0, 0, 186, 95).size());

    auto* label = new QLabel(QStringLiteral("Enter:"), this);
    label->setGeometry(DialogUnitsToPixels(units, 7, 22, 97, 8));

    m_pEdit = new QLineEdit(this);
    m_pEdit->setObjectName(QStringLiteral("valueEdit"));
    m_pEdit->setGeometry(DialogUnitsToPixels(units, 104, 22, 75, 14));

    m_pChoice = new QComboBox(this);
    m_pChoice->setObjectName(QStringLiteral("valueChoice"));
    m_pChoice->setMaxVisibleItems(12);
    m_pChoice->setGeometry(DialogUnitsToPixels(units, 105, 20, 75, std::min(60, kClosedComboHeight)));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("valueOk"));
    ok->setDefault(true);
    ok->setGeometry(DialogUnitsToPixels(units, 7, 74, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("valueCancel"));
    cancel->setGeometry(DialogUnitsToPixels(units, 129, 74, 50, 14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    OnInitDialog();
}

void CValueEntryDlg::OnInitDialog()
{
    // The edit box and the drop-down list share one spot; only one of them shows.
    if (m_entry.m_bChoice && !m_entry.m_bHex)
    {
        m_pEdit->hide();
        m_pChoice->show();
        m_pChoice->clear();
        for (const std::string& choice : m_entry.m_choices)
            m_pChoice->addItem(QString::fromStdString(choice));
        const bool inList = m_entry.m_nValue >= 0 && m_entry.m_nValue < m_pChoice->count();
        m_pChoice->setCurrentIndex(inList ? m_entry.m_nValue : -1);
        m_pChoice->setFocus();
    }
    else
    {
        m_pChoice->hide();
        m_pEdit->show();
        m_pEdit->setText(QString::fromStdString(ValueEntryText(m_entry)));
        m_pEdit->selectAll();
        m_pEdit->setFocus();
    }
}

void CValueEntryDlg::accept()
{
    AcceptValueEntry(m_entry, m_pEdit->text().toStdString(), m_pChoice->currentIndex());
    QDialog::accept();
}

} // namespace corvalin
