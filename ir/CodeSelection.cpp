#include "ir/CodeSelection.h"

#include "ir/IrProtocol.h"
#include "ir/KeyBitmap.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ostream>

namespace corvalin
{

const std::array<const char*, kFunctionKeyCount> kFunctionNames = {"Vol -",
                                                                   "2",
                                                                   "Vol +",
                                                                   "4",
                                                                   "Source",
                                                                   "6",
                                                                   "7",
                                                                   "8",
                                                                   "9",
                                                                   "Mute",
                                                                   "Track Down",
                                                                   "Track Up",
                                                                   "Phone Pick Up",
                                                                   "Phone Hang Up"};

const std::array<const char*, kFunctionKeyCount> kFunctionDefaultNames = {
    "Vol-",  nullptr, "Vol+", nullptr, "Source", nullptr, nullptr,
    nullptr, nullptr, "Mute", "\xAA",  "\xBA",   nullptr, nullptr};

const std::array<bool, kFunctionKeyCount> kFunctionKeyShown = {true,  false, true, false, true, false, false,
                                                               false, false, true, true,  true, true,  true};

const std::array<int, 16> kCodeSelectionTabOrder = {
    1000, 1001, kFirstSourceKeyId, 1022, 1014, 1015, 1004, 1013, 1002, 1012, 1011, 1006, 1016, 1020,
    1018, 1017};

namespace
{

std::string Format(const char* format, const char* a, const char* b = nullptr, uint32_t code = 0)
{
    char buffer[160];
    if (b)
        std::snprintf(buffer, sizeof buffer, format, a, b, unsigned(code));
    else
        std::snprintf(buffer, sizeof buffer, format, a, unsigned(code));
    return buffer;
}

std::string Trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

} // namespace

int FunctionIndexOf(const std::string& name)
{
    for (int k = 0; k < kFunctionKeyCount; ++k)
    {
        if (name == kFunctionNames[std::size_t(k)])
            return k;
    }
    return -1;
}

CCodeSelection::CCodeSelection(ICodeSelectionView* view, std::ostream* trace) : m_pView(view), m_pTrace(trace)
{
}

// The source key windows are children of the dialog and go with it; the view is not
// called here because the dialog that implements it is already being destroyed.
CCodeSelection::~CCodeSelection() = default;

void CCodeSelection::OnSourceTextChanged(const std::string& text)
{
    m_strSourceText = text;
    LoadSourceFile();
}

void CCodeSelection::LoadSourceFile()
{
    std::string path = Trim(m_strSourceText);
    if (path.empty())
        return;
    SetCodeText("");
    SetFunctionText("");

    auto reader = std::make_unique<CcfReader>(m_pTrace);
    if (!reader->Load(platform::PathFromUtf8(path)))
    {
        if (m_pView)
            m_pView->ShowMessage("CAN NOT OPEN", ICodeSelectionView::EMessageKind::Error);
        return;
    }
    RemoveSourceKeys();
    m_pReader = std::move(reader);
    m_pReader->Walk();

    const std::vector<CIrKeyRecord>& records = m_pReader->Keys();
    if (records.empty())
    {
        if (m_pView)
            m_pView->ShowMessage("No IR code!", ICodeSelectionView::EMessageKind::Warning);
        return;
    }
    const std::size_t offered = std::min(records.size(), kMaxSourceKeys);
    m_sourceKeys.reserve(offered);
    for (std::size_t n = 0; n < records.size(); ++n)
    {
        const CIrKeyRecord& record = records[n];
        if (n < offered)
            AddSourceKey(record);
        // Every key of the file still counts for the default names.
        for (int k = 0; k < kFunctionKeyCount; ++k)
        {
            const char* defaultName = kFunctionDefaultNames[std::size_t(k)];
            if (defaultName && record.label == defaultName)
                AssignCode(k, record.protocol, record.code);
        }
    }
    if (offered < records.size() && m_pTrace)
        *m_pTrace << "Keys not offered: " << records.size() - offered << " (only the first " << kMaxSourceKeys
                  << " can be picked)\n";
}

void CCodeSelection::AddSourceKey(const CIrKeyRecord& record)
{
    CSourceKeyState& key = m_sourceKeys.emplace_back();
    key.m_nId = kFirstSourceKeyId + int(m_sourceKeys.size() - 1);
    key.m_nLeft = record.x + kSourceKeyOffsetX;
    key.m_nTop = record.y + kSourceKeyOffsetY;
    key.m_nRight = key.m_nLeft + std::min<int>(record.width, kMaxKeySide);
    key.m_nBottom = key.m_nTop + std::min<int>(record.height, kMaxKeySide);
    key.m_pRecord = &record;
    key.m_eProtocol = record.protocol;
    key.m_nCode = record.code;
    if (m_pView)
        m_pView->AddSourceKey(key, record);
}

void CCodeSelection::OnSourceKey(int id)
{
    if (id < kFirstSourceKeyId || id > kLastPickableSourceKeyId)
        return;
    std::size_t index = std::size_t(id - kFirstSourceKeyId);
    if (index >= m_sourceKeys.size())
        return;
    CSourceKeyState& key = m_sourceKeys[index];
    m_eSelProtocol = key.m_eProtocol;
    m_nSelCode = key.m_nCode;
    key.m_bToggled = !key.m_bToggled;
    if (key.m_bToggled)
    {
        SetCodeText(Format(" (%s)  0x%X", IrProtocolName(m_eSelProtocol), nullptr, m_nSelCode));
    }
    else
    {
        if (m_pView)
            m_pView->FocusCodeText();
        SetCodeText("");
    }
}

void CCodeSelection::OnFunctionKey(int id)
{
    int k = id - kFirstFunctionKeyId;
    if (k < 0 || k >= kFunctionKeyCount)
        return;
    if (HasPendingSelection())
        AssignCode(k, m_eSelProtocol, m_nSelCode);
    const CFunctionKeyState& key = m_functionKeys[std::size_t(k)];
    const char* name = kFunctionNames[std::size_t(k)];
    if (key.m_eProtocol != EIrProtocol::Empty)
        SetFunctionText(Format("%s: (%s)  0x%X", name, IrProtocolName(key.m_eProtocol), key.m_nCode));
    else
        SetFunctionText(Format("%s: (%s)", name, IrProtocolName(EIrProtocol::Empty)));
    SetCodeText("");
}

void CCodeSelection::OnErase()
{
    m_eSelProtocol = EIrProtocol::Empty;
    m_nSelCode = 0;
    SetCodeText(Format(" (%s) ", IrProtocolName(EIrProtocol::Empty)));
}

void CCodeSelection::OnClearAll()
{
    for (int k = 0; k < kFunctionKeyCount; ++k)
        AssignCode(k, EIrProtocol::Empty, 0);
    SetFunctionText("");
}

void CCodeSelection::OnDefault()
{
    OnClearAll();
    LoadSourceFile();
}

int CCodeSelection::OnOkButton()
{
    m_codes.clear();
    for (const CFunctionKeyState& key : m_functionKeys)
        m_codes.push_back(key.m_nCode);
    return kDialogOk;
}

void CCodeSelection::ClearToggled(int id)
{
    std::size_t index = std::size_t(id - kFirstSourceKeyId);
    if (id >= kFirstSourceKeyId && index < m_sourceKeys.size())
        m_sourceKeys[index].m_bToggled = false;
}

std::string SourceKeyName(const CIrKeyRecord& record, int id)
{
    const std::string label = Trim(record.label);
    return label.empty() ? "IR key " + std::to_string(id - kFirstSourceKeyId + 1) : label;
}

bool IsCcfDrop(const std::vector<std::string>& paths)
{
    if (paths.size() != 1 || paths.front().size() <= 4)
        return false;
    std::string extension = paths.front().substr(paths.front().size() - 4);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".ccf";
}

std::vector<int> CCodeSelection::SourceKeysInReadingOrder() const
{
    std::vector<const CSourceKeyState*> keys;
    for (const CSourceKeyState& key : m_sourceKeys)
        keys.push_back(&key);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const CSourceKeyState* a, const CSourceKeyState* b)
                     { return a->m_nTop != b->m_nTop ? a->m_nTop < b->m_nTop : a->m_nLeft < b->m_nLeft; });
    std::vector<int> ids;
    for (const CSourceKeyState* key : keys)
        ids.push_back(key->m_nId);
    return ids;
}

