// corvalin-cli products FILE

#include "cli/Commands.h"
#include "image/BundleLoader.h"
#include "platform/FileIo.h"

#include <cstdio>

namespace corvalin::cli
{

int RunProducts(Args args)
{
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() != 1)
        return UsageError("products takes one FILE");
    if (!CheckReadableFile(args[0]))
        return kExitFailure;

    CStderrImage image;
    CBundleOpenOutcome outcome = OpenBundleOrImageFile(image, platform::PathFromUtf8(args[0]), 0, {});
    for (const CBundleProduct& product : outcome.m_products)
        std::printf("%s\n", product.m_strName.c_str());
    return outcome.m_products.empty() ? kExitFailure : kExitOk;
}

} // namespace corvalin::cli
