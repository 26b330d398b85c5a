// The code selection logic: loading with default names, picking and assigning codes,
// erasing, clearing, and the texts the dialog shows.

#include "ir/CodeSelection.h"
#include "ir/IrProtocol.h"
#include "ir/KeyBitmap.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

// Records what the logic asks of the window.
class CRecordingView : public ICodeSelectionView
{
  public:
    void ShowMessage(const std::string& text, EMessageKind) override { m_messages.push_back(text); }
    void SetCodeText(const std::string& text) override { m_strCodeText = text; }
    void SetFunctionText(const std::string& text) override { m_strFunctionText = text; }
    void RemoveSourceKeys() override
    {
        // The records must still be alive here: the windows draw them until destroyed.
        for (const CIrKeyRecord* record : m_records)
            m_nLabelBytes += record->label.size() + (record->bitmap ? record->bitmap[0] & 0 : 0);
        m_records.clear();
        m_ids.clear();
        ++m_nRemovals;
    }
    void AddSourceKey(const CSourceKeyState& key, const CIrKeyRecord& record) override
    {
        m_ids.push_back(key.m_nId);
        m_records.push_back(&record);
    }
    void FunctionKeyChanged(int k) override { m_changed.push_back(k); }
    void FocusCodeText() override { ++m_nFocusMoves; }

    std::vector<std::string> m_messages;
    std::string m_strCodeText;
    std::string m_strFunctionText;
    std::vector<int> m_ids;
    std::vector<const CIrKeyRecord*> m_records;
    std::vector<int> m_changed;
    int m_nRemovals = 0;
    int m_nFocusMoves = 0;
    std::size_t m_nLabelBytes = 0;
};

constexpr int kVolMinus = 1002, kVolPlus = 1004, kSource = 1006, kMute = 1011, kTrackDown = 1012,
              kTrackUp = 1013, kPickUp = 1014;

class CodeSelectionTest : public ::testing::Test
{
  protected:
    CodeSelectionTest() : m_logic(&m_view)
    {
        m_path = (m_dir / "remote.ccf").string();
        WriteFileBytes(m_path, BuildTestRemote());

        CCcfBuilder empty;
        CCcfButton inert;
        inert.name = empty.Name("Vol+");
        empty.SetHeaderPanels(empty.Panel("Nothing", {ButtonAt(0, 0, empty.Button(inert))}));
        m_emptyPath = (m_dir / "empty.ccf").string();
        WriteFileBytes(m_emptyPath, empty.Build());
    }

    int IdOfLabel(const std::string& label) const
    {
        for (const CSourceKeyState& key : m_logic.SourceKeys())
        {
            if (key.m_pRecord->label == label)
                return key.m_nId;
        }
        return -1;
    }

    std::vector<uint32_t> Ok()
    {
        EXPECT_EQ(kDialogOk, m_logic.OnOkButton());
        return m_logic.Codes();
    }

    CTempDir m_dir;
    std::string m_path;
    std::string m_emptyPath;
    CRecordingView m_view;
    CCodeSelection m_logic;
};

} // namespace

TEST(CodeSelectionTables, NamesAreByteExact)
{
    EXPECT_STREQ("Vol -", kFunctionNames[0]);
    EXPECT_STREQ("Phone Hang Up", kFunctionNames[13]);
    EXPECT_STREQ("Vol-", kFunctionDefaultNames[0]);
    EXPECT_STREQ("Vol+", kFunctionDefaultNames[2]);
    EXPECT_EQ(std::string(1, '\xAA'), kFunctionDefaultNames[10]);
    EXPECT_EQ(std::string(1, '\xBA'), kFunctionDefaultNames[11]);
    for (int k : {1, 3, 5, 6, 7, 8, 12, 13})
        EXPECT_EQ(nullptr, kFunctionDefaultNames[std::size_t(k)]) << k;
    EXPECT_EQ(9, FunctionIndexOf("Mute"));
    EXPECT_EQ(10, FunctionIndexOf("Track Down"));
    EXPECT_EQ(-1, FunctionIndexOf("Vol-"));
}

TEST_F(CodeSelectionTest, StartsEmptyAndOkGivesFourteenZeros)
{
    EXPECT_FALSE(m_logic.HasPendingSelection());
    EXPECT_TRUE(m_logic.Codes().empty());
    EXPECT_EQ(0u, m_logic.GetIrType());
    EXPECT_EQ(std::vector<uint32_t>(14, 0), Ok());
}

