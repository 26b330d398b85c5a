#include "gui/qt/MainWindow.h"

#include "gui/qt/AboutDlg.h"
#include "gui/qt/AppIcon.h"
#include "gui/qt/CodeSelectionHandOff.h"
#include "gui/qt/FileDialogs.h"
#include "gui/qt/SystemMenu.h"
#include "gui/qt/ValueEntryDlg.h"
#include "gui/qt/WindowNotices.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QUrl>

#include <algorithm>
#include <filesystem>

namespace corvalin
{

namespace
{

// A closed drop-down list is as tall as an edit box; the template's height is the
// height of the open list.
constexpr int kClosedComboHeight = 14;

std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}

// The local files of a drag; none when it carries anything else.
std::vector<std::filesystem::path> DraggedFiles(const QMimeData* data)
{
    std::vector<std::filesystem::path> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
    {
        if (!url.isLocalFile())
            return {};
        files.push_back(ToPath(url.toLocalFile()));
    }
    return files;
}

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

// The window's rules know Enter with no modifier (Shift, Ctrl, Alt) and a few plain keys.
std::optional<EWindowKey> WindowKeyOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return std::nullopt;
    switch (event->key())
    {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return EWindowKey::Enter;
    case Qt::Key_Space:
        return EWindowKey::Space;
    case Qt::Key_F1:
        return EWindowKey::F1;
    case Qt::Key_F2:
        return EWindowKey::F2;
    default:
        return std::nullopt;
    }
}

} // namespace

