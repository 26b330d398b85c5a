#pragma once
// What every corvalin-cli command shares: status texts on stderr, the exit codes,
// loading the image a command works on, and printing the parameter list.

#include "cli/CommandUsage.h"
#include "device/UpdaterControls.h"
#include "image/ImageHolder.h"
#include "params/DisplayList.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvalin::cli
{

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Prints each status text on its own line of stderr as it is set, and remembers
// the last one. Safe to call from the worker's thread.
class CStderrStatus : public IStatusControl
{
  public:
    void SetText(const std::string& text) override;
    std::string LastText() const;

  private:
    mutable std::mutex m_mutex;
    std::string m_strLast;
};

using Args = std::vector<std::string>;

// Prints "corvalin-cli: <message>" on stderr.
void PrintError(const std::string& message);

// Usage error: prints the message and the usage text, returns kExitUsage.
int UsageError(const std::string& message);

// The usage of every command; PrintCommandUsage prints that of one.
void PrintUsage(std::FILE* out);
void PrintCommandUsage(std::FILE* out, const CCommandUsage& usage);

// Takes "--name VALUE" out of args; an empty optional when absent. Sets `missing`
// when the option is given without a value.
std::optional<std::string> TakeOption(Args& args, const std::string& name, bool& missing);

// The options of a command that stores an image: "-o OUT" (required) and
// "--product NAME" (a bundle's product).
struct COutputOptions
{
    std::string m_strOut;
    std::optional<std::string> m_product;
};

// Takes those options out of args. On a usage error it returns false and sets
// `exitCode` after printing the usage.
bool TakeOutputOptions(Args& args, const std::string& command, COutputOptions& options, int& exitCode);

// Takes a flag such as "--trace" out of args.
bool TakeFlag(Args& args, const std::string& name);

// Explains on stderr why FILE cannot be read (missing, a directory...); true when it can.
bool CheckReadableFile(const std::string& file);

// Loads FILE into `holder` (a bundle's product when `product` is set). Explains a
// file that cannot be opened on stderr. True when the image was accepted.
bool LoadSourceImage(IImageHolder& holder, const std::string& file,
                     const std::optional<std::string>& product);

// Prints the display list of `header` on stdout, one line per list line.
void PrintDisplayList(const ImageHeader& header);

// A status line on stderr for an image without a box; the commands that only edit
// files hold their image in it.
class CStderrImage : public CImageHolder
{
  public:
    CStderrImage() : CImageHolder([this](const std::string& text) { m_status.SetText(text); }) {}

  private:
    CStderrStatus m_status;
};

} // namespace corvalin::cli
