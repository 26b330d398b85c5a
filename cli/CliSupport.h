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
#include <string_view>
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

// The command being run, named by main() before it runs it; a usage error prints the
// usage of that command only. An unknown name leaves none chosen.
void SetRunningCommand(std::string_view name);

// Usage error: prints the message and the usage of the running command (of every
// command while none runs), returns kExitUsage.
int UsageError(const std::string& message);

// Once a command has taken out the options it knows, the first argument left that looks
// like an option ("-x", "--name") is a mistyped or foreign one: this says so as a usage
// error and returns kExitUsage, or returns kExitOk when there is none. A lone "-" is no
// option.
int RefuseUnknownOption(const Args& args);

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

// How a command uses a file it names.
enum class EFileUse
{
    Read,   // read whole (an image, a settings document)
    Store,  // written anew beside the old one and put in its place (-o OUT)
    Append, // appended to, created when missing (a record)
};

// Why FILE cannot be used that way, as a text to follow "FILE: ", or empty when nothing
// is found in the way: "is a directory", "not a regular file", "No such file or
// directory (the folder /x/y does not exist)", "Not a directory (/x/y is not a
// folder)", or the system's text for a failed attempt ("Permission denied", ...). The
// attempt is made as the use would make it: Read opens FILE; Store creates and removes
// a file beside it; Append opens FILE for appending, creating it when missing and
// removing it again. Called after a failure, it tells the likely cause; a failure it
// cannot reproduce (a full disk, say) gives an empty text.
std::string DescribeFileProblem(const std::string& file, EFileUse use);

// Explains on stderr why FILE cannot be read (missing, a directory...); true when it can.
bool CheckReadableFile(const std::string& file);

// Loads FILE into `holder` (a bundle's product when `product` is set). Explains a
// file that cannot be opened on stderr. True when the image was accepted; then
// `productName`, when given, is set to the loaded product's member name as the
// product list shows it (empty for a bare image file).
bool LoadSourceImage(IImageHolder& holder, const std::string& file, const std::optional<std::string>& product,
                     std::string* productName = nullptr);

// Stores the held image as OUT; on failure, after the status texts, says on stderr
// why OUT cannot be written when the cause is found. True when it was stored.
bool StoreOutputImage(const CImageHolder& holder, const std::string& out);

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