QColor BarColorToQColor(uint32_t color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

CMainWindow::CMainWindow(const CWindowTiming& timing, const CLinkTiming& linkTiming, QWidget* parent)
    : QDialog(parent), m_chooseOpen(AskOpenFile), m_chooseSave(AskSaveFile),
      m_pBarStyle(QStyleFactory::create(QStringLiteral("Fusion"))),
      m_pModel(std::make_unique<CMainDialogModel>(static_cast<IMainDialogView&>(*this), timing, linkTiming))
{
    m_pModel->KeepFoldersIn(m_folderStore);
    BuildControls();
    AddAboutToSystemMenu(this, Text(kAboutEntryText));
    connect(&m_timer, &QTimer::timeout, this, [this] { m_pModel->OnTimer(); });
    m_pModel->OnInitDialog();
}

CMainWindow::~CMainWindow()
{
    m_timer.stop();
    m_pModel.reset();
    // The bar outlives this object for a moment; it must not keep a dead style.
    QWidget* bar = ControlOf(EMainControl::Progress);
    if (m_pBarStyle && bar->style() == m_pBarStyle.get())
        bar->setStyle(nullptr);
}

void CMainWindow::SetFileChoosers(FileChooser chooseOpen, FileChooser chooseSave)
{
    m_chooseOpen = std::move(chooseOpen);
    m_chooseSave = std::move(chooseSave);
}

void CMainWindow::BuildControls()
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(AppIcon());

    // The dialog's font is fixed-pitch, so the values of the parameter list line up,
    // and it sets the dialog units every control is placed in.
    // A smaller one where the window would not fit the screen.
    const QFont font = FixedPitchFont(FittingDialogPoints(*this, kMainDialogFontPoints, kMainDialogWidth,
                                                          kMainDialogHeight, FixedPitchFont));
    setFont(font);
    const CBaseUnits units = BaseUnitsOf(font);
    setFixedSize(DialogUnitsToPixels(units, 0, 0, kMainDialogWidth, kMainDialogHeight).size());

    // In the order of the template, which is also the tab order.
    QWidget* previous = nullptr;
    for (std::size_t n = 0; n < kMainDialogControls.size(); ++n)
    {
        m_controls[n] = NewControl(kMainDialogControls[n], units);
        if (!(m_controls[n]->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            setTabOrder(previous, m_controls[n]);
        previous = m_controls[n];
    }

    auto* parameters = Control<QListWidget>(EMainControl::Parameters);
    connect(parameters, &QListWidget::itemDoubleClicked, this,
            [this, parameters] { m_pModel->ChangeParameter(parameters->currentRow()); });
    connect(Control<QPushButton>(EMainControl::Browse), &QPushButton::clicked, this,
            [this] { m_pModel->OpenBundleOrImage(); });
    auto* product = Control<QComboBox>(EMainControl::Product);
    connect(product, &QComboBox::activated, this,
            [this, product] { m_pModel->SelectProduct(product->currentIndex()); });
    connect(Control<QPushButton>(EMainControl::Store), &QPushButton::clicked, this,
            [this] { m_pModel->StoreImage(); });
    connect(Control<QPushButton>(EMainControl::Update), &QPushButton::clicked, this,
            [this] { m_pModel->OnUpdate(); });
    // "Close" is the dialog's OK: it ends the dialog like every other way of closing.
    connect(Control<QPushButton>(EMainControl::Close), &QPushButton::clicked, this, &QDialog::accept);

    setAcceptDrops(true);
    // Keys reach the window's rules before the control that has the focus.
    for (QWidget* control : m_controls)
        control->installEventFilter(this);

    // One action per command for the window's life, so a checkable one keeps its tick
    // between two showings of the menu; each forwards its command to the model.
    for (const CMenuEntry& entry : m_pModel->ContextMenu())
    {
        if (!entry.m_command)
            continue;
        const EMenuCommand command = *entry.m_command;
        auto* action = new QAction(Text(entry.m_pText), this);
        action->setObjectName(QString::fromLatin1(entry.m_pName));
        action->setCheckable(entry.m_bCheckable);
        action->setChecked(entry.m_bChecked);
        connect(action, &QAction::triggered, this,
                [this, command] { m_pModel->OnMenuCommand(command, SelectedParameterRow()); });
        m_menuActions[std::size_t(command)] = action;
    }
}

QWidget* CMainWindow::NewControl(const CControlDescription& description, const CBaseUnits& units)
{
    const QString text = Text(description.m_pText);
    CDialogRect rect = description.m_rect;
    QWidget* widget = nullptr;
    switch (description.m_eKind)
    {
    case EControlKind::Label:
        widget = new QLabel(text, this);
        break;
    case EControlKind::Edit:
    {
        auto* edit = new QLineEdit(text, this);
        edit->setReadOnly(description.m_bReadOnly);
        widget = edit;
        break;
    }
    case EControlKind::Button:
    {
        auto* button = new QPushButton(text, this);
        // Enter is the window's rule (HandleKey), not the dialog's.
        button->setAutoDefault(false);
        button->setDefault(description.m_bDefault);
        widget = button;
        break;
    }
    case EControlKind::DropDownList:
        widget = new QComboBox(this);
        rect.m_nHeight = kClosedComboHeight;
        break;
    case EControlKind::ProgressBar:
    {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        if (m_pBarStyle)
            bar->setStyle(m_pBarStyle.get());
        widget = bar;
        break;
    }
    case EControlKind::GroupBox:
        widget = new QGroupBox(text, this);
        break;
    case EControlKind::ListBox:
    {
        auto* list = new QListWidget(this);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        widget = list;
        break;
    }
    }
    widget->setObjectName(QString::fromLatin1(description.m_pName));
    widget->setGeometry(DialogUnitsToPixels(units, rect.m_nX, rect.m_nY, rect.m_nWidth, rect.m_nHeight));
    return widget;
}

QWidget* CMainWindow::ControlOf(EMainControl control) const
{
    for (std::size_t n = 0; n < kMainDialogControls.size(); ++n)
        if (kMainDialogControls[n].m_control == control)
            return m_controls[n];
    return nullptr;
}

std::optional<EMainControl> CMainWindow::FocusedControl() const
{
    const QWidget* focus = focusWidget();
    for (std::size_t n = 0; n < kMainDialogControls.size(); ++n)
        if (focus && (m_controls[n] == focus || m_controls[n]->isAncestorOf(focus)))
            return kMainDialogControls[n].m_control;
    return std::nullopt;
}

int CMainWindow::SelectedParameterRow() const
{
    const auto* parameters = Control<QListWidget>(EMainControl::Parameters);
    return parameters->selectedItems().isEmpty() ? -1 : parameters->currentRow();
}

bool CMainWindow::HandleKey(QKeyEvent* event)
{
    const std::optional<EWindowKey> key = WindowKeyOf(event);
    if (!key || event->isAutoRepeat())
        return false;
    const auto* product = Control<QComboBox>(EMainControl::Product);
    switch (MainDialogKeyAction(*key, FocusedControl(), product->view()->isVisible()))
    {
    case EKeyAction::None:
        return false;
    case EKeyAction::PressFocused:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->animateClick();
        return true;
    case EKeyAction::PressDefault:
        Control<QPushButton>(EMainControl::Close)->animateClick();
        return true;
    case EKeyAction::ChangeParameter:
        m_pModel->ChangeParameter(SelectedParameterRow());
        return true;
    case EKeyAction::ShowAbout:
        m_pModel->ShowAbout();
        return true;
    }
    return false;
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void CMainWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape and the rest as a dialog takes them.
    if (!HandleKey(event))
        QDialog::keyPressEvent(event);
}

void CMainWindow::SetTitle(const std::string& text)
{
    setWindowTitle(QString::fromStdString(text));
}

void CMainWindow::SetText(EMainControl control, const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(ControlOf(control)))
        edit->setText(shown);
    else if (auto* label = qobject_cast<QLabel*>(ControlOf(control)))
        label->setText(shown);
    if (control == EMainControl::Status)
    {
        // The field is narrow; its tooltip shows a long text whole.
        ControlOf(control)->setToolTip(shown);
        emit StatusShown(shown);
    }
}

void CMainWindow::SetDeviceHint(const std::string& text)
{
    ControlOf(EMainControl::Device)->setToolTip(QString::fromStdString(text));
}

void CMainWindow::EnableControl(EMainControl control, bool enabled)
{
    if (QWidget* widget = ControlOf(control))
        widget->setEnabled(enabled);
}

void CMainWindow::FillList(EMainControl control, const std::vector<std::string>& lines)
{
    if (auto* product = Control<QComboBox>(control))
    {
        product->clear();
        for (const std::string& line : lines)
            product->addItem(QString::fromStdString(line));
        // A drop-down list shows no product until the user picks one.
        product->setCurrentIndex(-1);
        return;
    }
    auto* parameters = Control<QListWidget>(control);
    if (!parameters)
        return;
    // The user keeps their place in the list across a change.
    const int row = parameters->currentRow();
    const int scroll = parameters->verticalScrollBar()->value();
    parameters->clear();
    for (const std::string& line : lines)
        parameters->addItem(QString::fromStdString(line));
    if (row >= 0 && row < parameters->count())
        parameters->setCurrentRow(row);
    parameters->verticalScrollBar()->setValue(scroll);
}

void CMainWindow::SelectEntry(EMainControl control, int index)
{
    if (auto* list = Control<QComboBox>(control))
        list->setCurrentIndex(index);
}

void CMainWindow::SetProgressRange(int minimum, int maximum)
{
    Control<QProgressBar>(EMainControl::Progress)->setRange(minimum, maximum);
}

void CMainWindow::SetProgressPos(int position)
{
    Control<QProgressBar>(EMainControl::Progress)->setValue(position);
}

void CMainWindow::SetProgressColor(uint32_t color)
{
    QWidget* bar = ControlOf(EMainControl::Progress);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, BarColorToQColor(color));
    bar->setPalette(palette);
}