int CCodeSelection::NeighbourSourceKey(int id, bool bForward) const
{
    const std::vector<int> order = SourceKeysInReadingOrder();
    const auto at = std::find(order.begin(), order.end(), id);
    if (at == order.end())
        return 0;
    const std::size_t n = std::size_t(at - order.begin());
    return order[bForward ? (n + 1) % order.size() : (n + order.size() - 1) % order.size()];
}

const CSourceKeyState* CCodeSelection::FindSourceKey(int id) const
{
    std::size_t index = std::size_t(id - kFirstSourceKeyId);
    if (id < kFirstSourceKeyId || index >= m_sourceKeys.size())
        return nullptr;
    return &m_sourceKeys[index];
}

void CCodeSelection::SetCodeText(const std::string& text)
{
    m_strCodeText = text;
    if (m_pView)
        m_pView->SetCodeText(text);
}

void CCodeSelection::SetFunctionText(const std::string& text)
{
    m_strFunctionText = text;
    if (m_pView)
        m_pView->SetFunctionText(text);
}

void CCodeSelection::AssignCode(int k, EIrProtocol protocol, uint32_t code)
{
    m_functionKeys[std::size_t(k)] = {protocol, code};
    if (m_pView)
        m_pView->FunctionKeyChanged(k);
}

void CCodeSelection::RemoveSourceKeys()
{
    if (m_pView && !m_sourceKeys.empty())
        m_pView->RemoveSourceKeys();
    m_sourceKeys.clear();
}

} // namespace corvalin
