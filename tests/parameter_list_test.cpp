// The parameter table, the text of list lines and the display list walk.

#include "params/DisplayList.h"
#include "params/ParameterEdit.h"
#include "tools/fixtures/ImageBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace corvalin;

namespace
{

CParameterTable Table()
{
    CParameterTable table;
    BuildParameterTable(table);
    return table;
}

std::string Line(const char* label, const char* value)
{
    return PadLabel(label) + " :   " + value;
}

} // namespace

TEST(ParameterTable, HasTheFixedRowsWithUniqueIdentifiersAndPaddedLabels)
{
    CParameterTable table = Table();
    ASSERT_EQ(56u, table.m_ids.size());
    ASSERT_EQ(56u, table.m_labels.size());
    EXPECT_EQ(std::set<uint32_t>(table.m_ids.begin(), table.m_ids.end()).size(), 56u);
    for (const auto& label : table.m_labels)
        EXPECT_EQ(46u, label.size()) << label;

    EXPECT_EQ(0x10010001u, table.m_ids[0]);
    EXPECT_EQ("Video in motion; address input in motion", TrimLabel(table.m_labels[0]));
    EXPECT_EQ(0x5016000Au, table.m_ids[43]);
    EXPECT_EQ("IR.BTN0", TrimLabel(table.m_labels[43]));
    EXPECT_EQ("IR.BTN |<<", TrimLabel(table.m_labels[44]));
    EXPECT_EQ("IR.BTN >>|", TrimLabel(table.m_labels[45]));
    EXPECT_EQ(0x60150003u, table.m_ids[54]);
    EXPECT_EQ("ALPINE MODE", TrimLabel(table.m_labels[55]));
    for (uint32_t id : table.m_ids)
        EXPECT_NE(kTypeShortHex, ParameterType(id));
}

TEST(ParameterTable, IdentifierFields)
{
    EXPECT_EQ(6u, ParameterType(0x601A0001u));
    EXPECT_EQ(0x01Au, ParameterGroup(0x601A0001u));
    EXPECT_EQ(0x012u, ParameterGroup(0x30120005u));
    EXPECT_TRUE(IsIrButtonParameter(0x5016000Eu));
    EXPECT_TRUE(IsIrButtonParameter(0x5016FFFFu));
    EXPECT_FALSE(IsIrButtonParameter(0x60160001u));
    EXPECT_FALSE(IsIrButtonParameter(0x50150001u));
}

struct ValueCase
{
    uint32_t id;
    uint32_t value;
    const char* text;
};