TEST_F(CodeSelectionTest, LoadingAssignsKeysWhoseLabelIsADefaultName)
{
    m_logic.OnSourceTextChanged(m_path);
    EXPECT_TRUE(m_view.m_messages.empty());
    ASSERT_EQ(9u, m_logic.SourceKeys().size());
    EXPECT_EQ((std::vector<int>{2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008}), m_view.m_ids);

    const CSourceKeyState& first = m_logic.SourceKeys()[0];
    EXPECT_EQ(80, first.m_nLeft);
    EXPECT_EQ(150, first.m_nTop);
    EXPECT_EQ(140, first.m_nRight);
    EXPECT_EQ(170, first.m_nBottom);
    EXPECT_EQ(EIrProtocol::Nec, first.m_eProtocol);
    EXPECT_EQ(0x1FEu, first.m_nCode);
    EXPECT_EQ(140, m_logic.SourceKeys()[1].m_nLeft);

    std::vector<uint32_t> codes = Ok();
    ASSERT_EQ(14u, codes.size());
    EXPECT_EQ(0x93u, codes[0]);       // "Vol-"
    EXPECT_EQ(0xFD02FB04u, codes[2]); // "Vol+", not "vol+" nor "Vol +"
    EXPECT_EQ(0u, codes[4]);          // no "Source" in the file
    EXPECT_EQ(0xF50AFB04u, codes[9]); // the later of the two "Mute"
    EXPECT_EQ(0x161u, codes[10]);     // one-byte label AA
    EXPECT_EQ(0x160u, codes[11]);     // one-byte label BA
    for (int k : {1, 3, 5, 6, 7, 8, 12, 13})
        EXPECT_EQ(0u, codes[std::size_t(k)]) << k;
    EXPECT_EQ(EIrProtocol::Sony12, m_logic.FunctionKey(0).m_eProtocol);
    EXPECT_EQ(EIrProtocol::Rc5, m_logic.FunctionKey(10).m_eProtocol);
}

TEST_F(CodeSelectionTest, PickThenAssignShowsTheTexts)
{
    m_logic.OnSourceTextChanged(m_path);
    m_logic.OnClearAll();
    m_logic.OnSourceKey(IdOfLabel("Pick"));
    EXPECT_EQ(" (NEC)  0x1FE", m_view.m_strCodeText);
    EXPECT_TRUE(m_logic.HasPendingSelection());

    m_logic.OnFunctionKey(kMute);
    EXPECT_EQ("Mute: (NEC)  0x1FE", m_view.m_strFunctionText);
    EXPECT_EQ("", m_view.m_strCodeText);
    EXPECT_EQ(0x1FEu, m_logic.FunctionKey(9).m_nCode);

    // One pick assigns one function: the next click only shows what the key holds.
    m_logic.OnFunctionKey(kTrackUp);
    EXPECT_EQ("Track Up: (EMPTY)", m_view.m_strFunctionText);
    EXPECT_EQ(0u, m_logic.FunctionKey(11).m_nCode);
    m_logic.OnFunctionKey(kMute);
    EXPECT_EQ("Mute: (NEC)  0x1FE", m_view.m_strFunctionText);

    std::vector<uint32_t> expected(14, 0);
    expected[9] = 0x1FE;
    EXPECT_EQ(expected, Ok());
}

TEST_F(CodeSelectionTest, EraseClearsTheNextKeyClicked)
{
    m_logic.OnSourceTextChanged(m_path);
    m_logic.OnErase();
    EXPECT_EQ(" (EMPTY) ", m_view.m_strCodeText);
    m_logic.OnFunctionKey(kVolMinus);
    EXPECT_EQ("Vol -: (EMPTY)", m_view.m_strFunctionText);
    EXPECT_EQ("", m_view.m_strCodeText);
    std::vector<uint32_t> codes = Ok();
    EXPECT_EQ(0u, codes[0]);
    EXPECT_EQ(0xFD02FB04u, codes[2]); // the others keep their defaults
}

TEST_F(CodeSelectionTest, ASecondClickOnTheToggledKeyWithdrawsThePick)
{
    m_logic.OnSourceTextChanged(m_path);
    int pick = IdOfLabel("Pick");
    m_logic.OnSourceKey(pick);
    m_logic.OnSourceKey(pick);
    EXPECT_EQ(1, m_view.m_nFocusMoves);
    EXPECT_FALSE(m_logic.HasPendingSelection());
    m_logic.OnFunctionKey(kPickUp);
    EXPECT_EQ("Phone Pick Up: (EMPTY)", m_view.m_strFunctionText);
    EXPECT_EQ(0u, m_logic.FunctionKey(12).m_nCode);

    // Once the key has been drawn without the focus, a click picks again.
    m_logic.OnSourceKey(pick);
    m_logic.ClearToggled(pick);
    m_logic.OnSourceKey(pick);
    EXPECT_EQ(" (NEC)  0x1FE", m_view.m_strCodeText);
    m_logic.OnFunctionKey(kPickUp);
    EXPECT_EQ(0x1FEu, m_logic.FunctionKey(12).m_nCode);
    EXPECT_EQ(EIrProtocol::Nec, m_logic.FunctionKey(12).m_eProtocol);
}

