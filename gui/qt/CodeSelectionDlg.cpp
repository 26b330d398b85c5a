#include "gui/qt/CodeSelectionDlg.h"

#include "gui/model/MainDialogLayout.h"
#include "gui/qt/AboutDlg.h"
#include "gui/qt/FileDialogs.h"
#include "gui/qt/SettingsFolderStore.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace corvalin
{

namespace
{

const QString kCaption = QStringLiteral("Code Selection");
const QString kApplicationName = QStringLiteral("Corvalin");

// The template's size in dialog units.
constexpr int kDialogWidthDu = 438;
constexpr int kDialogHeightDu = 342;

struct CFunctionKeyPlace
{
    int m_nId;
    int m_nX;
    int m_nY;
    int m_nW;
    int m_nH;
};

// The function keys in template (tab) order, which differs from id order at 1011/1012.
constexpr CFunctionKeyPlace kFunctionKeyPlaces[kFunctionKeyCount] = {
    {1002, 288, 159, 55, 21}, {1003, 350, 231, 25, 21}, {1004, 287, 128, 56, 21}, {1005, 332, 222, 25, 21},
    {1006, 355, 188, 59, 21}, {1007, 361, 230, 25, 21}, {1008, 369, 233, 25, 21}, {1009, 366, 233, 25, 21},
    {1010, 364, 224, 25, 21}, {1012, 355, 159, 59, 21}, {1011, 288, 188, 55, 21}, {1013, 355, 128, 59, 21},
    {1014, 287, 98, 56, 21},  {1015, 355, 98, 59, 21},
};

QString ControlName(int id)
{
    return QStringLiteral("control%1").arg(id);
}

} // namespace

CCodeSelectionDlg::CCodeSelectionDlg(QWidget* parent) : QDialog(parent), m_logic(this, nullptr)
{
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    // The template is laid out in an 8-point sans-serif face, as the value entry
    // dialog and the About box are; the source keys' pixel places assume it. Where the
    // dialog would not fit the screen, the face is smaller and the keys with it.
    auto fontAt = [](int points)
    {
        QFont font = QApplication::font();
        font.setPointSize(points);
        return font;
    };
    constexpr int kDesignPoints = 8;
    const QFont dialogFont =
        fontAt(FittingDialogPoints(*this, kDesignPoints, kDialogWidthDu, kDialogHeightDu, fontAt));
    setFont(dialogFont);
    m_units = BaseUnitsOf(dialogFont);
    // Across and down apart: small fonts do not keep their width to height, and the
    // keys must keep their place in "Source" both ways.
    const CBaseUnits design = BaseUnitsOf(fontAt(kDesignPoints));
    m_keyScale = QSizeF(double(m_units.m_nX) / design.m_nX, double(m_units.m_nY) / design.m_nY);

    BuildControls();
    SetTabOrder();
    setAcceptDrops(true);
    const QRect client = FromDialogUnits(0, 0, kDialogWidthDu, kDialogHeightDu);
    setFixedSize(client.size());
}

// The key windows go before the logic that owns their reader, so no key ever points
// into a released CCF image.
CCodeSelectionDlg::~CCodeSelectionDlg()
{
    RemoveSourceKeys();
}

QRect CCodeSelectionDlg::FromDialogUnits(int x, int y, int w, int h) const
{
    return DialogUnitsToPixels(m_units, x, y, w, h);
}

QPushButton* CCodeSelectionDlg::AddPushButton(int id, const QString& text, int x, int y, int w, int h)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(ControlName(id));
    button->setGeometry(FromDialogUnits(x, y, w, h));
    // None of the buttons is the default button; Enter is handled by the dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Controls are made in template order, which is also the tab order.
void CCodeSelectionDlg::BuildControls()
{
    auto* destination = new QGroupBox(QStringLiteral("Destination"), this);
    destination->setGeometry(FromDialogUnits(277, 78, 146, 219));
    auto* source = new QGroupBox(QStringLiteral("Source"), this);
    source->setGeometry(FromDialogUnits(25, 78, 240, 219));

    m_fileEdit = new QLineEdit(this);
    m_fileEdit->setObjectName(ControlName(kSourceFileBoxId));
    m_fileEdit->setGeometry(FromDialogUnits(109, 36, 252, 15));
    connect(m_fileEdit, &QLineEdit::textChanged, this, &CCodeSelectionDlg::OnSourceTextChanged);
    // Queued: leaving the box can happen inside a click on a source key, which the
    // load that may follow would destroy.
    connect(m_fileEdit, &QLineEdit::editingFinished, this, &CCodeSelectionDlg::OnSourceEditingFinished,
            Qt::QueuedConnection);

    connect(AddPushButton(kBrowseId, QStringLiteral("..."), 385, 36, 30, 16), &QPushButton::clicked, this,
            &CCodeSelectionDlg::OnBrowse);

    for (const CFunctionKeyPlace& place : kFunctionKeyPlaces)
    {
        const int k = place.m_nId - kFirstFunctionKeyId;
        auto* key = new CFunctionKeyButton(QString::fromLatin1(kFunctionNames[std::size_t(k)]), this);
        key->setObjectName(ControlName(place.m_nId));
        key->setGeometry(FromDialogUnits(place.m_nX, place.m_nY, place.m_nW, place.m_nH));
        // The six keys no label and no click reaches are kept but never shown.
        key->setVisible(kFunctionKeyShown[std::size_t(k)]);
        connect(key, &QAbstractButton::clicked, this,
                [this, id = place.m_nId] { m_logic.OnFunctionKey(id); });
        m_functionKeys[std::size_t(k)] = key;
    }

    connect(AddPushButton(kCancelId, QStringLiteral("CANCEL"), 376, 309, 47, 19), &QPushButton::clicked, this,
            &CCodeSelectionDlg::reject);
    connect(AddPushButton(kOkId, QStringLiteral("OK"), 324, 309, 43, 19), &QPushButton::clicked, this,
            &CCodeSelectionDlg::OnOkButton);

    m_codeText = new QLabel(this);
    m_codeText->setObjectName(ControlName(kCodeTextId));
    m_codeText->setGeometry(FromDialogUnits(78, 279, 97, 12));
    auto* codeLabel = new QLabel(QStringLiteral("IR CODE:"), this);
    codeLabel->setGeometry(FromDialogUnits(31, 278, 45, 12));
    m_functionText = new QLabel(this);
    m_functionText->setObjectName(ControlName(kFunctionTextId));
    m_functionText->setGeometry(FromDialogUnits(285, 278, 135, 12));
    auto* fileLabel = new QLabel(QStringLiteral("Source File:"), this);
    fileLabel->setGeometry(FromDialogUnits(25, 36, 71, 14));

    connect(AddPushButton(kClearAllId, QStringLiteral("CLEAR ALL"), 161, 309, 48, 19), &QPushButton::clicked,
            this, [this] { m_logic.OnClearAll(); });
    connect(AddPushButton(kDefaultId, QStringLiteral("DEFAULT"), 217, 309, 48, 19), &QPushButton::clicked,
            this, &CCodeSelectionDlg::OnDefault);
    connect(AddPushButton(kEraseId, QStringLiteral("ERASE"), 195, 244, 46, 21), &QPushButton::clicked, this,
            [this] { m_logic.OnErase(); });
}

QPushButton* CCodeSelectionDlg::Button(int id) const
{
    return findChild<QPushButton*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

QWidget* CCodeSelectionDlg::ControlById(int id) const
{
    return findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

QWidget* CCodeSelectionDlg::FirstSourceKey() const
{
    const std::vector<int> order = m_logic.SourceKeysInReadingOrder();
    return order.empty() ? nullptr : ControlById(order.front());
}

void CCodeSelectionDlg::SetTabOrder()
{
    // The source keys come and go with the file; Tab reaches them through
    // eventFilter, so the chain runs from "..." straight on to ERASE.
    QWidget* previous = nullptr;
    for (int id : kCodeSelectionTabOrder)
    {
        QWidget* control = id == kFirstSourceKeyId ? nullptr : ControlById(id);
        if (!control)
            continue;
        if (previous)
            setTabOrder(previous, control);
        previous = control;
        if (id == kBrowseId || id == kEraseId)
            control->installEventFilter(this);
    }
}

void CCodeSelectionDlg::TabFromSourceKeys(bool bForward)
{
    const auto group =
        std::find(kCodeSelectionTabOrder.begin(), kCodeSelectionTabOrder.end(), kFirstSourceKeyId);
    ControlById(bForward ? *(group + 1) : *(group - 1))
        ->setFocus(bForward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool CCodeSelectionDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const int key = keyEvent->key();
    const bool plain = (keyEvent->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == Qt::NoModifier;
    const auto* source = qobject_cast<CSourceKeyButton*>(watched);
    if (!plain)
        return QDialog::eventFilter(watched, event);
    // Tab enters the source keys' group from the controls on either side of it.
    if (!source && (key == Qt::Key_Tab || key == Qt::Key_Backtab))
    {
        const bool forward = key == Qt::Key_Tab && !(keyEvent->modifiers() & Qt::ShiftModifier);
        QWidget* first = FirstSourceKey();
        if (first && watched == ControlById(forward ? kBrowseId : kEraseId))
        {
            first->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }
    if (!source)
        return QDialog::eventFilter(watched, event);
    const int id = source->property("controlId").toInt();
    switch (key)
    {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        TabFromSourceKeys(key == Qt::Key_Tab && !(keyEvent->modifiers() & Qt::ShiftModifier));
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (QWidget* next =
                ControlById(m_logic.NeighbourSourceKey(id, key == Qt::Key_Right || key == Qt::Key_Down)))
            next->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Picks the key, as Space does.
        if (!keyEvent->isAutoRepeat())
            m_logic.OnSourceKey(id);
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void CCodeSelectionDlg::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls() && mime->urls().size() == 1 && mime->urls().front().isLocalFile() &&
        IsCcfDrop({mime->urls().front().toLocalFile().toStdString()}))
        event->acceptProposedAction();
}

void CCodeSelectionDlg::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (!mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return;
    const QString path = mime->urls().front().toLocalFile();
    if (!IsCcfDrop({path.toStdString()}))
        return;
    event->acceptProposedAction();
    // The change of the box's text loads the file.
    m_fileEdit->setText(path);
}

int CCodeSelectionDlg::DoModal()
{
    m_bEnded = false;
    return exec();
}

void CCodeSelectionDlg::done(int result)
{
    m_bEnded = true;
    QDialog::done(result);
}

// "CANCEL", Escape and the close box all end the dialog with 2.
void CCodeSelectionDlg::reject()
{
    done(kCodeSelectionCancel);
}

// Enter on a focused push button ("...", "OK", "CANCEL", "CLEAR ALL", "DEFAULT",
// "ERASE") presses that button. Elsewhere it acts as "OK", so the picks are kept,
// except in the source file box, where it finishes the path (the box reports that
// through editingFinished). The function and source keys are owner-drawn, not push
// buttons: Enter on them is "OK" too.
void CCodeSelectionDlg::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
    {
        event->accept();
        QWidget* focus = focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focus))
            button->click();
        else if (focus != m_fileEdit)
            OnOkButton();
        return;
    }
    // The About box, as on the main window: a desktop's window menu is no place of ours.
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier)
    {
        event->accept();
        CAboutDlg about(this);
        about.exec();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CCodeSelectionDlg::OnBrowse()
{
    // The dialog opens where the last source file was found, in this run or an earlier one.
    CSettingsFolderStore store;
    CFolderMemory folders(&store);
    const QString path =
        AskOpenFile(this, FileDialogFor(EFileKind::ProntoCodes, folders.FolderFor(EFileKind::ProntoCodes)));
    if (path.isEmpty())
        return;
    folders.Remember(EFileKind::ProntoCodes, std::filesystem::path(path.toStdU16String()));
    // The change of the box's text loads the file.
    m_fileEdit->setText(path);
}

// A path is loaded as soon as the text names an existing file; texts on the way to
// it (every keystroke of a typed path) are not tried, so they raise no message.
void CCodeSelectionDlg::OnSourceTextChanged(const QString& text)
{
    const QString path = text.trimmed();
    if (path.isEmpty() || QFileInfo(path).isFile())
        m_logic.OnSourceTextChanged(text.toStdString());
}

// A text that was not tried while it was typed is tried now, and reported if it
// cannot be read.
void CCodeSelectionDlg::OnSourceEditingFinished()
{
    if (m_bEnded)
        return;
    const std::string text = m_fileEdit->text().toStdString();
    if (text != m_logic.SourceText())
        m_logic.OnSourceTextChanged(text);
}

// Clears every function key and reads the named file again, taking the box's text
// as it stands even when it was not tried yet.
void CCodeSelectionDlg::OnDefault()
{
    m_logic.OnClearAll();
    m_logic.OnSourceTextChanged(m_fileEdit->text().toStdString());
}

void CCodeSelectionDlg::OnOkButton()
{
    done(m_logic.OnOkButton());
}

void CCodeSelectionDlg::ShowMessage(const std::string& text, EMessageKind kind)
{
    const QString message = QString::fromStdString(text);
    if (m_messageHook)
    {
        m_messageHook(message);
        return;
    }
    QMessageBox box(kind == EMessageKind::Error ? QMessageBox::Critical : QMessageBox::Warning,
                    kApplicationName, message, QMessageBox::Ok, this);
    box.exec();
}

void CCodeSelectionDlg::SetCodeText(const std::string& text)
{
    m_codeText->setText(QString::fromLatin1(text));
}

void CCodeSelectionDlg::SetFunctionText(const std::string& text)
{
    m_functionText->setText(QString::fromLatin1(text));
}

void CCodeSelectionDlg::RemoveSourceKeys()
{
    while (!m_sourceKeys.empty())
    {
        delete m_sourceKeys.back();
        m_sourceKeys.pop_back();
    }
}

void CCodeSelectionDlg::AddSourceKey(const CSourceKeyState& key, const CIrKeyRecord& record)
{
    auto* button = new CSourceKeyButton(this);
    // The key may be smaller than its CCF button (see kMaxKeySide); the bitmap keeps
    // the button's size, so its rows are read as the file lays them out.
    button->SetBitmap(record.bitmapFlags, record.bitmap, record.bitmapSize,
                      QSize(record.width, record.height), record.colour);
    // CCF labels are single bytes per character; the Pronto font maps them one to one.
    button->SetCaption(QString::fromLatin1(record.label), record.textColor, record.fontSize, record.colour);
    button->SetCode(record.protocol, record.code);
    button->setObjectName(QStringLiteral("control%1").arg(key.m_nId));
    button->setProperty("controlId", key.m_nId);
    button->setAccessibleName(QString::fromLatin1(SourceKeyName(record, key.m_nId)));
    auto across = [this](int pixels) { return int(std::lround(pixels * m_keyScale.width())); };
    auto down = [this](int pixels) { return int(std::lround(pixels * m_keyScale.height())); };
    button->setGeometry(across(key.m_nLeft), down(key.m_nTop), across(key.m_nRight) - across(key.m_nLeft),
                        down(key.m_nBottom) - down(key.m_nTop));
    button->SetScale(m_keyScale);
    // Tab reaches the keys as one group (eventFilter), the arrow keys move within it.
    button->setFocusPolicy(Qt::ClickFocus);
    button->installEventFilter(this);
    const int id = key.m_nId;
    connect(button, &QAbstractButton::clicked, this, [this, id] { m_logic.OnSourceKey(id); });
    connect(button, &CSourceKeyButton::DrawnWithoutFocus, this, [this, id] { m_logic.ClearToggled(id); });
    button->show();
    m_sourceKeys.push_back(button);
}

void CCodeSelectionDlg::FunctionKeyChanged(int k)
{
    const CFunctionKeyState& state = m_logic.FunctionKey(k);
    CFunctionKeyButton* key = m_functionKeys[std::size_t(k)];
    if (state.m_eProtocol == EIrProtocol::Empty && state.m_nCode == 0)
        key->ClearCode();
    else
        key->AssignCode(state.m_eProtocol, state.m_nCode);
}

void CCodeSelectionDlg::FocusCodeText()
{
    m_codeText->setFocus(Qt::OtherFocusReason);
}

} // namespace corvalin
