#pragma once
// CCF labels are Latin-1 bytes; the command line and JSON speak UTF-8.

#include <string>

namespace corvalin::cli
{

// Each byte as the code point of the same value, in UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

// UTF-8 text whose code points are all below 256 as Latin-1 bytes; any other text
// (not UTF-8, or beyond Latin-1) unchanged.
std::string Utf8ToLatin1(const std::string& utf8);

// A JSON string literal, quotes included, of Latin-1 text.
std::string JsonString(const std::string& latin1);

} // namespace corvalin::cli
