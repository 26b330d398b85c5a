#include "gui/model/WindowFit.h"

#include <algorithm>

namespace corvalin
{

int FittingPointSize(int designPoints, int dpi, CPixelSize area,
                     const std::function<CPixelSize(int points)>& sizeAt)
{
    const int floor = std::max(1, (kSmallestTextPixels * 72 + std::max(dpi, 1) - 1) / std::max(dpi, 1));
    for (int points = designPoints; points > floor; --points)
    {
        const CPixelSize size = sizeAt(points);
        if (size.m_nWidth <= area.m_nWidth && size.m_nHeight <= area.m_nHeight)
            return points;
    }
    return std::min(designPoints, floor);
}

CPixelRect PlaceCentred(CPixelSize size, const CPixelRect& owner, const CPixelRect& area)
{
    const CPixelRect& over = owner.m_nWidth > 0 && owner.m_nHeight > 0 ? owner : area;
    CPixelRect place{over.m_nLeft + (over.m_nWidth - size.m_nWidth) / 2,
                     over.m_nTop + (over.m_nHeight - size.m_nHeight) / 2, size.m_nWidth, size.m_nHeight};
    // The right and bottom edges first, so a window larger than the area keeps its
    // top-left corner, where its title is, inside.
    place.m_nLeft = std::min(place.m_nLeft, area.m_nLeft + area.m_nWidth - size.m_nWidth);
    place.m_nTop = std::min(place.m_nTop, area.m_nTop + area.m_nHeight - size.m_nHeight);
    place.m_nLeft = std::max(place.m_nLeft, area.m_nLeft);
    place.m_nTop = std::max(place.m_nTop, area.m_nTop);
    return place;
}

} // namespace corvalin