TEST_F(CodeSelectionTest, ClearAllAndDefault)
{
    m_logic.OnSourceTextChanged(m_path);
    m_logic.OnSourceKey(IdOfLabel("Pick"));
    m_logic.OnFunctionKey(kSource);
    m_logic.OnErase();
    m_logic.OnClearAll();
    EXPECT_EQ("", m_view.m_strFunctionText);
    EXPECT_EQ(" (EMPTY) ", m_view.m_strCodeText); // the pending selection stays
    EXPECT_EQ(std::vector<uint32_t>(14, 0), Ok());

    // DEFAULT re-reads the file: new source keys, defaults back, the manual one gone.
    m_logic.OnSourceKey(IdOfLabel("Pick"));
    m_logic.OnFunctionKey(kSource);
    int removals = m_view.m_nRemovals;
    m_logic.OnDefault();
    EXPECT_EQ(removals + 1, m_view.m_nRemovals);
    EXPECT_EQ(9u, m_view.m_ids.size());
    std::vector<uint32_t> codes = Ok();
    EXPECT_EQ(0u, codes[4]);
    EXPECT_EQ(0xFD02FB04u, codes[2]);
}

TEST_F(CodeSelectionTest, DefaultWithAnEmptyBoxOnlyClears)
{
    m_logic.OnSourceTextChanged(m_path);
    m_logic.OnFunctionKey(kVolPlus);
    m_logic.OnSourceTextChanged("  ");
    EXPECT_EQ("Vol +: (NEC)  0xFD02FB04", m_view.m_strFunctionText); // white space is ignored
    EXPECT_EQ(9u, m_logic.SourceKeys().size());

    m_logic.OnSourceTextChanged("");
    m_logic.OnDefault();
    EXPECT_EQ("", m_view.m_strFunctionText);
    EXPECT_EQ(9u, m_logic.SourceKeys().size());
    EXPECT_EQ(std::vector<uint32_t>(14, 0), Ok());
    EXPECT_TRUE(m_view.m_messages.empty());
}

TEST_F(CodeSelectionTest, AFileThatCannotBeOpenedKeepsTheKeysAndAssignments)
{
    m_logic.OnSourceTextChanged(m_path);
    const CcfReader* reader = m_logic.Reader();
    m_logic.OnSourceKey(IdOfLabel("Pick"));
    m_logic.OnFunctionKey(kTrackDown);
    m_logic.OnSourceKey(IdOfLabel("Pick"));

    // Typing a path: every text that names no readable CCF file brings its own box.
    std::string missing = (m_dir / "other.ccf").string();
    for (std::size_t n = 1; n <= missing.size(); ++n)
        m_logic.OnSourceTextChanged(missing.substr(0, n));
    EXPECT_EQ(std::vector<std::string>(missing.size(), "CAN NOT OPEN"), m_view.m_messages);
    EXPECT_EQ("", m_view.m_strCodeText); // the pick is dropped before the load is tried
    EXPECT_EQ(reader, m_logic.Reader());
    EXPECT_EQ(9u, m_view.m_ids.size());
    EXPECT_EQ(0, m_view.m_nRemovals);
    EXPECT_EQ(0x1FEu, m_logic.FunctionKey(10).m_nCode);

    // A file without the signature is refused the same way.
    WriteFileBytes(m_dir / "text.ccf", Bytes(100, 'x'));
    m_logic.OnSourceTextChanged((m_dir / "text.ccf").string());
    EXPECT_EQ("CAN NOT OPEN", m_view.m_messages.back());
    EXPECT_EQ(9u, m_logic.SourceKeys().size());

    // Blanks around a good path are removed.
    m_view.m_messages.clear();
    m_logic.OnSourceTextChanged("  " + m_path + "\t\n");
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_NE(reader, m_logic.Reader());
}

TEST_F(CodeSelectionTest, AFileWithoutCodesRemovesTheKeysButKeepsAssignments)
{
    m_logic.OnSourceTextChanged(m_path);
    m_logic.OnSourceTextChanged(m_emptyPath);
    EXPECT_EQ(std::vector<std::string>{"No IR code!"}, m_view.m_messages);
    EXPECT_TRUE(m_logic.SourceKeys().empty());
    EXPECT_TRUE(m_view.m_ids.empty());
    EXPECT_EQ(1, m_view.m_nRemovals);
    EXPECT_GT(m_view.m_nLabelBytes, 0u);
    EXPECT_EQ(0xFD02FB04u, m_logic.FunctionKey(2).m_nCode);
    m_logic.OnSourceKey(2000); // no key: nothing happens
    EXPECT_FALSE(m_logic.HasPendingSelection());
}

