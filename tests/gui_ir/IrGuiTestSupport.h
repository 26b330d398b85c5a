#pragma once
// Helpers shared by the IR import's Qt tests: screenshots, grabbed pixels, CCF files
// on disk and the remote the dialog tests load.

#include "tools/fixtures/CcfBuilder.h"

#include <QImage>
#include <QString>

#include <filesystem>

class QWidget;

namespace corvalin::irguitest
{

// Saves what the widget shows as NAME.png in the build folder's screenshots/;
// returns the file's path, empty when it could not be written.
QString SaveScreenshot(QWidget* widget, const QString& name);

// What the widget shows, one image pixel per widget pixel, without alpha.
QImage GrabPixels(QWidget* widget);

// The grey value of a pixel, or -1 when its red, green and blue differ.
int GreyAt(const QImage& image, int x, int y);

QString ToQString(const std::filesystem::path& path);

// A valid CCF file whose only button has no IR code: its key list is empty.
fixtures::Bytes BuildRemoteWithoutCodes();

// A remote of `count` NEC keys labelled "K<n>", laid out in rows of ten.
fixtures::Bytes BuildRemoteWithKeys(int count);

} // namespace corvalin::irguitest
