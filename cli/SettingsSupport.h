#pragma once
// Reading a settings document for the image a command works on (set --settings, and
// the station's settings): what does not fit is said on stderr, as notes, or with
// --strict as errors that stop the command before anything is written.

#include "cli/CliSupport.h"
#include "image/ImageHeader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvalin::cli
{

// Reads the settings document FILE and plans it against the image `header`. Says on
// stderr what does not fit: a hardware code other than the image's, or none (a
// document written before documents named their source), entries the image does not
// carry, and the image's parameters the document does not mention. Without `strict`
// these are notes; with it they are errors. Appends the planned (slot, value) changes,
// in document order, to `changes` and returns true; returns false, with `changes`
// untouched and the reason on stderr, when FILE cannot be read, is no valid settings
// document, or `strict` found anything.
// Takes "--settings SETTINGS" and "--strict" out of args. On a usage error (no file
// after --settings, --strict without it) it prints it and returns false with `exitCode`.
bool TakeSettingsOptions(Args& args, std::optional<std::string>& settings, bool& strict, int& exitCode);

bool PlanSettingsFile(const std::string& file, const ImageHeader& header, bool strict,
                      std::vector<std::pair<int, uint32_t>>& changes);

} // namespace corvalin::cli
