// corvalin-cli ir-import FILE CCF -o OUT [--product NAME] [FUNCTION=LABEL ...]
//
// The code selection dialog's road without a window: the CCF file is read with its
// default names assigned, each FUNCTION=LABEL picks the last key with that label and
// assigns it (FUNCTION=EMPTY erases), then OK, the hand-off, and the image is stored.

#include "cli/Commands.h"
#include "cli/Latin1.h"
#include "ir/CodeSelection.h"
#include "ir/IrProtocol.h"
#include "params/IrCodeHandOff.h"

#include <cstdio>

namespace corvalin::cli
{

namespace
{

struct CFunctionPick
{
    int m_nFunction = 0;
    std::string m_strLabel; // Latin-1, as CCF labels are
    bool m_bErase = false;
};

// Tells on stderr what the dialog would show in a message box.
class CMessageView : public ICodeSelectionView
{
  public:
    void ShowMessage(const std::string& text, EMessageKind kind) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        m_bCannotOpen = m_bCannotOpen || kind == EMessageKind::Error;
    }
    void SetCodeText(const std::string&) override {}
    void SetFunctionText(const std::string&) override {}
    void RemoveSourceKeys() override {}
    void AddSourceKey(const CSourceKeyState&, const CIrKeyRecord&) override {}
    void FunctionKeyChanged(int) override {}
    void FocusCodeText() override {}

    bool m_bCannotOpen = false;
};

bool ParsePick(const std::string& text, CFunctionPick& pick, std::string& error)
{
    std::size_t equals = text.find('=');
    if (equals == std::string::npos)
    {
        error = "'" + text + "' is not FUNCTION=LABEL";
        return false;
    }
    std::string function = text.substr(0, equals);
    pick.m_nFunction = FunctionIndexOf(function);
    if (pick.m_nFunction < 0 || !kFunctionKeyShown[std::size_t(pick.m_nFunction)])
    {
        error = "unknown function '" + function +
                "' (Vol -, Vol +, Source, Mute, Track Down, Track Up, Phone Pick Up, Phone Hang Up)";
        return false;
    }
    std::string label = text.substr(equals + 1);
    pick.m_bErase = label == "EMPTY";
    pick.m_strLabel = Utf8ToLatin1(label);
    return true;
}

// The last key with the label among those a click reaches.
int FindPickableKey(const CCodeSelection& logic, const std::string& label)
{
    int found = -1;
    for (const CSourceKeyState& key : logic.SourceKeys())
    {
        if (key.m_nId <= kLastPickableSourceKeyId && key.m_pRecord->label == label)
            found = key.m_nId;
    }
    return found;
}

} // namespace

int RunIrImport(Args args)
{
    COutputOptions options;
    int usageExit = kExitUsage;
    if (!TakeOutputOptions(args, "ir-import", options, usageExit))
        return usageExit;
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() < 2)
        return UsageError("ir-import takes FILE and CCF");

    std::vector<CFunctionPick> picks(args.size() - 2);
    for (std::size_t i = 2; i < args.size(); ++i)
    {
        std::string error;
        if (!ParsePick(args[i], picks[i - 2], error))
            return UsageError(error);
    }

    CStderrImage image;
    if (!LoadSourceImage(image, args[0], options.m_product))
        return kExitFailure;

    bool failed = false;
    auto runDialog = [&]()
    {
        CIrDialogOutcome outcome;
        CMessageView view;
        CCodeSelection logic(&view);
        logic.OnSourceTextChanged(args[1]);
        if (view.m_bCannotOpen)
        {
            if (const std::string problem = DescribeFileProblem(args[1], EFileUse::Read); !problem.empty())
                PrintError(args[1] + ": " + problem);
            failed = true;
            return outcome;
        }
        for (const CFunctionPick& pick : picks)
        {
            if (pick.m_bErase)
            {
                logic.OnErase();
            }
            else
            {
                int id = FindPickableKey(logic, pick.m_strLabel);
                if (id < 0)
                {
                    PrintError("no key labelled '" + Latin1ToUtf8(pick.m_strLabel) + "' in " + args[1]);
                    failed = true;
                    return outcome;
                }
                logic.OnSourceKey(id);
                // The click on the function key takes the focus, which withdraws the toggle.
                logic.ClearToggled(id);
            }
            logic.OnFunctionKey(kFirstFunctionKeyId + pick.m_nFunction);
        }
        logic.OnOkButton();
        for (int k = 0; k < kFunctionKeyCount; ++k)
        {
            const CFunctionKeyState& key = logic.FunctionKey(k);
            if (kFunctionKeyShown[std::size_t(k)] && key.m_eProtocol != EIrProtocol::Empty)
                std::fprintf(stderr, "%s: (%s)  0x%X\n", kFunctionNames[std::size_t(k)],
                             IrProtocolName(key.m_eProtocol), unsigned(key.m_nCode));
        }
        outcome.m_bAccepted = true;
        outcome.m_codes = logic.Codes();
        outcome.m_nIrType = logic.GetIrType();
        return outcome;
    };

    EIrHandOffResult result = RunIrCodeHandOff(image.Header(), runDialog);
    if (result == EIrHandOffResult::NoIrButtons)
    {
        PrintError(args[0] + ": the image has no IR button parameters");
        return kExitFailure;
    }
    if (failed)
        return kExitFailure;

    if (!StoreOutputImage(image, options.m_strOut))
        return kExitFailure;
    PrintDisplayList(image.Header());
    return kExitOk;
}

} // namespace corvalin::cli
