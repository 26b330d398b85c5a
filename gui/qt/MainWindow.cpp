#include "gui/qt/MainWindow.h"

#include "gui/qt/AboutDlg.h"
#include "gui/qt/AppIcon.h"
#include "gui/qt/CodeSelectionHandOff.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/SystemMenu.h"
#include "gui/qt/ValueEntryDlg.h"
#include "gui/qt/WindowNotices.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <filesystem>

namespace corvalin
{

namespace
{

constexpr const char* kAboutEntry = "&About Corvalin...";
constexpr const char* kFastTransferEntry = "Fast transfer";
constexpr const char* kSaveSettingsEntry = "Save settings...";
constexpr const char* kLoadSettingsEntry = "Load settings...";
constexpr const char* kKeepRecordEntry = "Keep an update record...";
// A closed drop-down list is as tall as an edit box; the template's height is the
// height of the open list.
constexpr int kClosedComboHeight = 14;

std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}

QString AskOpenFile(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent);
}

QString AskSaveFile(QWidget* parent)
{
    // An existing file is replaced without a question.
    return QFileDialog::getSaveFileName(parent, QString(), QString(), QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void Place(QWidget* widget, const CBaseUnits& units, int x, int y, int width, int height)
{
    widget->setGeometry(DialogUnitsToPixels(units, x, y, width, height));
}

} // namespace

QColor BarColorToQColor(uint32_t color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

CMainWindow::CMainWindow(const CWindowTiming& timing, const CLinkTiming& linkTiming, QWidget* parent)
    : QDialog(parent), m_chooseOpen(AskOpenFile), m_chooseSave(AskSaveFile), m_pStatus(new QLabel(this)),
      m_pProgress(new QProgressBar(this)), m_pBarStyle(QStyleFactory::create(QStringLiteral("Fusion"))),
      m_pModel(std::make_unique<CMainDialogModel>(static_cast<IMainDialogView&>(*this), timing, linkTiming))
{
    BuildControls();
    AddAboutToSystemMenu(this, QString::fromLatin1(kAboutEntry));
    connect(&m_timer, &QTimer::timeout, this, [this] { m_pModel->OnTimer(); });
    m_pModel->OnInitDialog();
}

CMainWindow::~CMainWindow()
{
    m_timer.stop();
    m_pModel.reset();
    // The bar outlives this object for a moment; it must not keep a dead style.
    if (m_pBarStyle && m_pProgress->style() == m_pBarStyle.get())
        m_pProgress->setStyle(nullptr);
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
    const QFont font = FixedPitchFont(10);
    setFont(font);
    const CBaseUnits units = BaseUnitsOf(font);
    setFixedSize(DialogUnitsToPixels(units, 0, 0, 320, 273).size());

    // In the order of the template, which is also the tab order.
    Place(new QLabel(QStringLiteral("Select bundle"), this), units, 7, 10, 67, 13);

    m_pBundlePath = new QLineEdit(this);
    m_pBundlePath->setObjectName(QStringLiteral("bundlePath"));
    m_pBundlePath->setReadOnly(true);
    Place(m_pBundlePath, units, 109, 10, 166, 14);

    m_pBrowse = new QPushButton(QStringLiteral("..."), this);
    m_pBrowse->setObjectName(QStringLiteral("browse"));
    m_pBrowse->setAutoDefault(false);
    Place(m_pBrowse, units, 286, 10, 15, 14);

    Place(new QLabel(QStringLiteral("Select product"), this), units, 7, 33, 67, 13);

    m_pProduct = new QComboBox(this);
    m_pProduct->setObjectName(QStringLiteral("product"));
    Place(m_pProduct, units, 109, 33, 166, kClosedComboHeight);

    Place(new QLabel(QStringLiteral("USB Device"), this), units, 7, 55, 102, 15);

    m_pDevice = new QLineEdit(this);
    m_pDevice->setObjectName(QStringLiteral("device"));
    Place(m_pDevice, units, 109, 55, 166, 14);

    m_pStore = new QPushButton(QStringLiteral("Wr"), this);
    m_pStore->setObjectName(QStringLiteral("store"));
    m_pStore->setAutoDefault(false);
    Place(m_pStore, units, 286, 55, 15, 14);

    m_pStatus->setObjectName(QStringLiteral("status"));
    m_pStatus->setText(QStringLiteral("Status"));
    Place(m_pStatus, units, 7, 76, 102, 13);

    m_pProgress->setObjectName(QStringLiteral("progress"));
    m_pProgress->setTextVisible(false);
    if (m_pBarStyle)
        m_pProgress->setStyle(m_pBarStyle.get());
    Place(m_pProgress, units, 109, 76, 166, 14);

    m_pGroup = new QGroupBox(QStringLiteral("Doubleclick parameters to change"), this);
    m_pGroup->setObjectName(QStringLiteral("parameterGroup"));
    Place(m_pGroup, units, 7, 99, 303, 138);

    m_pParameters = new QListWidget(this);
    m_pParameters->setObjectName(QStringLiteral("parameters"));
    m_pParameters->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pParameters->setSelectionMode(QAbstractItemView::SingleSelection);
    Place(m_pParameters, units, 13, 113, 288, 120);
    m_pParameters->raise();

    m_pUpdate = new QPushButton(QStringLiteral("Update"), this);
    m_pUpdate->setObjectName(QStringLiteral("update"));
    m_pUpdate->setAutoDefault(false);
    Place(m_pUpdate, units, 7, 252, 50, 14);

    m_pClose = new QPushButton(QStringLiteral("Close"), this);
    m_pClose->setObjectName(QStringLiteral("close"));
    m_pClose->setDefault(true);
    Place(m_pClose, units, 261, 252, 50, 14);

    setTabOrder(m_pBundlePath, m_pBrowse);
    setTabOrder(m_pBrowse, m_pProduct);
    setTabOrder(m_pProduct, m_pDevice);
    setTabOrder(m_pDevice, m_pStore);
    setTabOrder(m_pStore, m_pParameters);
    setTabOrder(m_pParameters, m_pUpdate);
    setTabOrder(m_pUpdate, m_pClose);

    connect(m_pParameters, &QListWidget::itemDoubleClicked, this,
            [this] { m_pModel->ChangeParameter(m_pParameters->currentRow()); });
    connect(m_pBrowse, &QPushButton::clicked, this, [this] { m_pModel->OpenBundleOrImage(); });
    connect(m_pProduct, &QComboBox::activated, this,
            [this] { m_pModel->SelectProduct(m_pProduct->currentIndex()); });
    connect(m_pStore, &QPushButton::clicked, this, [this] { m_pModel->StoreImage(); });
    connect(m_pUpdate, &QPushButton::clicked, this, [this] { m_pModel->OnUpdate(); });
    // "Close" is the dialog's OK: it ends the dialog like every other way of closing.
    connect(m_pClose, &QPushButton::clicked, this, &QDialog::accept);

    // Linux offers no way into the window system's menu, so the About entry lives in
    // the window's context menu and on F1.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { ShowAbout(); });

    // The choice is held while the window is open and handed to the worker as it is.
    m_pFastTransfer = new QAction(QString::fromLatin1(kFastTransferEntry), this);
    m_pFastTransfer->setObjectName(QStringLiteral("fastTransferAction"));
    m_pFastTransfer->setCheckable(true);
    m_pFastTransfer->setChecked(m_pModel->IsFastTransfer());
    connect(m_pFastTransfer, &QAction::toggled, this,
            [this](bool checked) { m_pModel->SetFastTransfer(checked); });
}

QWidget* CMainWindow::ControlOf(EMainControl control) const
{
    switch (control)
    {
    case EMainControl::Close:
        return m_pClose;
    case EMainControl::Update:
        return m_pUpdate;
    case EMainControl::Device:
        return m_pDevice;
    case EMainControl::Progress:
        return m_pProgress;
    case EMainControl::BundlePath:
        return m_pBundlePath;
    case EMainControl::Browse:
        return m_pBrowse;
    case EMainControl::Status:
        return m_pStatus;
    case EMainControl::Group:
        return m_pGroup;
    case EMainControl::Parameters:
        return m_pParameters;
    case EMainControl::Store:
        return m_pStore;
    case EMainControl::Product:
        return m_pProduct;
    }
    return nullptr;
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
        emit StatusShown(shown);
}

void CMainWindow::SetDeviceHint(const std::string& text)
{
    m_pDevice->setToolTip(QString::fromStdString(text));
}

void CMainWindow::EnableControl(EMainControl control, bool enabled)
{
    if (QWidget* widget = ControlOf(control))
        widget->setEnabled(enabled);
}

void CMainWindow::FillList(EMainControl control, const std::vector<std::string>& lines)
{
    if (control == EMainControl::Product)
    {
        m_pProduct->clear();
        for (const std::string& line : lines)
            m_pProduct->addItem(QString::fromStdString(line));
        // A drop-down list shows no product until the user picks one.
        m_pProduct->setCurrentIndex(-1);
        return;
    }
    // The user keeps their place in the list across a change.
    const int row = m_pParameters->currentRow();
    const int scroll = m_pParameters->verticalScrollBar()->value();
    m_pParameters->clear();
    for (const std::string& line : lines)
        m_pParameters->addItem(QString::fromStdString(line));
    if (row >= 0 && row < m_pParameters->count())
        m_pParameters->setCurrentRow(row);
    m_pParameters->verticalScrollBar()->setValue(scroll);
}

void CMainWindow::SelectEntry(EMainControl control, int index)
{
    if (control == EMainControl::Product)
        m_pProduct->setCurrentIndex(index);
}

void CMainWindow::SetProgressRange(int minimum, int maximum)
{
    m_pProgress->setRange(minimum, maximum);
}

void CMainWindow::SetProgressPos(int position)
{
    m_pProgress->setValue(position);
}

void CMainWindow::SetProgressColor(uint32_t color)
{
    QPalette palette = m_pProgress->palette();
    palette.setColor(QPalette::Highlight, BarColorToQColor(color));
    m_pProgress->setPalette(palette);
}

void CMainWindow::StartTimer(int periodMs)
{
    m_timer.start(periodMs);
}

void CMainWindow::StopTimer()
{
    m_timer.stop();
}

std::optional<std::filesystem::path> CMainWindow::ChooseOpenFile()
{
    const QString path = m_chooseOpen(this);
    if (path.isEmpty())
        return std::nullopt;
    return ToPath(path);
}

std::optional<std::filesystem::path> CMainWindow::ChooseSaveFile()
{
    const QString path = m_chooseSave(this);
    if (path.isEmpty())
        return std::nullopt;
    return ToPath(path);
}

void CMainWindow::ShowMessage(const std::string& text)
{
    ShowMessageBox(this, QString::fromStdString(text));
}

void CMainWindow::OpenNotice(const std::string& text)
{
    // Window-modal and not waited for: the window goes on serving the status line and
    // the bar while the worker waits for the user.
    QMessageBox* box = NewMessageBox(this, QString::fromStdString(text));
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
    QAction* about = menu.addAction(QString::fromLatin1(kAboutEntry));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
    menu.addAction(m_pFastTransfer);
    menu.addSeparator();
    QAction* save = menu.addAction(QString::fromLatin1(kSaveSettingsEntry));
    save->setObjectName(QStringLiteral("saveSettingsAction"));
    connect(save, &QAction::triggered, this, [this] { m_pModel->SaveSettings(); });
    QAction* load = menu.addAction(QString::fromLatin1(kLoadSettingsEntry));
    load->setObjectName(QStringLiteral("loadSettingsAction"));
    connect(load, &QAction::triggered, this, [this] { m_pModel->LoadSettings(); });
    QAction* record = menu.addAction(QString::fromLatin1(kKeepRecordEntry));
    record->setObjectName(QStringLiteral("keepRecordAction"));
    // Ticked once a record is kept; choosing it again picks another file.
    record->setCheckable(true);
    record->setChecked(m_pModel->IsKeepingUpdateRecord());
    connect(record, &QAction::triggered, this, [this] { m_pModel->KeepUpdateRecord(); });
    menu.exec(event->globalPos());
}

bool CMainWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    if (IsAboutSystemCommand(eventType, message))
    {
        ShowAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

void CMainWindow::done(int result)
{
    // Every way of closing asks the worker to stop; the worker is joined when the
    // window is destroyed.
    m_pModel->OnClose();
    QDialog::done(result);
}

} // namespace corvalin
