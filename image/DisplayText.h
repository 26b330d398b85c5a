#pragma once
// Bytes as the window shows them: every text handed to a view is UTF-8.

#include <filesystem>
#include <string>

namespace corvalin
{

// Each byte as the character of the same value (Latin-1), in UTF-8. Used for texts in
// no known encoding, such as the box's name, so that every byte shows.
std::string Latin1ToUtf8Text(const std::string& bytes);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points
// above 10FFFF hex).
bool IsUtf8(const std::string& text);

// A bundle member's name: as it is when it is UTF-8, else one character per byte, as
// archivers that write a code page leave it.
std::string MemberNameText(const std::string& name);

// A path as UTF-8 text.
std::string PathText(const std::filesystem::path& path);

} // namespace corvalin
