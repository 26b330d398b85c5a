#include "gui/model/ProntoFont.h"

#include <system_error>

namespace corvalin
{

std::optional<std::filesystem::path> FindProntoFont(const std::filesystem::path& programFolder)
{
    if (programFolder.empty())
        return std::nullopt;
    for (const std::filesystem::path& place :
         {programFolder / kProntoFontFileName,
          programFolder.parent_path() / "share" / "corvalin" / kProntoFontFileName})
    {
        std::error_code error;
        if (std::filesystem::is_regular_file(place, error))
            return place;
    }
    return std::nullopt;
}

} // namespace corvalin
