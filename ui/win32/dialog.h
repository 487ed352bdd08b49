// A small modal-dialog layer on plain Win32: dialogs from this module's
// templates, a table of handlers per dialog, data exchange in both directions
// and thin wrappers of the controls the dialogs use. Every window is made with
// the Unicode calls; the common controls are version 6 through the module's
// own manifest, since the host program may have none.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmoor::ui {

// The module that holds the dialog code, and with it the templates.
HINSTANCE ThisModule();

std::wstring Widen(std::string_view ansi);
std::string Narrow(std::wstring_view wide);

// The hourglass while a scope waits for the board.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// --- Controls: a handle and the messages the dialogs send it --------------
struct Control {
    HWND hwnd = nullptr;
    void Enable(bool on) const { EnableWindow(hwnd, on ? TRUE : FALSE); }
};

struct UpDown : Control {
    void SetRange(int lower, int upper) const { SendMessageW(hwnd, UDM_SETRANGE32, lower, upper); }
};

struct CheckBox : Control {
    int State() const { return static_cast<int>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)); }
    void SetState(int state) const { SendMessageW(hwnd, BM_SETCHECK, state, 0); }
};

struct ComboBox : Control {
    void Clear() const { SendMessageW(hwnd, CB_RESETCONTENT, 0, 0); }
    int Add(const std::wstring& text) const;
    int Selection() const { return static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0)); }
    void Select(int index) const { SendMessageW(hwnd, CB_SETCURSEL, index, 0); }
};

class Dialog;

// One pass of data exchange: from the fields into the controls (show) or back
// (save). A text that does not parse stops the pass: the user is told, the
// field gets the focus, and the fields after it are left as they were.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saving) : dialog_(dialog), saving_(saving) {}

    bool Saving() const { return saving_; }
    bool Failed() const { return failed_; }

    void Attach(int id, Control& control);
    void Text(int id, int32_t& value);
    void Text(int id, uint32_t& value);
    void Text(int id, double& value);
    void Text(int id, std::string& value);  // ANSI text, as the controller keeps it
    void Check(int id, int32_t& state);
    void Selection(int id, int32_t& index);  // a combo box's selected entry, -1 = none

private:
    template <class T, class Parse, class Format>
    void Number(int id, T& value, Parse parse, Format format, const wchar_t* complaint);

    Dialog& dialog_;
    bool saving_;
    bool failed_ = false;
};

class Dialog {
public:
    Dialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog until it ends; the result of EndDialog, or -1 when the
    // window could not be made.
    INT_PTR DoModal();

    HWND Window() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void FocusItem(int id) const;  // and the dialog manager keeps it there
    std::wstring ItemText(int id) const;
    void SetItemText(int id, std::wstring_view text) const;
    void EnableItems(std::initializer_list<int> ids, bool on) const;

    // Runs the data exchange; false (with the user told) when a text did not parse.
    bool UpdateData(bool save);

protected:
    virtual void DoDataExchange(DataExchange&) {}
    // Shows the fields; true lets the dialog manager place the focus.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel() { EndDialog(hwnd_, IDCANCEL); }
    // Sees each message for this dialog and its controls before the dialog
    // manager does (Tab, Enter, Esc); true when it handled the message.
    virtual bool PreTranslateMessage(MSG&) { return false; }

    // The message map: a handler for a control's command or notification
    // code, or for a window message. Notification handlers return the
    // result handed back to the control.
    void OnCommand(int id, WORD code, std::function<void()> handler);
    void OnNotify(int id, UINT code, std::function<LRESULT(NMHDR&)> handler);
    void OnMessage(UINT message, std::function<void(WPARAM, LPARAM)> handler);

private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    struct CommandRoute {
        int id;
        WORD code;
        std::function<void()> handler;
    };
    struct NotifyRoute {
        int id;
        UINT code;
        std::function<LRESULT(NMHDR&)> handler;
    };
    struct MessageRoute {
        UINT message;
        std::function<void(WPARAM, LPARAM)> handler;
    };

    int templateId_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    std::vector<CommandRoute> commands_;
    std::vector<NotifyRoute> notifications_;
    std::vector<MessageRoute> messages_;
};

}  // namespace quillmoor::ui
