#pragma once
// The "Code Selection" dialog: the user names a Pronto CCF file, sees its keys at
// their Pronto positions and assigns their IR codes to the box's function keys. The
// dialog draws and forwards every event to the code selection logic of the core,
// which owns the CCF reader; the dialog owns the key windows.

#include "gui/qt/DialogUnits.h"
#include "gui/qt/FunctionKeyButton.h"
#include "gui/qt/SourceKeyButton.h"
#include "ir/CodeSelection.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvalin
{

// Results of DoModal.
constexpr int kCodeSelectionOk = 1;
constexpr int kCodeSelectionCancel = 2;

// Control ids of the dialog's template that have no constant in the logic.
constexpr int kSourceFileBoxId = 1000;
constexpr int kBrowseId = 1001;
constexpr int kClearAllId = 1016;
constexpr int kCancelId = 1017;
constexpr int kOkId = 1018;
constexpr int kCodeTextId = 1019;
constexpr int kDefaultId = 1020;
constexpr int kFunctionTextId = 1021;
constexpr int kEraseId = 1022;

class CCodeSelectionDlg : public QDialog, private ICodeSelectionView
{
    Q_OBJECT

  public:
    // Every function key starts empty: the dialog takes no codes in.
    explicit CCodeSelectionDlg(QWidget* parent = nullptr);
    ~CCodeSelectionDlg() override;

    // Runs the dialog modally: kCodeSelectionOk through "OK" (or Enter where no push
    // button has the focus), kCodeSelectionCancel through "CANCEL", Escape or the
    // close box.
    int DoModal();

    // After "OK": 14 IR codes in function-index order; empty before.
    const std::vector<uint32_t>& Codes() const { return m_logic.Codes(); }
    uint32_t GetIrType() const { return m_logic.GetIrType(); }

    // Replaces the message box ("CAN NOT OPEN", "No IR code!") with `hook`; an empty
    // hook brings the box back.
    using MessageHook = std::function<void(const QString& text)>;
    void SetMessageHook(MessageHook hook) { m_messageHook = std::move(hook); }

    // The controls, for the window that embeds the dialog and for tests. Each control
    // is also found by its object name "control<id>".
    QLineEdit* SourceFileBox() const { return m_fileEdit; }
    CFunctionKeyButton* FunctionKey(int k) const { return m_functionKeys[std::size_t(k)]; }
    const std::vector<CSourceKeyButton*>& SourceKeys() const { return m_sourceKeys; }
    QLabel* CodeText() const { return m_codeText; }
    QLabel* FunctionText() const { return m_functionText; }
    QPushButton* Button(int id) const;
    const CCodeSelection& Logic() const { return m_logic; }

    void done(int result) override;
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab, the arrow keys and Enter on the source keys and their neighbours.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A .ccf file dropped on the dialog becomes its source file.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildControls();
    QPushButton* AddPushButton(int id, const QString& text, int x, int y, int w, int h);
    QRect FromDialogUnits(int x, int y, int w, int h) const;
    // Chains the controls' tab order as the layout reads.
    void SetTabOrder();
    QWidget* ControlById(int id) const;
    // The source key where Tab enters their group, the first in reading order; null
    // while there is none.
    QWidget* FirstSourceKey() const;
    // Moves the focus along the tab order from the source keys' group.
    void TabFromSourceKeys(bool bForward);

    void OnBrowse();
    void OnSourceTextChanged(const QString& text);
    void OnSourceEditingFinished();
    void OnDefault();
    void OnOkButton();

    // ICodeSelectionView
    void ShowMessage(const std::string& text, EMessageKind kind) override;
    void SetCodeText(const std::string& text) override;
    void SetFunctionText(const std::string& text) override;
    void RemoveSourceKeys() override;
    void AddSourceKey(const CSourceKeyState& key, const CIrKeyRecord& record) override;
    void FunctionKeyChanged(int k) override;
    void FocusCodeText() override;

    CCodeSelection m_logic;
    std::array<CFunctionKeyButton*, kFunctionKeyCount> m_functionKeys{};
    QLabel* m_functionText = nullptr;
    QLabel* m_codeText = nullptr;
    QLineEdit* m_fileEdit = nullptr;
    std::vector<CSourceKeyButton*> m_sourceKeys;
    MessageHook m_messageHook;
    CBaseUnits m_units;
    // The source keys' pixel places and pictures are multiplied by this, across and
    // down: 1, or less where the dialog's font was made smaller to fit the screen.
    QSizeF m_keyScale{1.0, 1.0};
    bool m_bEnded = false;
};

} // namespace corvalin
