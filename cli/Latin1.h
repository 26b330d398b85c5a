#pragma once
// CCF labels and box names are Latin-1 bytes; the command line and JSON speak UTF-8.

#include <string>

namespace corvalin::cli
{

// Each byte as the code point of the same value, in UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

// UTF-8 text whose code points are all below 256 as Latin-1 bytes; any other text
// (not UTF-8, or beyond Latin-1) unchanged.
std::string Utf8ToLatin1(const std::string& utf8);

// UTF-8 text as a terminal may be shown it: its control characters (C0, DEL and C1)
// as '?', so text from a box or a file can neither move the cursor nor recolour the
// terminal.
std::string PrintableText(const std::string& utf8);

// A box's bytes (its name, in no known encoding) as printed: one Latin-1 character per
// byte, control characters as '?'.
std::string BoxText(const std::string& bytes);

// A JSON string literal, quotes included, of Latin-1 text.
std::string JsonString(const std::string& latin1);

} // namespace corvalin::cli
