// Drives a modal dialog the way a person would: the dialog runs on the
// calling thread, a script on a second thread finds its window, types into
// fields and presses buttons with window messages. A dialog still open at the
// deadline is cancelled, with everything it opened, and the run fails.
#pragma once

#include <windows.h>

#include <functional>
#include <string>


namespace dialog_tests {

struct DriveOutcome {
    bool shown = false;      // the script found the window
    bool timedOut = false;   // the deadline had to close it
    INT_PTR result = -1;     // what DoModal returned
    DWORD error = 0;         // the last error after it
};

// "shown, result 2" and the like, for a failure's detail.
std::string Describe(const DriveOutcome& outcome);

// `runDialog` runs the modal loop on this thread (DoModal, or a member that
// shows a dialog) and returns its result.
DriveOutcome Drive(const std::function<INT_PTR()>& runDialog, const std::wstring& caption,
                   const std::function<void(HWND)>& script, DWORD deadlineMs = 30000);

// The visible dialog of the thread with this caption, waited for.
HWND WaitForDialog(DWORD thread, const std::wstring& caption, DWORD timeoutMs = 10000);
// The first visible dialog of the thread other than `except` (a message box).
HWND WaitForOtherDialog(DWORD thread, HWND except, DWORD timeoutMs = 10000);
// Waits until the window is gone.
bool WaitUntilClosed(HWND window, DWORD timeoutMs = 10000);
// Runs `condition` every 10 ms until it holds.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

std::wstring Text(HWND dialog, int id);
void Type(HWND dialog, int id, const std::wstring& text);  // replaces the text; EN_CHANGE follows
void SetText(HWND dialog, int id, const std::wstring& text);  // WM_SETTEXT, for any control
void Click(HWND dialog, int id);                            // returns once handled
void PostClick(HWND dialog, int id);                        // for buttons that open a modal window
bool Enabled(HWND dialog, int id);
int Checked(HWND dialog, int id);
void Focus(HWND dialog, int id);
void PostKey(HWND dialog, int id, WORD virtualKey);
// Holds Ctrl down (or lets it go) as the dialog's thread sees the keyboard.
void HoldControl(HWND dialog, bool down);
// A click (or a double click) of the left button at a point of the window.
void ClickAt(HWND window, POINT point, bool doubleClick = false);
std::wstring MessageText(HWND box);  // the text of a message box
// Dismisses the message box that the dialog raised; true when it said `expected`.
bool DismissComplaint(HWND dialog, const std::wstring& expected);

// The labels (static texts) that cannot show their whole text in their own
// font and size, one line each; empty when every label fits.
std::string ClippedLabels(HWND dialog);

// Asks the harness to save a picture of the window as NAME.png.
bool Screenshot(HWND window, const std::string& name);

}  // namespace dialog_tests
