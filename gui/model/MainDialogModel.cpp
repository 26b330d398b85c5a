#include "gui/model/MainDialogModel.h"

#include "BuildVersion.h"
#include "device/CompletionSound.h"
#include "device/StatusTexts.h"
#include "image/DisplayText.h"
#include "params/DisplayList.h"
#include "params/IrCodeHandOff.h"
#include "params/ParameterEdit.h"
#include "params/SettingsDocument.h"
#include "platform/DeviceHints.h"
#include "platform/FileIo.h"
#include "platform/SerialPortMap.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace corvalin
{

namespace
{

constexpr const char* kSettingsStored = "Settings stored";
constexpr const char* kSettingsLoaded = "Settings loaded";
constexpr const char* kRecordKeptIn = "Update record: ";
constexpr const char* kRecordNotWritten = " (the update record could not be written)";

} // namespace

std::string MainWindowTitle(const char* buildDate)
{
    return std::string(kMainDialogCaption) + "    " + buildDate;
}

CMainDialogModel::CMainDialogModel(IMainDialogView& view, const CWindowTiming& timing,
                                   const CLinkTiming& linkTiming)
    : m_view(view), m_timing(timing), m_uiThread(std::this_thread::get_id()), m_updater(linkTiming)
{
}

CMainDialogModel::~CMainDialogModel()
{
    // A stop request ends the probe's reads and every wait of the worker; the
    // updater's destructor then joins the worker.
    m_updater.RequestStop();
    JoinProbe();
    // An update cut short by closing the window is recorded as stopped, as the
    // command line records an interrupted one. The stop ends it within moments.
    if (m_pendingRecord)
    {
        m_updater.WaitForOutcome(std::chrono::minutes(1));
        // The view may be going too: nothing is shown.
        RecordEndedUpdate(false);
    }
}

void CMainDialogModel::OnInitDialog()
{
    m_updater.StartThread();
    m_updater.AttachControls(this, this, this);
    m_bConnected = 0;
    m_nPresenceTicks = 0;
    m_nNoBridgeTicks = 0;
    m_bImageLoaded = 0;
    m_view.StartTimer(m_timing.m_nPresencePollMs);
    RefreshUpdateButton();
    m_view.EnableControl(EMainControl::Product, false);
    m_products.clear();
    m_view.FillList(EMainControl::Product, {});
    BuildParameterTable(m_table);
    m_view.SetTitle(MainWindowTitle(__DATE__));
}

void CMainDialogModel::Post(std::function<void()> job)
{
    if (std::this_thread::get_id() == m_uiThread)
    {
        m_pPosted->RunAll();
        job();
        return;
    }
    m_pPosted->Push(std::move(job));
    // A job already run by an earlier RunAll leaves nothing to do; the model is only
    // destroyed on the window's thread, so it lives while a locked queue runs.
    m_view.PostToUiThread(
        [posted = std::weak_ptr<CJobQueue>(m_pPosted)]
        {
            if (const std::shared_ptr<CJobQueue> jobs = posted.lock())
                jobs->RunAll();
        });
}

void CMainDialogModel::SetText(const std::string& text)
{
    Post([this, text] { m_view.SetText(EMainControl::Status, text); });
}

void CMainDialogModel::SetRange(int minimum, int maximum)
{
    Post(
        [this, minimum, maximum]
        {
            m_nProgressMin = minimum;
            m_nProgressMax = std::max(minimum, maximum);
            m_view.SetProgressRange(m_nProgressMin, m_nProgressMax);
        });
}

void CMainDialogModel::SetPos(int position)
{
    // The worker's positions above the maximum mean a full bar; a bar would ignore them.
    Post([this, position] { m_view.SetProgressPos(std::clamp(position, m_nProgressMin, m_nProgressMax)); });
}

void CMainDialogModel::SetBarColor(uint32_t color)
{
    Post([this, color] { m_view.SetProgressColor(color); });
}

void CMainDialogModel::ShowMessage(const std::string& text)
{
    // Not waited for: the window's thread goes on serving the status line and the bar
    // while the worker waits for the user.
    Post(
        [this, text]
        {
            m_notices.push_back(text);
            if (m_notices.size() == 1)
                m_view.OpenNotice(text, EMessageIcon::Error);
        });
}

void CMainDialogModel::PlayCompletionSound(const std::atomic<bool>& stop)
{
    PlayCompletionChime(stop);
}

void CMainDialogModel::OnNoticeClosed()
{
    if (!m_notices.empty())
        m_notices.pop_front();
    m_updater.DismissMessage();
    if (!m_notices.empty())
        m_view.OpenNotice(m_notices.front(), EMessageIcon::Error);
}

std::vector<CMenuEntry> CMainDialogModel::ContextMenu(int selectedRow) const
{
    return MainContextMenu(IsFastTransfer(), IsKeepingUpdateRecord(),
                           selectedRow >= 0 && selectedRow < int(m_slots.size()));
}

void CMainDialogModel::ShowAbout()
{
    if (m_bAboutShowing)
        return;
    m_bAboutShowing = true;
    m_view.ShowAbout();
    m_bAboutShowing = false;
}

void CMainDialogModel::OnMenuCommand(EMenuCommand command, int selectedRow)
{
    switch (command)
    {
    case EMenuCommand::ChangeParameter:
        ChangeParameter(selectedRow);
        break;
    case EMenuCommand::About:
        ShowAbout();
        break;
    case EMenuCommand::FastTransfer:
        // Held until the window closes and handed to the worker as it is.
        SetFastTransfer(!IsFastTransfer());
        break;
    case EMenuCommand::SaveSettings:
        SaveSettings();
        break;
    case EMenuCommand::LoadSettings:
        LoadSettings();
        break;
    case EMenuCommand::KeepUpdateRecord:
        KeepUpdateRecord();
        break;
    }
}

void CMainDialogModel::RefreshUpdateButton()
{
    m_view.EnableControl(EMainControl::Update, m_bConnected == 1 && m_bImageLoaded == 1);
}

bool CMainDialogModel::RefuseDuringUpdate()
{
    if (!m_updater.IsUpdating())
        return false;
    m_updater.SetStatus(StatusText(EStatusText::WaitForUpdate));
    return true;
}

void CMainDialogModel::OnTimer()
{
    RecordEndedUpdate();
    const bool present = platform::LookupSerialPort(platform::kFirstBridgeDevice).has_value();
    if (present)
    {
        m_nNoBridgeTicks = 0;
        // What kept the bridge away no longer does; the probe says what it finds.
        if (m_bConnected == 0)
            ShowDeviceHint({});
        if (m_bConnected == 0 && !m_bProbing)
        {
            if (m_nPresenceTicks < m_timing.m_nPresenceCountTicks)
                ++m_nPresenceTicks;
            else
                StartProbe();
        }
        RefreshUpdateButton();
        return;
    }
    if (m_bConnected == 1)
        SetPos(0);
    m_bConnected = 0;
    m_nPresenceTicks = 0;
    ++m_nProbeGeneration;
    m_view.SetText(EMainControl::Device, StatusText(EStatusText::NotConnected));
    if (m_nNoBridgeTicks++ % std::max(1, m_timing.m_nDeviceHintTicks) == 0)
        ShowDeviceHint(platform::NoBridgeHint(m_sysfsRoot));
    RefreshUpdateButton();
}

void CMainDialogModel::ShowDeviceHint(const std::string& hint)
{
    if (hint == m_strDeviceHint)
        return;
    m_strDeviceHint = hint;
    m_view.SetDeviceHint(hint);
}

void CMainDialogModel::StartProbe()
{
    m_bProbing = true;
    const int generation = m_nProbeGeneration;
    m_probe.Start(platform::kFirstBridgeDevice,
                  [this, generation](int entries)
                  {
                      const std::string entry = entries > 0 ? m_updater.GetPortEntry(0) : std::string();
                      // The destructor joins the probe before the model goes.
                      Post([this, generation, entries, entry] { OnProbeDone(generation, entries, entry); });
                  });
}

void CMainDialogModel::OnProbeDone(int generation, int entries, const std::string& entry)
{
    m_bProbing = false;
    JoinProbe();
    if (generation != m_nProbeGeneration)
        return;
    // Connected once probed, whatever the probe found; a failed probe is not repeated
    // until the bridge is pulled out and plugged in again.
    m_bConnected = 1;
    // The box name is bytes from the box, in no known encoding: each shows as one character.
    m_view.SetText(EMainControl::Device, entries > 0
                                             ? Latin1ToUtf8Text(entry)
                                             : std::string(StatusText(EStatusText::CannotCommunicate)));
    // The probe has let go of the port, and the worker uses it only during an update,
    // so its last opening failure can be read here.
    ShowDeviceHint(entries > 0 || m_updater.IsUpdating()
                       ? std::string()
                       : platform::PortAccessHint(m_updater.LastPortError(), m_updater.LastPortErrorText()));
    SetPos(0);
    RefreshUpdateButton();
}

void CMainDialogModel::JoinProbe()
{
    m_probe.Join();
}

void CMainDialogModel::RebuildParameterList()
{
    const CDisplayList list = BuildDisplayList(m_table, m_updater.Header());
    m_view.FillList(EMainControl::Parameters, list.m_lines);
    m_slots = list.m_slots;
}

CFileDialog CMainDialogModel::FileDialog(EFileKind kind) const
{
    return FileDialogFor(kind, m_folders.FolderFor(kind));
}

void CMainDialogModel::RememberFolder(EFileKind kind, const std::filesystem::path& file)
{
    m_folders.Remember(kind, file);
}

void CMainDialogModel::OpenBundleOrImage()
{
    // The image being sent stays as it is until the update ends.
    if (RefuseDuringUpdate())
        return;
    const std::optional<std::filesystem::path> path =
        m_view.ChooseOpenFile(FileDialog(EFileKind::BundleOrImage));
    if (!path)
    {
        m_bImageLoaded = 0;
        RefreshUpdateButton();
        return;
    }
    OpenChosenFile(*path);
}

void CMainDialogModel::OpenFile(const std::filesystem::path& path)
{
    if (RefuseDuringUpdate())
        return;
    OpenChosenFile(path);
}

void CMainDialogModel::OnDrop(const std::vector<std::filesystem::path>& dropped)
{
    if (const std::optional<std::filesystem::path> path = DroppedFileToOpen(dropped))
        OpenFile(*path);
}

void CMainDialogModel::OpenChosenFile(const std::filesystem::path& path)
{
    RememberFolder(EFileKind::BundleOrImage, path);
    m_view.SetText(EMainControl::BundlePath, PathText(path));
    m_sourcePath = path;
    // The opening ends with the code selection when the image then held has IR
    // button parameters.
    const CBundleOpenOutcome outcome = OpenBundleOrImageFile(
        m_updater, path, m_bImageLoaded,
        [this]
        {
            if (m_updater.IsImageHeld())
                RunIrCodeHandOff(m_updater.Header(), [this] { return m_view.RunCodeSelection(); });
        });
    // Products are taken from the bundle opened here, whatever the path box shows later.
    m_bundlePath = outcome.m_bIsBundle ? path : std::filesystem::path();
    m_products = outcome.m_products;
    std::vector<std::string> names;
    for (const CBundleProduct& product : m_products)
        names.push_back(MemberNameText(product.m_strName));
    m_view.FillList(EMainControl::Product, names);
    m_nProductIndex = -1;
    m_view.EnableControl(EMainControl::Product, outcome.m_bProductListEnabled);
    m_bImageLoaded = outcome.m_bImageLoaded;
    RefreshUpdateButton();
    RebuildParameterList();
}

void CMainDialogModel::SelectProduct(int index)
{
    if (RefuseDuringUpdate())
    {
        m_view.SelectEntry(EMainControl::Product, m_nProductIndex);
        return;
    }
    const bool listed = index >= 0 && index < int(m_products.size());
    m_nProductIndex = listed ? index : -1;
    const CProductSelectOutcome outcome = SelectBundleProduct(
        m_updater, m_bundlePath, listed ? m_products[std::size_t(index)] : CBundleProduct{}, m_bImageLoaded);
    m_bImageLoaded = outcome.m_bImageLoaded;
    // A failed choice clears the flag, so "Update" must follow it too.
    RefreshUpdateButton();
    if (outcome.m_bRefreshWindow)
        RebuildParameterList();
}

void CMainDialogModel::ChangeParameter(int row)
{
    if (row < 0 || row >= int(m_slots.size()))
        return;
    if (RefuseDuringUpdate())
        return;
    const int slot = m_slots[std::size_t(row)];
    ImageHeader& header = m_updater.Header();
    const uint32_t value = GetParamValue(header, slot);
    const EditKind kind = EditKindFor(GetParamId(header, slot));
    switch (kind)
    {
    case EditKind::Toggle:
        SetParamValue(header, slot, ToggledSwitchValue(value));
        break;
    case EditKind::Decimal:
    case EditKind::Hex:
    case EditKind::VolvoModel:
    {
        CValueEntry entry = PrepareValueEntry(kind, value);
        // An update may have begun while the dialog was open.
        if (m_view.RunValueEntry(entry) && !RefuseDuringUpdate())
            SetParamValue(m_updater.Header(), slot, uint32_t(entry.m_nValue));
        break;
    }
    case EditKind::ShortChange:
        m_view.ShowMessage(kShortChangeMessage, EMessageIcon::Information);
        break;
    case EditKind::None:
        break;
    }
    RebuildParameterList();
}

void CMainDialogModel::StoreImage()
{
    if (!m_bImageLoaded)
        return;
    const std::optional<std::filesystem::path> path =
        m_view.ChooseSaveFile(FileDialog(EFileKind::StoredImage));
    if (!path)
        return;
    RememberFolder(EFileKind::StoredImage, *path);
    m_view.SetText(EMainControl::BundlePath, PathText(*path));
    m_updater.StoreImageFile(*path);
    RefreshUpdateButton();
    RebuildParameterList();
}

void CMainDialogModel::SaveSettings()
{
    if (!m_bImageLoaded)
        return;
    const std::optional<std::filesystem::path> path = m_view.ChooseSaveFile(FileDialog(EFileKind::Settings));
    if (!path)
        return;
    RememberFolder(EFileKind::Settings, *path);
    CSettingsSource source;
    source.m_strVersion = kVersion;
    if (!m_bundlePath.empty() && m_nProductIndex >= 0)
        source.m_strProduct = MemberNameText(m_products[std::size_t(m_nProductIndex)].m_strName);
    m_updater.SetStatus(StoreSettingsFile(*path, m_table, m_updater.Header(), source) ? kSettingsStored
                                                                                      : kUnableToWriteFile);
}

void CMainDialogModel::LoadSettings()
{
    if (!m_bImageLoaded || RefuseDuringUpdate())
        return;
    const std::optional<std::filesystem::path> path = m_view.ChooseOpenFile(FileDialog(EFileKind::Settings));
    if (!path)
        return;
    RememberFolder(EFileKind::Settings, *path);
    std::string text;
    const ESettingsFileRead read = ReadSettingsFile(*path, text);
    CSettingsPlan plan;
    std::string error = read == ESettingsFileRead::TooLarge ? "the file is too large for a settings document"
                                                            : "the file cannot be read";
    // Nothing changes unless every entry of the document can be applied.
    if (read != ESettingsFileRead::Ok || !PlanSettings(m_table, m_updater.Header(), text, plan, error))
    {
        m_view.ShowMessage("The settings were not loaded: " + error, EMessageIcon::Error);
        return;
    }
    // Settings made for other hardware may mean something else there, so the user decides.
    if (plan.m_bOtherHardware &&
        !m_view.AskYesNo("These settings are from other hardware: " + SettingsSourceText(plan) +
                         "; this image's is " + HexWord(GetHardwareCode(m_updater.Header())) +
                         ".\nLoad them anyway?"))
        return;
    for (const CSettingsPlan::CChange& change : plan.m_changes)
        SetParamValue(m_updater.Header(), change.m_nSlot, change.m_nValue);
    RebuildParameterList();
    m_updater.SetStatus(kSettingsLoaded);
    if (!plan.m_notInImage.empty())
    {
        std::string names;
        for (const std::string& name : plan.m_notInImage)
            names += "\n" + name;
        m_view.ShowMessage("This image does not carry these settings, which were left out:" + names,
                           EMessageIcon::Warning);
    }
}

void CMainDialogModel::KeepUpdateRecord()
{
    const std::optional<std::filesystem::path> path =
        m_view.ChooseSaveFile(FileDialog(EFileKind::UpdateRecord));
    if (!path)
        return;
    RememberFolder(EFileKind::UpdateRecord, *path);
    // Said now, not after the next update has ended.
    if (!platform::CanAppendTo(*path))
    {
        m_updater.SetStatus(kUnableToWriteFile);
        return;
    }
    m_recordFile = *path;
    m_updater.SetStatus(kRecordKeptIn + PathText(*path));
}

void CMainDialogModel::RecordEndedUpdate(bool sayFailure)
{
    if (!m_pendingRecord)
        return;
    const std::optional<CUpdateOutcome> outcome = m_updater.WaitForOutcome(std::chrono::milliseconds(0));
    if (!outcome)
        return;
    CUpdateTurn turn = TurnOfOutcome(*outcome);
    turn.m_port = m_pendingPort;
    turn.m_tStart = m_tPendingStart;
    const CUpdateRecord record = MakeUpdateRecord(*m_pendingRecord, turn, std::time(nullptr));
    m_pendingRecord.reset();
    std::string line;
    std::error_code error;
    if (!AppendRecord(*m_recordFile, record, line, error) && sayFailure)
        m_updater.SetStatus(turn.m_strStatus + kRecordNotWritten);
}

void CMainDialogModel::OnUpdate()
{
    // The first device found; the worker reports everything else itself.
    if (m_updater.StartUpdate(0) == EStartResult::Started)
    {
        ShowDeviceHint({});
        // The image as sent: StartUpdate has taken its header.
        if (m_recordFile)
        {
            const std::optional<std::string> product =
                !m_bundlePath.empty() && m_nProductIndex >= 0
                    ? std::optional<std::string>(
                          MemberNameText(m_products[std::size_t(m_nProductIndex)].m_strName))
                    : std::nullopt;
            m_pendingRecord = DescribeImage(PathText(m_sourcePath), product, m_updater.Image());
            m_pendingPort = m_updater.GetPortRecord(0);
            m_tPendingStart = std::time(nullptr);
        }
    }
    else if (!m_bProbing)
    {
        // Not started, and neither the worker nor a probe holds the port: an opening
        // that failed for lack of permission or a busy port says so.
        const std::string hint =
            platform::PortAccessHint(m_updater.LastPortError(), m_updater.LastPortErrorText());
        if (!hint.empty())
            ShowDeviceHint(hint);
    }
}

bool CMainDialogModel::CanClose()
{
    if (!m_updater.IsUpdating())
        return true;
    // The worker and the status line go on while the question is open.
    return m_view.AskYesNo(kCloseDuringUpdateQuestion);
}

void CMainDialogModel::OnClose()
{
    // No step of an update runs on after the window; the worker is joined when the
    // model is destroyed.
    m_view.StopTimer();
    m_updater.RequestStop();
}

} // namespace corvalin
