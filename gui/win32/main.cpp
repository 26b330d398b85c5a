// corvalin.exe: the main window, run modally; the program ends with it.

#include "BuildVersion.h"
#include "gui/model/CommandLine.h"
#include "gui/win32/MainDlg.h"
#include "gui/win32/WideText.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace
{

std::vector<std::filesystem::path> Arguments()
{
    std::vector<std::filesystem::path> args;
    int count = 0;
    if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count))
    {
        for (int n = 1; n < count; ++n)
            args.emplace_back(words[n]);
        LocalFree(words);
    }
    return args;
}

// A windowed program has no console of its own: the text goes to the standard handle
// when it leads somewhere (a pipe, a file), else to the console of the command prompt
// that started the program, else into a message box.
void Print(DWORD which, const std::string& text)
{
    HANDLE out = GetStdHandle(which);
    bool bOwned = false;
    if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
    {
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        bOwned = out != INVALID_HANDLE_VALUE;
    }
    DWORD written = 0;
    if (out && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, text.data(), DWORD(text.size()), &written, nullptr))
    {
        if (bOwned)
            CloseHandle(out);
        return;
    }
    MessageBoxW(nullptr, corvalin::win32::FromUtf8(text).c_str(), L"Corvalin",
                MB_OK | (which == STD_ERROR_HANDLE ? MB_ICONERROR : MB_ICONINFORMATION));
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const corvalin::CCommandLine line = corvalin::ParseCommandLine(Arguments());
    switch (line.m_eAction)
    {
    case corvalin::ECommandLineAction::Help:
        Print(STD_OUTPUT_HANDLE, corvalin::CommandLineUsage());
        return 0;
    case corvalin::ECommandLineAction::Version:
        Print(STD_OUTPUT_HANDLE, std::string("corvalin ") + corvalin::kVersion + "\n");
        return 0;
    case corvalin::ECommandLineAction::Error:
        Print(STD_ERROR_HANDLE, "corvalin: " + line.m_strError + "\n" + corvalin::CommandLineUsage());
        return 2;
    case corvalin::ECommandLineAction::Run:
        break;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
    corvalin::win32::CMainDlg window;
    if (line.m_file)
        window.OpenAtStart(*line.m_file);
    window.DoModal(nullptr);
    return 0;
}