TEST_F(CodeSelectionTest, OnlyTheFirst101KeysAreOfferedAndNoneIsHuge)
{
    CCcfBuilder ccf;
    std::vector<CCcfChild> children;
    std::vector<uint32_t> panels;
    for (int i = 0; i < 103; ++i)
    {
        const std::string label = i == 102 ? "Mute" : "K" + std::to_string(i);
        const uint16_t side = i == 1 ? 4096 : 60;
        children.push_back(ButtonAt(0, 0, ccf.IrButton(label, NecFrame(uint32_t(i)), 0, side, side)));
        if (children.size() == 50 || i == 102)
        {
            panels.push_back(ccf.Panel("P", children));
            children.clear();
        }
    }
    ccf.Chain(panels);
    ccf.SetHeaderPanels(panels.front());
    WriteFileBytes(m_dir / "big.ccf", ccf.Build());
    std::ostringstream trace;
    CCodeSelection logic(&m_view, &trace);
    logic.OnSourceTextChanged((m_dir / "big.ccf").string());
    ASSERT_EQ(101u, logic.SourceKeys().size());
    EXPECT_EQ(2100, m_view.m_ids.back());
    EXPECT_NE(std::string::npos,
              trace.str().find("Keys not offered: 2 (only the first 101 can be picked)\n"));
    // A key not offered still answers to its default name.
    EXPECT_EQ(102u, logic.FunctionKey(9).m_nCode);
    // A 4096-pixel key is drawn at most kMaxKeySide pixels wide and tall.
    const CSourceKeyState& huge = logic.SourceKeys()[1];
    EXPECT_EQ(kMaxKeySide, huge.m_nRight - huge.m_nLeft);
    EXPECT_EQ(kMaxKeySide, huge.m_nBottom - huge.m_nTop);
    EXPECT_EQ(60, logic.SourceKeys()[0].m_nRight - logic.SourceKeys()[0].m_nLeft);

    logic.OnSourceKey(2101);
    EXPECT_FALSE(logic.HasPendingSelection());
    logic.OnSourceKey(1999);
    logic.OnSourceKey(kMute);
    EXPECT_FALSE(logic.HasPendingSelection());
    logic.OnSourceKey(2100);
    EXPECT_EQ(" (NEC)  0x64", m_view.m_strCodeText);
    logic.OnFunctionKey(999);
    logic.OnFunctionKey(1016);
    EXPECT_TRUE(logic.HasPendingSelection()); // ids outside the function keys do nothing
}

TEST_F(CodeSelectionTest, KeyboardWalksTheSourceKeysInReadingOrder)
{
    // Listed out of reading order: the file's second key lies left of its first.
    CCcfBuilder ccf;
    ccf.SetHeaderPanels(ccf.Panel("Main", {ButtonAt(60, 0, ccf.IrButton("B", NecCode(4, 2))),
                                           ButtonAt(0, 0, ccf.IrButton("A", NecCode(4, 1))),
                                           ButtonAt(0, 20, ccf.IrButton(" ", NecCode(4, 3)))}));
    const std::string path = (m_dir / "shuffled.ccf").string();
    WriteFileBytes(path, ccf.Build());
    m_logic.OnSourceTextChanged(path);
    EXPECT_EQ(m_logic.SourceKeysInReadingOrder(), (std::vector<int>{2001, 2000, 2002}));
    EXPECT_EQ(m_logic.NeighbourSourceKey(2001, true), 2000);
    EXPECT_EQ(m_logic.NeighbourSourceKey(2002, true), 2001);
    EXPECT_EQ(m_logic.NeighbourSourceKey(2001, false), 2002);
    EXPECT_EQ(m_logic.NeighbourSourceKey(kMute, true), 0);

    // A key is named by its label, a blank one by its number.
    EXPECT_EQ(SourceKeyName(*m_logic.FindSourceKey(2000)->m_pRecord, 2000), "B");
    EXPECT_EQ(SourceKeyName(*m_logic.FindSourceKey(2002)->m_pRecord, 2002), "IR key 3");

    EXPECT_TRUE(IsCcfDrop({"/remotes/Living Room.CCF"}));
    EXPECT_FALSE(IsCcfDrop({"/remotes/a.ccf", "/remotes/b.ccf"}));
    EXPECT_FALSE(IsCcfDrop({"/remotes/bundle.zip"}));
    EXPECT_FALSE(IsCcfDrop({".ccf"}));
}
