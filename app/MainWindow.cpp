#include "app/MainWindow.h"

#include "app/AboutDlg.h"
#include "app/AppIcon.h"
#include "app/DialogUnits.h"
#include "app/SystemMenu.h"
#include "image/BundleLoader.h"
#include "ir/ui/CodeSelectionHandOff.h"
#include "params/ParameterEdit.h"
#include "params/ui/ValueEntryDlg.h"
#include "platform/SerialPortMap.h"

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
#include <QStringDecoder>
#include <QVariant>

#include <filesystem>

namespace corvalin
{

namespace
{

constexpr const char* kAboutEntry = "&About Corvalin...";
constexpr const char* kFastTransferEntry = "Fast transfer";
constexpr const char* kWaitForUpdate = "Wait for previous update to finish";
constexpr const char* kNotConnected = "Not connected";
constexpr const char* kCannotCommunicate = "Cannot communicate, try to replug the USB";
// A closed drop-down list is as tall as an edit box; the template's height is the
// height of the open list.
constexpr int kClosedComboHeight = 14;

std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}

// A member's name as the product list shows it: UTF-8 when it is valid UTF-8, else
// one character per byte, as archivers that write a code page leave it.
QString ProductText(const std::string& name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(name.data(), qsizetype(name.size())));
    return utf8.hasError() ? QString::fromLatin1(name.data(), qsizetype(name.size())) : text;
}

// A list entry keeps the member it came from as its item data: its index and its
// stored name, byte for byte, never converted to text and back.
QVariant ProductIdentity(const CBundleProduct& product)
{
    QVariantList identity;
    identity << product.m_nIndex
             << QByteArray(product.m_strStoredName.data(), qsizetype(product.m_strStoredName.size()));
    return identity;
}

CBundleProduct ProductOf(const QVariant& identity, const QString& text)
{
    const QVariantList parts = identity.toList();
    CBundleProduct product;
    product.m_strName = text.toStdString();
    if (parts.size() == 2)
    {
        product.m_nIndex = parts[0].toInt();
        const QByteArray stored = parts[1].toByteArray();
        product.m_strStoredName.assign(stored.constData(), std::size_t(stored.size()));
    }
    return product;
}

QString ChooseOpenFile(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent);
}

QString ChooseSaveFile(QWidget* parent)
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

QString MainWindowTitle(const char* buildDate)
{
    return QStringLiteral("QUILTA Corvalin    %1").arg(QString::fromLatin1(buildDate));
}

CMainWindow::CMainWindow(const CWindowTiming& timing, const CLinkTiming& linkTiming, QWidget* parent)
    : QDialog(parent), m_timing(timing), m_chooseOpen(ChooseOpenFile), m_chooseSave(ChooseSaveFile),
      m_pStatus(new QLabel(this)), m_pProgress(new QProgressBar(this)), m_dispatcher(),
      m_statusControl(m_dispatcher, m_pStatus), m_progressControl(m_dispatcher, m_pProgress),
      m_notices(m_dispatcher, this, m_updater), m_updater(linkTiming)
{
    BuildControls();
    OnInitDialog();
}

CMainWindow::~CMainWindow()
{
    m_timer.stop();
    // A stop request ends the probe's reads and every wait of the worker; the
    // updater's destructor then joins the worker.
    m_updater.RequestStop();
    JoinProbe();
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

    connect(m_pParameters, &QListWidget::itemDoubleClicked, this, [this] { ChangeParameter(); });
    connect(m_pBrowse, &QPushButton::clicked, this, [this] { OpenBundleOrImage(); });
    connect(m_pProduct, &QComboBox::activated, this, [this] { SelectProduct(); });
    connect(m_pStore, &QPushButton::clicked, this, [this] { StoreImage(); });
    connect(m_pUpdate, &QPushButton::clicked, this, [this] { OnUpdate(); });
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
    m_pFastTransfer->setChecked(m_updater.IsFastTransfer());
    connect(m_pFastTransfer, &QAction::toggled, this,
            [this](bool checked) { m_updater.SetFastTransfer(checked); });
}

