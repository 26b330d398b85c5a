// corvalin-cli diff A B [--product NAME]

#include "cli/Commands.h"
#include "params/SettingsDocument.h"

#include <cstdio>
#include <cstring>

namespace corvalin::cli
{

namespace
{

bool SameBody(const CFirmwareImage& a, const CFirmwareImage& b)
{
    return a.BodySize() == b.BodySize() && std::memcmp(a.Body(), b.Body(), a.BodySize()) == 0;
}

} // namespace

// Exit status as diff(1) has it, so a script can tell "differ" from "failed": 0 when
// the parameters and bodies are the same, 1 when something differs, 2 on a usage
// error or an image that cannot be loaded.
int RunDiff(Args args)
{
    bool missing = false;
    std::optional<std::string> product = TakeOption(args, "--product", missing);
    if (missing)
        return UsageError("--product needs a name");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() != 2)
        return UsageError("diff takes two files, A and B");

    CStderrImage imageA;
    CStderrImage imageB;
    if (!LoadSourceImage(imageA, args[0], product) || !LoadSourceImage(imageB, args[1], product))
        return kExitUsage;

    CParameterTable table;
    BuildParameterTable(table);
    const std::vector<CParameterDifference> differences =
        DiffParameters(table, imageA.Header(), imageB.Header());
    for (const CParameterDifference& difference : differences)
    {
        const std::string name = ParameterName(difference.m_nId, difference.m_strLabel);
        const std::string textA = FormatParameterValue(difference.m_nId, difference.m_nValueA);
        const std::string textB = FormatParameterValue(difference.m_nId, difference.m_nValueB);
        if (difference.m_bInA && difference.m_bInB)
            std::printf("%s: %s -> %s\n", name.c_str(), textA.c_str(), textB.c_str());
        else if (difference.m_bInA)
            std::printf("%s: only in A (%s)\n", name.c_str(), textA.c_str());
        else
            std::printf("%s: only in B (%s)\n", name.c_str(), textB.c_str());
    }
    const bool sameBody = SameBody(imageA.Image(), imageB.Image());
    std::printf("body: %s\n", sameBody ? "same" : "differs");
    return differences.empty() && sameBody ? kExitOk : kExitFailure;
}

} // namespace corvalin::cli