TEST(ParameterLine, ValueTextByType)
{
    const ValueCase cases[] = {
        {0x10030001, 1, "ON"},
        {0x10030001, 7, "ON"},
        {0x10030001, 0, "off"},
        {0x30120001, 5, "005"},
        {0x30120001, 0xFFFFFFFB, "-005"},
        {0x30120001, 1234, "1234"},
        {0x30120001, 0, "000"},
        {0x40120001, 0xAB, "$00AB"},
        {0x40120001, 0x12345, "$12345"},
        {0x50050003, 0x7D0, "$000007D0"},
        {0x601A0001, 0, "C30"},
        {0x601A0001, 11, "XC90"},
        {0x601A0001, 12, "12"},
        {0x601A0001, 0xFFFFFFFF, "-1"},
        {0x60050001, 3, "$00000003"},
        {0x60150003, 0, "$00000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, FormatParameterValue(c.id, c.value)) << std::hex << c.id << " " << c.value;
}

TEST(ParameterLine, RearViewCameraLineIs53Characters)
{
    std::string line = FormatParameterLine(PadLabel("Rear view camera"), 0x10030001, 1);
    EXPECT_EQ("Rear view camera" + std::string(30, ' ') + " :   ON", line);
    EXPECT_EQ(53u, line.size());
}

TEST(DisplayList, ShowsKnownSlotsInSlotOrderAndSkipsTheRest)
{
    CParameterTable table = Table();
    ImageHeader header = fixtures::MakeImageHeader({
        {0x10030001, 1},          // slot 0
        {0x12345678, 9},          // unknown: no line
        {0x50160003, 0xF708FB04}, // IR button: never listed
        {0x30120001, 5},          // slot 3
        {0x10030001, 0},          // the same identifier again: its own line
    });
    CDisplayList list = BuildDisplayList(table, header);
    EXPECT_EQ((std::vector<std::string>{Line("Rear view camera", "ON"), Line("CH0.Volume", "005"),
                                        Line("Rear view camera", "off")}),
              list.m_lines);
    EXPECT_EQ((std::vector<int>{0, 3, 4}), list.m_slots);
}

TEST(DisplayList, WalkRules)
{
    CParameterTable table = Table();
    // Slot 0 holding 0 is handled (and matches nothing); slot 1 still shows.
    EXPECT_EQ((std::vector<int>{1}),
              BuildDisplayList(table, fixtures::MakeImageHeader({{0, 0}, {0x10030001, 1}})).m_slots);

    // The terminator does not stop the walk; a 0 identifier does.
    ImageHeader header = fixtures::MakeImageHeader({{0x10030001, 1}});
    SetParamId(header, 2, 0x30120001);
    SetParamId(header, 3, 0);
    SetParamId(header, 4, 0x30120002);
    EXPECT_EQ((std::vector<int>{0, 2}), BuildDisplayList(table, header).m_slots);

    // Only unknown identifiers: an empty list.
    EXPECT_TRUE(BuildDisplayList(table, fixtures::MakeImageHeader({{0x70000001, 1}, {0x00000002, 2}}))
                    .m_lines.empty());
}

TEST(DisplayList, FullListWithoutTerminatorShowsFiftyLines)
{
    std::vector<std::pair<uint32_t, uint32_t>> slots;
    for (int i = 0; i < 50; ++i)
        slots.emplace_back(0x30120001u + uint32_t(i % 5), uint32_t(i));
    CDisplayList list = BuildDisplayList(Table(), fixtures::MakeImageHeader(slots, false));
    ASSERT_EQ(50u, list.m_lines.size());
    EXPECT_EQ(49, list.m_slots.back());
    EXPECT_EQ(Line("CH0.Fader", "049"), list.m_lines.back());
}

TEST(ParameterEdit, KindsAndEntryPreparation)
{
    EXPECT_EQ(EditKind::Toggle, EditKindFor(0x10030001));
    EXPECT_EQ(EditKind::Decimal, EditKindFor(0x30120001));
    EXPECT_EQ(EditKind::ShortChange, EditKindFor(0x40000001));
    EXPECT_EQ(EditKind::Hex, EditKindFor(0x50050003));
    EXPECT_EQ(EditKind::VolvoModel, EditKindFor(0x601A0001));
    EXPECT_EQ(EditKind::Decimal, EditKindFor(0x60050001));
    EXPECT_EQ(EditKind::None, EditKindFor(0x20000001));
    EXPECT_EQ(EditKind::None, EditKindFor(0x00000001));

    EXPECT_EQ(0u, ToggledSwitchValue(5));
    EXPECT_EQ(1u, ToggledSwitchValue(ToggledSwitchValue(5)));

    EXPECT_EQ("1F4", ValueEntryText(PrepareValueEntry(EditKind::Hex, 0x1F4)));
    EXPECT_EQ("FFFFFFFF", ValueEntryText(PrepareValueEntry(EditKind::Hex, 0xFFFFFFFF)));
    EXPECT_EQ("10", ValueEntryText(PrepareValueEntry(EditKind::Decimal, 10)));
    EXPECT_EQ("-3", ValueEntryText(PrepareValueEntry(EditKind::Decimal, 0xFFFFFFFD)));

    CValueEntry volvo = PrepareValueEntry(EditKind::VolvoModel, 12);
    EXPECT_EQ(1, volvo.m_bChoice);
    EXPECT_EQ(0, volvo.m_nValue);
    ASSERT_EQ(12u, volvo.m_choices.size());
    EXPECT_EQ("XC90", volvo.m_choices.back());
    EXPECT_EQ(-1, PrepareValueEntry(EditKind::VolvoModel, 0xFFFFFFFF).m_nValue);
    EXPECT_EQ(7, PrepareValueEntry(EditKind::VolvoModel, 7).m_nValue);
}

TEST(ParameterEdit, AcceptReadsByMode)
{
    CValueEntry hex = PrepareValueEntry(EditKind::Hex, 0);
    AcceptValueEntry(hex, "0x10", 3);
    EXPECT_EQ(0x10, hex.m_nValue);

    CValueEntry dec = PrepareValueEntry(EditKind::Decimal, 0);
    AcceptValueEntry(dec, "12abc", 3);
    EXPECT_EQ(12, dec.m_nValue);

    CValueEntry choice = PrepareValueEntry(EditKind::VolvoModel, 0xFFFFFFFF);
    AcceptValueEntry(choice, "ignored", -1);
    EXPECT_EQ(-1, choice.m_nValue); // OK without a choice stores FFFFFFFF
}