void CMainWindow::StartTimer(int periodMs)
{
    m_timer.start(periodMs);
}

void CMainWindow::StopTimer()
{
    m_timer.stop();
}

std::optional<std::filesystem::path> CMainWindow::ChooseOpenFile(const CFileDialog& dialog)
{
    const QString path = m_chooseOpen(this, dialog);
    if (path.isEmpty())
        return std::nullopt;
    return ToPath(path);
}

std::optional<std::filesystem::path> CMainWindow::ChooseSaveFile(const CFileDialog& dialog)
{
    const QString path = m_chooseSave(this, dialog);
    if (path.isEmpty())
        return std::nullopt;
    return ToPath(path);
}

void CMainWindow::ShowMessage(const std::string& text, EMessageIcon icon)
{
    ShowMessageBox(this, QString::fromStdString(text), icon);
}

bool CMainWindow::AskYesNo(const std::string& text)
{
    return AskYesNoBox(this, QString::fromStdString(text));
}

void CMainWindow::OpenNotice(const std::string& text, EMessageIcon icon)
{
    // Window-modal and not waited for: the window goes on serving the status line and
    // the bar while the worker waits for the user.
    QMessageBox* box = NewMessageBox(this, QString::fromStdString(text), icon);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this] { m_pModel->OnNoticeClosed(); });
    m_pNotice = box;
    box->open();
}

bool CMainWindow::RunValueEntry(CValueEntry& entry)
{
    CValueEntryDlg dialog(entry, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    entry = dialog.Entry();
    return true;
}

CIrDialogOutcome CMainWindow::RunCodeSelection()
{
    return RunCodeSelectionDialog(this);
}

void CMainWindow::PostToUiThread(std::function<void()> job)
{
    // Delivered only while the window lives.
    QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

void CMainWindow::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    for (const CMenuEntry& entry : m_pModel->ContextMenu(SelectedParameterRow()))
    {
        if (!entry.m_command)
        {
            menu.addSeparator();
            continue;
        }
        QAction* action = m_menuActions[std::size_t(*entry.m_command)];
        action->setText(Text(entry.m_pText));
        action->setCheckable(entry.m_bCheckable);
        action->setChecked(entry.m_bChecked);
        action->setEnabled(entry.m_bEnabled);
        menu.addAction(action);
    }
    menu.exec(event->globalPos());
}

bool CMainWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    if (IsAboutSystemCommand(eventType, message))
    {
        m_pModel->ShowAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (DroppedFileToOpen(DraggedFiles(event->mimeData())))
        event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event)
{
    const std::vector<std::filesystem::path> files = DraggedFiles(event->mimeData());
    if (!DroppedFileToOpen(files))
        return;
    event->acceptProposedAction();
    m_pModel->OnDrop(files);
}

void CMainWindow::done(int result)
{
    // Every way of closing asks first while an update runs, then asks the worker to
    // stop; the worker is joined when the window is destroyed.
    if (!m_pModel->CanClose())
        return;
    m_pModel->OnClose();
    QDialog::done(result);
}

} // namespace corvalin
