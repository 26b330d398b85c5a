#pragma once
// The usage text of each corvalin-cli command, in the order the overall usage lists them.

#include <string_view>

namespace corvalin::cli
{

struct CCommandUsage
{
    std::string_view m_strName;
    std::string_view m_strArguments;
    // One or more lines, each indented by six blanks and ended by a newline.
    std::string_view m_strDescription;
};

inline constexpr CCommandUsage kCommandUsages[] = {
    {"params", "FILE [--product NAME] [--json]",
     "      print the parameter list of an image (or a bundle's product);\n"
     "      --json prints it as a settings document, IR buttons included,\n"
     "      naming the image's hardware code, the product and this version\n"},
    {"set", "FILE -o OUT [--product NAME] [--settings SETTINGS [--strict]] [ASSIGNMENT...]",
     "      change parameters, store the image to OUT, print the new list;\n"
     "      --settings applies a document of 'params --json' by identifier and\n"
     "      notes what does not fit; --strict refuses other hardware, a\n"
     "      document without a hardware code, entries the image lacks and\n"
     "      parameters the document lacks; ASSIGNMENT is LABEL=VALUE or\n"
     "      #SLOT=VALUE\n"},
    {"diff", "A B [--product NAME]",
     "      list the parameters whose values differ between two images (or\n"
     "      two bundles' products) and whether their bodies differ; exit 0\n"
     "      when the same, 1 when they differ, 2 on trouble\n"},
    {"products", "FILE", "      list the products of an update bundle, in the window's order\n"},
    {"decode", "[--trace] WORDS...",
     "      decode one Pronto IR code (hex words of four digits); prints\n"
     "      'NAME 0xCODE', 'rejected' or 'not decoded'\n"},
    {"ccf", "[--trace] FILE", "      print the importable keys of a Pronto CCF file as JSON\n"},
    {"ir-import", "FILE CCF -o OUT [--product NAME] [FUNCTION=LABEL ...]",
     "      take IR codes from a CCF file into the image (keys named by the\n"
     "      default names, then FUNCTION=LABEL picks, FUNCTION=EMPTY erases),\n"
     "      store it to OUT, print the new list\n"},
    {"devices", "", "      look for the box on its USB bridge and print its port list entry\n"},
    {"update", "FILE [--port PATH] [--product NAME] [--fast] [--log LOG]",
     "      send the image to the box (found through the serial-port map,\n"
     "      or on the port PATH); --fast chooses fast transfer; --log appends\n"
     "      the update's record to LOG\n"},
    {"station",
     "FILE [--product NAME] [--settings SETTINGS [--strict]] [--set ASSIGNMENT]... [--count N] [--fast]\n"
     "      [--log LOG] [--bay LOCATION=LABEL]... [--operator NAME]",
     "      update every box plugged in through any CP210x bridge, each once\n"
     "      per plug-in and all at the same time, with the image after the\n"
     "      settings and assignments; --count N ends after N updates, Ctrl-C at\n"
     "      once; --log appends a record line per box to LOG; --bay names a USB\n"
     "      place (1-2.3=\"Bay 1\"); --operator names who runs it in the record\n"},
    {"log", "LOG [--csv [--excel] [--separator C]] [--verify]",
     "      print an update record written with --log as a table, or with\n"
     "      --csv as CSV for a spreadsheet (--excel: byte order mark and dates;\n"
     "      --separator: , ; | or tab); --verify reports broken chain links and\n"
     "      contradicting fields\n"},
};

// The command's usage entry, or nullptr when there is no such command.
constexpr const CCommandUsage* FindCommandUsage(std::string_view name)
{
    for (const CCommandUsage& usage : kCommandUsages)
    {
        if (usage.m_strName == name)
            return &usage;
    }
    return nullptr;
}

} // namespace corvalin::cli
