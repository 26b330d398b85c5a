// corvalin-cli ccf [--trace] FILE

#include "cli/Commands.h"
#include "cli/Latin1.h"
#include "ir/CcfReader.h"
#include "ir/IrProtocol.h"
#include "platform/FileIo.h"

#include <cstdio>
#include <iostream>

namespace corvalin::cli
{

int RunCcf(Args args)
{
    bool trace = TakeFlag(args, "--trace");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() != 1)
        return UsageError("ccf takes one FILE");

    CcfReader reader(trace ? &std::cerr : nullptr);
    if (!reader.Load(platform::PathFromUtf8(args[0])))
    {
        std::fprintf(stderr, "CAN NOT OPEN\n");
        if (const std::string problem = DescribeFileProblem(args[0], EFileUse::Read); !problem.empty())
            PrintError(args[0] + ": " + problem);
        return kExitFailure;
    }
    reader.Walk();

    const std::vector<CIrKeyRecord>& keys = reader.Keys();
    std::printf("[");
    for (std::size_t i = 0; i < keys.size(); ++i)
    {
        const CIrKeyRecord& key = keys[i];
        std::printf("%s\n  {\"protocol\": %d, \"protocolName\": \"%s\", \"label\": %s, \"x\": %u, \"y\": %u, "
                    "\"width\": %u, \"height\": %u, \"code\": %u, \"bitmapFlags\": %u, \"hasBitmap\": %s, "
                    "\"textColor\": %u, \"fontSize\": %u}",
                    i == 0 ? "" : ",", int(key.protocol), IrProtocolName(key.protocol),
                    JsonString(key.label).c_str(), unsigned(key.x), unsigned(key.y), unsigned(key.width),
                    unsigned(key.height), unsigned(key.code), unsigned(key.bitmapFlags),
                    key.bitmap ? "true" : "false", unsigned(key.textColor), unsigned(key.fontSize));
    }
    std::printf("%s]\n", keys.empty() ? "" : "\n");
    return kExitOk;
}

} // namespace corvalin::cli
