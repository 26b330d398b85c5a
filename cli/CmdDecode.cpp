// corvalin-cli decode [--trace] WORDS...

#include "cli/Commands.h"
#include "ir/IrDecoder.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace corvalin::cli
{

namespace
{

// One Pronto word: exactly four hexadecimal digits.
bool ReadProntoWord(const std::string& token, uint16_t& word)
{
    if (token.size() != 4)
        return false;
    unsigned value = 0;
    for (char c : token)
    {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 16 + unsigned(std::isdigit(static_cast<unsigned char>(c))
                                          ? c - '0'
                                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    word = uint16_t(value);
    return true;
}

} // namespace

int RunDecode(Args args)
{
    bool trace = TakeFlag(args, "--trace");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    std::vector<uint16_t> words;
    for (const std::string& arg : args)
    {
        std::istringstream in(arg);
        std::string token;
        while (in >> token)
        {
            uint16_t word = 0;
            if (!ReadProntoWord(token, word))
            {
                PrintError("'" + token + "' is not a Pronto word of four hex digits");
                return kExitUsage;
            }
            words.push_back(word);
        }
    }
    if (words.empty())
        return UsageError("decode takes Pronto hex words");

    CIrDecodeResult result = DecodeIrCode(words, trace ? &std::cerr : nullptr);
    switch (result.m_eOutcome)
    {
    case EIrDecodeOutcome::Accepted:
        std::printf("%s 0x%X\n", IrProtocolName(result.m_eProtocol), unsigned(result.m_nCode));
        break;
    case EIrDecodeOutcome::Rejected:
        std::printf("rejected\n");
        break;
    case EIrDecodeOutcome::NotDecoded:
        std::printf("not decoded\n");
        break;
    }
    return kExitOk;
}

} // namespace corvalin::cli
