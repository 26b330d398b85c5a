#pragma once
// A main window for the model's tests: it records what the model tells it, answers
// the file, value entry and code selection dialogs as the test says, and runs the
// jobs posted to the window's thread when the test pumps them.

#include "gui/model/JobQueue.h"
#include "gui/model/MainDialogModel.h"
#include "gui/model/MainDialogView.h"
#include "tests/DeviceTestSupport.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvalin::testing
{

class CFakeView : public IMainDialogView
{
  public:
    void SetTitle(const std::string& text) override { m_strTitle = text; }
    void SetText(EMainControl control, const std::string& text) override
    {
        m_texts[control] = text;
        if (control == EMainControl::Status)
            m_statusTexts.push_back(text);
    }
    void SetDeviceHint(const std::string& text) override { m_deviceHints.push_back(text); }
    void EnableControl(EMainControl control, bool enabled) override { m_enabled[control] = enabled; }
    void FillList(EMainControl control, const std::vector<std::string>& lines) override
    {
        m_lists[control] = lines;
        if (control == EMainControl::Product)
            m_nProductShown = -1;
    }
    void SelectEntry(EMainControl, int index) override { m_nProductShown = index; }
    void SetProgressRange(int minimum, int maximum) override { m_range = {minimum, maximum}; }
    void SetProgressPos(int position) override { m_positions.push_back(position); }
    void SetProgressColor(uint32_t color) override { m_colors.push_back(color); }
    void StartTimer(int periodMs) override { m_nTimerMs = periodMs; }
    void StopTimer() override { m_nTimerMs = 0; }
    std::optional<std::filesystem::path> ChooseOpenFile(const CFileDialog& dialog) override
    {
        ++m_nOpenAsked;
        m_lastDialog = dialog;
        return m_openAnswer;
    }
    std::optional<std::filesystem::path> ChooseSaveFile(const CFileDialog& dialog) override
    {
        ++m_nSaveAsked;
        m_lastDialog = dialog;
        return m_saveAnswer;
    }
    void ShowMessage(const std::string& text, EMessageIcon icon) override
    {
        m_messages.push_back(text);
        m_messageIcons.push_back(icon);
    }
    void OpenNotice(const std::string& text, EMessageIcon icon) override
    {
        m_notices.push_back(text);
        m_noticeIcons.push_back(icon);
    }
    bool AskYesNo(const std::string& text) override
    {
        m_questions.push_back(text);
        return m_bYes;
    }
    void ShowAbout() override
    {
        ++m_nAboutShown;
        if (m_onAbout)
            m_onAbout();
    }
    bool RunValueEntry(CValueEntry& entry) override
    {
        m_lastEntry = entry;
        if (m_onValueEntry)
            m_onValueEntry();
        if (!m_valueAnswer)
            return false;
        // What the dialog's OK does with the typed text or the chosen entry.
        AcceptValueEntry(entry, m_valueAnswer->first, m_valueAnswer->second);
        return true;
    }
    CIrDialogOutcome RunCodeSelection() override
    {
        ++m_nCodeSelections;
        return m_codeAnswer;
    }
    void PostToUiThread(std::function<void()> job) override { m_posted.Push(std::move(job)); }

    // Runs the posted jobs, as the window's event loop does.
    void Pump() { m_posted.RunAll(); }
    // Pumps until `condition` holds; false after `seconds`.
    bool PumpUntil(const std::function<bool()>& condition, int seconds = 30)
    {
        return WaitUntil(
            [&]
            {
                Pump();
                return condition();
            },
            seconds);
    }

    std::string Text(EMainControl control) { return m_texts[control]; }
    bool Enabled(EMainControl control) { return m_enabled[control]; }
    std::vector<std::string>& List(EMainControl control) { return m_lists[control]; }

    std::string m_strTitle;
    std::map<EMainControl, std::string> m_texts;
    std::vector<std::string> m_statusTexts;
    // Every hint the device field was given, the last one shown.
    std::vector<std::string> m_deviceHints;
    std::map<EMainControl, bool> m_enabled;
    std::map<EMainControl, std::vector<std::string>> m_lists;
    int m_nProductShown = -1;
    std::pair<int, int> m_range{-1, -1};
    std::vector<int> m_positions;
    std::vector<uint32_t> m_colors;
    int m_nTimerMs = 0;
    std::optional<std::filesystem::path> m_openAnswer;
    std::optional<std::filesystem::path> m_saveAnswer;
    int m_nOpenAsked = 0;
    // The file dialog asked for last.
    CFileDialog m_lastDialog;
    int m_nSaveAsked = 0;
    std::vector<std::string> m_messages;
    std::vector<EMessageIcon> m_messageIcons;
    std::vector<std::string> m_notices;
    std::vector<EMessageIcon> m_noticeIcons;
    std::vector<std::string> m_questions;
    // The answer to every question.
    bool m_bYes = false;
    int m_nAboutShown = 0;
    // Runs while the About box is open.
    std::function<void()> m_onAbout;
    // The value entry's answer: typed text and chosen index; none cancels.
    std::optional<std::pair<std::string, int>> m_valueAnswer;
    CValueEntry m_lastEntry;
    // Runs while the value entry dialog is open.
    std::function<void()> m_onValueEntry;
    CIrDialogOutcome m_codeAnswer;
    int m_nCodeSelections = 0;

  private:
    CJobQueue m_posted;
};

// The timer is the test's: a tick happens when the test calls OnTimer.
inline CWindowTiming ManualTicks()
{
    CWindowTiming timing;
    timing.m_nPresencePollMs = 24 * 3600 * 1000;
    return timing;
}

} // namespace corvalin::testing
