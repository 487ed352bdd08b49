#include "ui/win32/dialog.h"

#include <commctrl.h>

#include "ui/text_numbers.h"

namespace quillmoor::ui {
namespace {

// Resource id of the manifest that asks for common controls version 6.
constexpr WORD kManifestId = 2;

// The module's manifest made current for the life of a scope: the dialogs'
// controls then come from common controls version 6 whatever the host uses.
class VisualStylesScope {
public:
    VisualStylesScope()
    {
        ACTCTXW context = {sizeof context};
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.hModule = ThisModule();
        context.lpResourceName = MAKEINTRESOURCEW(kManifestId);
        handle_ = CreateActCtxW(&context);
        if (handle_ != INVALID_HANDLE_VALUE && !ActivateActCtx(handle_, &cookie_)) {
            ReleaseActCtx(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
        const INITCOMMONCONTROLSEX classes = {sizeof classes,
                                              ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&classes);
    }
    ~VisualStylesScope()
    {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        DeactivateActCtx(0, cookie_);
        ReleaseActCtx(handle_);
    }
    VisualStylesScope(const VisualStylesScope&) = delete;
    VisualStylesScope& operator=(const VisualStylesScope&) = delete;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

}  // namespace

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring Widen(std::string_view ansi)
{
    if (ansi.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty()) return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length, nullptr,
                        nullptr);
    return ansi;
}

int ComboBox::Add(const std::wstring& text) const
{
    return static_cast<int>(SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// --- Data exchange ---------------------------------------------------------

void DataExchange::Attach(int id, Control& control) { control.hwnd = dialog_.Item(id); }

template <class T, class Parse, class Format>
void DataExchange::Number(int id, T& value, Parse parse, Format format, const wchar_t* complaint)
{
    if (failed_) return;
    if (!saving_) {
        dialog_.SetItemText(id, Widen(format(value)));
        return;
    }
    if (const auto parsed = parse(Narrow(dialog_.ItemText(id)))) {
        value = *parsed;
        return;
    }
    failed_ = true;
    MessageBoxW(dialog_.Window(), complaint, L"Quillmoor", MB_OK | MB_ICONEXCLAMATION);
    const HWND field = dialog_.Item(id);
    SendMessageW(dialog_.Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

void DataExchange::Text(int id, int32_t& value)
{
    Number(id, value, ParseSigned, [](int32_t v) { return std::to_string(v); }, L"Please enter an integer.");
}

void DataExchange::Text(int id, uint32_t& value)
{
    Number(id, value, ParseUnsigned, [](uint32_t v) { return std::to_string(v); },
           L"Please enter a positive integer.");
}

void DataExchange::Text(int id, double& value)
{
    Number(id, value, ParseReal, FormatReal, L"Please enter a number.");
}

void DataExchange::Text(int id, std::string& value)
{
    if (failed_) return;
    if (saving_) value = Narrow(dialog_.ItemText(id));
    else dialog_.SetItemText(id, Widen(value));
}

void DataExchange::Check(int id, int32_t& state)
{
    if (failed_) return;
    const CheckBox box{{dialog_.Item(id)}};
    if (saving_) state = box.State();
    else box.SetState(state);
}

void DataExchange::Selection(int id, int32_t& index)
{
    if (failed_) return;
    const ComboBox combo{{dialog_.Item(id)}};
    if (saving_) index = combo.Selection();
    else combo.Select(index);  // out of range selects nothing
}

// --- The dialog ------------------------------------------------------------

// The modal dialogs running on this thread, the innermost last.
static thread_local std::vector<Dialog*> runningDialogs;

INT_PTR Dialog::DoModal()
{
    VisualStylesScope styles;
    // The dialog manager's own loop gives no other way to see keys first.
    // One filter serves the outermost dialog and every one nested in it.
    const HHOOK filter = runningDialogs.empty()
                             ? SetWindowsHookExW(WH_MSGFILTER, &Dialog::MessageFilter, nullptr, GetCurrentThreadId())
                             : nullptr;
    runningDialogs.push_back(this);
    const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(templateId_), owner_,
                                           &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
    runningDialogs.pop_back();
    if (filter) UnhookWindowsHookEx(filter);
    return result;
}

LRESULT CALLBACK Dialog::MessageFilter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX) {
        MSG& message = *reinterpret_cast<MSG*>(lParam);
        for (auto dialog = runningDialogs.rbegin(); dialog != runningDialogs.rend(); ++dialog) {
            const HWND window = (*dialog)->hwnd_;
            if (!window || (message.hwnd != window && !IsChild(window, message.hwnd))) continue;
            if ((*dialog)->PreTranslateMessage(message)) return 1;
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Dialog::FocusItem(int id) const
{
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

std::wstring Dialog::ItemText(int id) const
{
    const HWND item = Item(id);
    const int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), length + 1)));
    return text;
}

void Dialog::SetItemText(int id, std::wstring_view text) const
{
    SetDlgItemTextW(hwnd_, id, std::wstring(text).c_str());
}

void Dialog::EnableItems(std::initializer_list<int> ids, bool on) const
{
    for (int id : ids) EnableWindow(Item(id), on ? TRUE : FALSE);
}

bool Dialog::UpdateData(bool save)
{
    DataExchange exchange(*this, save);
    DoDataExchange(exchange);
    return !exchange.Failed();
}

bool Dialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void Dialog::OnOK()
{
    if (UpdateData(true)) EndDialog(hwnd_, IDOK);
}

void Dialog::OnCommand(int id, WORD code, std::function<void()> handler)
{
    commands_.push_back({id, code, std::move(handler)});
}

void Dialog::OnNotify(int id, UINT code, std::function<LRESULT(NMHDR&)> handler)
{
    notifications_.push_back({id, code, std::move(handler)});
}

void Dialog::OnMessage(UINT message, std::function<void(WPARAM, LPARAM)> handler)
{
    messages_.push_back({message, std::move(handler)});
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR Dialog::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        // Buttons, Enter and Esc all arrive as BN_CLICKED (0).
        if (code == BN_CLICKED && id == IDOK) { OnOK(); return TRUE; }
        if (code == BN_CLICKED && id == IDCANCEL) { OnCancel(); return TRUE; }
        for (const CommandRoute& route : commands_) {
            if (route.id == id && route.code == code) { route.handler(); return TRUE; }
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        NMHDR& header = *reinterpret_cast<NMHDR*>(lParam);
        for (const NotifyRoute& route : notifications_) {
            if (route.id == static_cast<int>(header.idFrom) && route.code == header.code) {
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, route.handler(header));
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        return FALSE;
    default:
        for (const MessageRoute& route : messages_) {
            if (route.message == message) { route.handler(wParam, lParam); return TRUE; }
        }
        return FALSE;
    }
}

}  // namespace quillmoor::ui
