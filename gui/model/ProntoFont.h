#pragma once
// Where the source keys' caption font, the file Pronto.ttf, is looked for: beside the
// program, and for an installed program in its data folder (share/corvalin beside the
// program's bin/). Never in the current folder, which the file dialogs change.

#include <filesystem>
#include <optional>

namespace corvalin
{

inline constexpr const char* kProntoFontFileName = "Pronto.ttf";

// The first place that holds the font, for a program in `programFolder`; none when
// no place does.
std::optional<std::filesystem::path> FindProntoFont(const std::filesystem::path& programFolder);

} // namespace corvalin