void CMainWindow::OnInitDialog()
{
    AddAboutToSystemMenu(this, QString::fromLatin1(kAboutEntry));
    m_updater.StartThread();
    m_updater.AttachControls(&m_progressControl, &m_statusControl, &m_notices);
    m_bConnected = 0;
    m_nPresenceTicks = 0;
    m_bImageLoaded = 0;
    m_timer.setInterval(m_timing.nPresencePollMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
    m_timer.start();
    RefreshUpdateButton();
    m_pProduct->setEnabled(false);
    m_pProduct->clear();
    BuildParameterTable(m_table);
    setWindowTitle(MainWindowTitle(__DATE__));
}

void CMainWindow::RefreshUpdateButton()
{
    m_pUpdate->setEnabled(m_bConnected == 1 && m_bImageLoaded == 1);
}

bool CMainWindow::RefuseDuringUpdate()
{
    if (!m_updater.IsUpdating())
        return false;
    m_updater.SetStatus(kWaitForUpdate);
    return true;
}

void CMainWindow::OnTimer()
{
    const bool present = platform::LookupSerialPort(platform::kFirstBridgeDevice).has_value();
    if (present)
    {
        if (m_bConnected == 0 && !m_bProbing)
        {
            if (m_nPresenceTicks < m_timing.nPresenceCountTicks)
                ++m_nPresenceTicks;
            else
                StartProbe();
        }
        RefreshUpdateButton();
        return;
    }
    if (m_bConnected == 1)
        m_progressControl.SetPos(0);
    m_bConnected = 0;
    m_nPresenceTicks = 0;
    ++m_nProbeGeneration;
    m_pDevice->setText(QString::fromLatin1(kNotConnected));
    RefreshUpdateButton();
}

void CMainWindow::StartProbe()
{
    JoinProbe();
    m_bProbing = true;
    const int generation = m_nProbeGeneration;
    m_probeThread = std::thread([this, generation] {
        const int entries = m_updater.FindDevice();
        const std::string entry = entries > 0 ? m_updater.GetPortEntry(0) : std::string();
        // Delivered only while the window lives; its destructor joins this thread first.
        QMetaObject::invokeMethod(
            this, [this, generation, entries, entry] { OnProbeDone(generation, entries, entry); },
            Qt::QueuedConnection);
    });
}

void CMainWindow::OnProbeDone(int generation, int entries, const std::string& entry)
{
    m_bProbing = false;
    JoinProbe();
    if (generation != m_nProbeGeneration)
        return;
    // Connected once probed, whatever the probe found; a failed probe is not repeated
    // until the bridge is pulled out and plugged in again.
    m_bConnected = 1;
    // The box name is bytes from the box, in no known encoding: each shows as one character.
    m_pDevice->setText(QString::fromLatin1(entries > 0 ? entry : std::string(kCannotCommunicate)));
    m_progressControl.SetPos(0);
    RefreshUpdateButton();
}

void CMainWindow::JoinProbe()
{
    if (m_probeThread.joinable())
        m_probeThread.join();
}

void CMainWindow::RebuildParameterList()
{
    const CDisplayList list = BuildDisplayList(m_table, m_updater.Header());
    // The user keeps their place in the list across a change.
    const int row = m_pParameters->currentRow();
    const int scroll = m_pParameters->verticalScrollBar()->value();
    m_pParameters->clear();
    for (const std::string& line : list.m_lines)
        m_pParameters->addItem(QString::fromStdString(line));
    m_slots = list.m_slots;
    if (row >= 0 && row < m_pParameters->count())
        m_pParameters->setCurrentRow(row);
    m_pParameters->verticalScrollBar()->setValue(scroll);
}

void CMainWindow::OpenBundleOrImage()
{
    // The image being sent stays as it is until the update ends.
    if (RefuseDuringUpdate())
        return;
    const QString path = m_chooseOpen(this);
    if (path.isEmpty())
    {
        m_bImageLoaded = 0;
        RefreshUpdateButton();
        return;
    }
    m_pBundlePath->setText(path);
    // The opening ends with the code selection when the image then held has IR
    // button parameters.
    const std::filesystem::path opened = ToPath(path);
    const CBundleOpenOutcome outcome = OpenBundleOrImageFile(m_updater, opened, m_bImageLoaded,
                                                             MakeCodeSelectionHandOff(this, m_updater));
    // Products are taken from the bundle opened here, whatever the path box shows later.
    m_bundlePath = outcome.m_bIsBundle ? opened : std::filesystem::path();
    m_pProduct->clear();
    for (const CBundleProduct& product : outcome.m_products)
        m_pProduct->addItem(ProductText(product.m_strName), ProductIdentity(product));
    // A drop-down list shows no product until the user picks one.
    m_pProduct->setCurrentIndex(-1);
    m_nProductIndex = -1;
    m_pProduct->setEnabled(outcome.m_bProductListEnabled);
    m_bImageLoaded = outcome.m_bImageLoaded;
    RefreshUpdateButton();
    RebuildParameterList();
}

void CMainWindow::SelectProduct()
{
    if (RefuseDuringUpdate())
    {
        m_pProduct->setCurrentIndex(m_nProductIndex);
        return;
    }
    m_nProductIndex = m_pProduct->currentIndex();
    const CProductSelectOutcome outcome =
        SelectBundleProduct(m_updater, m_bundlePath,
                            ProductOf(m_pProduct->currentData(), m_pProduct->currentText()), m_bImageLoaded);
    m_bImageLoaded = outcome.m_bImageLoaded;
    // A failed choice clears the flag, so "Update" must follow it too.
    RefreshUpdateButton();
    if (outcome.m_bRefreshWindow)
        RebuildParameterList();
}

void CMainWindow::ChangeParameter()
{
    const int row = m_pParameters->currentRow();
    if (row < 0 || row >= int(m_slots.size()))
        return;
    if (RefuseDuringUpdate())
        return;
    const int slot = m_slots[std::size_t(row)];
    ImageHeader& header = m_updater.Header();
    const uint32_t id = GetParamId(header, slot);
    const uint32_t value = GetParamValue(header, slot);

    const EditKind kind = EditKindFor(id);
    switch (kind)
    {
    case EditKind::Toggle:
        SetParamValue(header, slot, ToggledSwitchValue(value));
        break;
    case EditKind::Decimal:
    case EditKind::Hex:
    case EditKind::VolvoModel:
    {
        CValueEntryDlg dialog(PrepareValueEntry(kind, value), this);
        // An update may have begun while the dialog was open.
        if (dialog.exec() == QDialog::Accepted && !RefuseDuringUpdate())
            SetParamValue(m_updater.Header(), slot, uint32_t(dialog.Entry().m_nValue));
        break;
    }
    case EditKind::ShortChange:
        ShowMessageBox(this, QString::fromLatin1(kShortChangeMessage));
        break;
    case EditKind::None:
        break;
    }
    RebuildParameterList();
}

void CMainWindow::StoreImage()
{
    if (!m_bImageLoaded)
        return;
    const QString path = m_chooseSave(this);
    if (path.isEmpty())
        return;
    m_pBundlePath->setText(path);
    m_updater.StoreImageFile(ToPath(path));
    RefreshUpdateButton();
    RebuildParameterList();
}

void CMainWindow::OnUpdate()
{
    // The first device found; the worker reports everything else itself.
    m_updater.StartUpdate(0);
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
    // Every way of closing asks the worker to stop, so no step of an update runs on
    // after the window; the worker is joined when the window is destroyed.
    m_timer.stop();
    m_updater.RequestStop();
    QDialog::done(result);
}

} // namespace corvalin
