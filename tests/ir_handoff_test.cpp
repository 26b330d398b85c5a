// The IR code hand-off: when the dialog is shown, what an accepted outcome writes,
// and what a cancelled one leaves alone.

#include "params/IrCodeHandOff.h"
#include "params/ParameterTable.h"
#include "tools/fixtures/ImageBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace corvalin;

namespace
{

std::vector<uint32_t> Codes(std::initializer_list<std::pair<int, uint32_t>> set)
{
    std::vector<uint32_t> codes(14, 0);
    for (auto [k, code] : set)
        codes[std::size_t(k)] = code;
    return codes;
}

CIrDialogOutcome Accepted(std::vector<uint32_t> codes)
{
    return {true, std::move(codes), 0};
}

} // namespace

TEST(IrCodeHandOff, NoIrButtonsNoDialog)
{
    ImageHeader header = fixtures::MakeImageHeader({{0x10030001, 1}, {0x60150003, 0}});
    ImageHeader before = header;
    int shown = 0;
    EXPECT_EQ(EIrHandOffResult::NoIrButtons, RunIrCodeHandOff(header,
                                                              [&]
                                                              {
                                                                  ++shown;
                                                                  return Accepted(Codes({{0, 5}}));
                                                              }));
    EXPECT_EQ(0, shown);
    EXPECT_EQ(before, header);
}

TEST(IrCodeHandOff, CancelChangesNothing)
{
    ImageHeader header = fixtures::MakeImageHeader({{0x50160003, 7}, {0x5016000A, 8}});
    ImageHeader before = header;
    int shown = 0;
    EXPECT_EQ(EIrHandOffResult::Cancelled,
              RunIrCodeHandOff(header,
                               [&]
                               {
                                   ++shown;
                                   return CIrDialogOutcome{false, Codes({{2, 0x11}}), 0};
                               }));
    EXPECT_EQ(1, shown);
    EXPECT_EQ(before, header);
}

TEST(IrCodeHandOff, WritesOnlyTheSlotsThatExistAndAddsIrType)
{
    // "IR.BTN3" twice and "IR.BTN0": the codes of "Vol +" and "Mute" land in every
    // slot of theirs; codes for keys without a slot are dropped.
    ImageHeader header = fixtures::MakeImageHeader({{0x10030001, 1},
                                                    {0x50160003, 0xAAAA},
                                                    {0x5016000A, 0xBBBB},
                                                    {0x50160003, 0xCCCC},
                                                    {0x50160002, 0xDDDD}});
    EXPECT_EQ(
        EIrHandOffResult::Written,
        RunIrCodeHandOff(header,
                         [] {
                             return Accepted(Codes({{0, 0x10}, {2, 0xF708FB04}, {9, 0x95}, {13, 0x20}}));
                         }));
    EXPECT_EQ(0xF708FB04u, GetParamValue(header, 1));
    EXPECT_EQ(0x95u, GetParamValue(header, 2));
    EXPECT_EQ(0xF708FB04u, GetParamValue(header, 3));
    EXPECT_EQ(0xDDDDu, GetParamValue(header, 4)); // hidden key 1 returned 0: kept
    EXPECT_EQ(kIrTypeParameter, GetParamId(header, 5));
    EXPECT_EQ(0u, GetParamValue(header, 5));
    EXPECT_EQ(kParamTerminator, GetParamId(header, 6));
    EXPECT_EQ(kParamTerminator, GetParamValue(header, 6));
    EXPECT_EQ(1u, GetParamValue(header, 0));
}

TEST(IrCodeHandOff, EnterGivesNoCodesButStillTheIrType)
{
    ImageHeader header = fixtures::MakeImageHeader({{0x50160001, 0x1234}});
    EXPECT_EQ(EIrHandOffResult::Written, RunIrCodeHandOff(header, [] { return Accepted({}); }));
    EXPECT_EQ(0x1234u, GetParamValue(header, 0));
    EXPECT_EQ(kIrTypeParameter, GetParamId(header, 1));
    EXPECT_EQ(kParamTerminator, GetParamId(header, 2));
}

TEST(IrCodeHandOff, ASecondRunAddsASecondIrType)
{
    ImageHeader header = fixtures::MakeImageHeader({{0x50160001, 0}});
    RunIrCodeHandOff(header, [] { return Accepted(Codes({{0, 1}})); });
    RunIrCodeHandOff(header, [] { return Accepted(Codes({{0, 2}})); });
    EXPECT_EQ(2u, GetParamValue(header, 0));
    EXPECT_EQ(kIrTypeParameter, GetParamId(header, 1));
    EXPECT_EQ(kIrTypeParameter, GetParamId(header, 2));
    EXPECT_EQ(kParamTerminator, GetParamId(header, 3));
}

TEST(IrCodeHandOff, AFullListGetsNoIrTypeButItsCodes)
{
    std::vector<std::pair<uint32_t, uint32_t>> slots(49, {0x10030001, 1});
    slots[10] = {0x5016000B, 0};
    ImageHeader terminatorLast = fixtures::MakeImageHeader(slots); // terminator in slot 49
    RunIrCodeHandOff(terminatorLast, [] { return Accepted(Codes({{10, 0x161}})); });
    EXPECT_EQ(0x161u, GetParamValue(terminatorLast, 10));
    EXPECT_EQ(kParamTerminator, GetParamId(terminatorLast, 49));
    for (int slot = 0; slot < kParamSlots; ++slot)
        EXPECT_NE(kIrTypeParameter, GetParamId(terminatorLast, slot));

    slots.push_back({0x10030001, 1});
    ImageHeader noTerminator = fixtures::MakeImageHeader(slots, false);
    ImageHeader before = noTerminator;
    RunIrCodeHandOff(noTerminator, [] { return Accepted(Codes({{10, 0x161}})); });
    SetParamValue(before, 10, 0x161);
    EXPECT_EQ(before, noTerminator);

    // The terminator in slot 48 leaves just room for the new entry.
    slots.resize(48);
    ImageHeader nearlyFull = fixtures::MakeImageHeader(slots);
    RunIrCodeHandOff(nearlyFull, [] { return Accepted(Codes({})); });
    EXPECT_EQ(kIrTypeParameter, GetParamId(nearlyFull, 48));
    EXPECT_EQ(kParamTerminator, GetParamId(nearlyFull, 49));
}
