#pragma once
// Drawing shared by the two IR key buttons: the push-button frame, the focus outline,
// and a decoded key bitmap as an image that is painted one pixel per pixel.

#include "ir/KeyBitmap.h"

#include <QImage>

class QAbstractButton;
class QPainter;

namespace corvalin
{

// The push-button frame over the whole button: sunken while the button is held down,
// flat (a thin border, no bevel) when `bFlat`, raised otherwise.
void DrawPushFrame(QPainter& painter, const QAbstractButton& button, bool bFlat);

// A one-pixel line round the w x h rectangle from (0, 0), in the painter's pen.
void DrawFocusOutline(QPainter& painter, int w, int h);

// The decoded pixels (grey, or palette colours from a colour file) as an image of the
// same size; pixels the bitmap data did not reach stay transparent, so the frame
// underneath shows there.
QImage ToQImage(const CGreyImage& grey);

} // namespace corvalin
