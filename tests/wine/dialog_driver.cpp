#include "dialog_driver.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "rendezvous.h"

namespace dialog_tests {
namespace {

BOOL CALLBACK AddVisibleDialog(HWND window, LPARAM list)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (IsWindowVisible(window) && std::wstring(className) == L"#32770")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleDialogs(DWORD thread)
{
    std::vector<HWND> found;
    EnumThreadWindows(thread, AddVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, nullptr);
    return text;
}

// Cancels every dialog of the thread, the innermost (disabled owners aside) first.
void CancelAll(DWORD thread)
{
    for (HWND window : VisibleDialogs(thread)) {
        if (IsWindowEnabled(window)) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
}

}  // namespace

std::string Describe(const DriveOutcome& outcome)
{
    return std::string(outcome.shown ? "shown" : "never shown") + (outcome.timedOut ? ", timed out" : "") +
           ", result " + std::to_string(outcome.result) +
           (outcome.result == -1 ? ", error " + std::to_string(outcome.error) : "");
}

DriveOutcome Drive(const std::function<INT_PTR()>& runDialog, const std::wstring& caption,
                   const std::function<void(HWND)>& script, DWORD deadlineMs)
{
    DriveOutcome outcome;
    const DWORD thread = GetCurrentThreadId();
    std::atomic<bool> ended{false};
    std::thread driver([&] {
        if (const HWND window = WaitForDialog(thread, caption)) {
            outcome.shown = true;
            script(window);
        }
    });
    std::thread watchdog([&] {
        const ULONGLONG deadline = GetTickCount64() + deadlineMs;
        while (!ended) {
            if (GetTickCount64() > deadline) {
                outcome.timedOut = true;
                CancelAll(thread);
            }
            Sleep(50);
        }
    });
    outcome.result = runDialog();
    outcome.error = GetLastError();
    ended = true;
    watchdog.join();
    driver.join();
    return outcome;
}

HWND WaitForDialog(DWORD thread, const std::wstring& caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleDialogs(thread)) {
                if (WindowText(window) == caption) found = window;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND WaitForOtherDialog(DWORD thread, HWND except, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleDialogs(thread)) {
                if (window != except) found = window;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

bool WaitUntilClosed(HWND window, DWORD timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > deadline) return false;
        Sleep(10);
    }
    return true;
}

std::wstring Text(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void Type(HWND dialog, int id, const std::wstring& text)
{
    // As typed over a selection: a multi-line edit reports no change for WM_SETTEXT.
    const HWND field = GetDlgItem(dialog, id);
    SendMessageW(field, EM_SETSEL, 0, -1);
    SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetText(HWND dialog, int id, const std::wstring& text)
{
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void PostClick(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
int Checked(HWND dialog, int id)
{
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

void Focus(HWND dialog, int id)
{
    // SetFocus does not reach another thread's windows; the dialog moves it.
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

void PostKey(HWND dialog, int id, WORD virtualKey)
{
    const HWND target = GetDlgItem(dialog, id);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (1u << 30) | (1u << 31));
}

void HoldControl(HWND dialog, bool down)
{
    // Posted keys do not change the key state; a thread that shares the
    // dialog thread's input can set it.
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
}

void ClickAt(HWND window, POINT point, bool doubleClick)
{
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
    if (!doubleClick) return;
    PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

std::wstring MessageText(HWND box) { return Text(box, 0xFFFF); }

bool DismissComplaint(HWND dialog, const std::wstring& expected)
{
    const HWND box = WaitForOtherDialog(GetWindowThreadProcessId(dialog, nullptr), dialog);
    if (!box) return false;
    const bool said = MessageText(box) == expected;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitUntilClosed(box) && said;
}

bool Screenshot(HWND window, const std::string& name)
{
    // A dialog just shown may still be painting its controls. Paint it all
    // now on its own thread, then give Wine a moment to put it on the screen.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    RECT r;
    GetWindowRect(window, &r);
    const std::string step = "shot-" + name + "-" + std::to_string(r.left) + "-" + std::to_string(r.top) + "-" +
                             std::to_string(r.right - r.left) + "-" + std::to_string(r.bottom - r.top);
    return wine_client::HarnessStep(step);
}

namespace {

// A label whose text needs more room, in its own font, than it has.
BOOL CALLBACK AddClippedLabel(HWND window, LPARAM out)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    const LONG type = GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK;
    const std::wstring text = WindowText(window);
    if (std::wstring(className) != L"Static" || text.empty() ||
        (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT))
        return TRUE;
    RECT room;
    GetClientRect(window, &room);
    RECT needed = room;
    const HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (needed.right - needed.left > room.right || needed.bottom - needed.top > room.bottom) {
        char line[160];
        std::snprintf(line, sizeof line, "needs %ldx%ld px, has %ldx%ld: ", needed.right - needed.left,
                      needed.bottom - needed.top, room.right, room.bottom);
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(n > 0 ? n - 1 : 0, '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
        *reinterpret_cast<std::string*>(out) += line + utf8 + "\n";
    }
    return TRUE;
}

}  // namespace

std::string ClippedLabels(HWND dialog)
{
    std::string found;
    EnumChildWindows(dialog, AddClippedLabel, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace dialog_tests
