#include "ui/win32/control_dlg.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <atomic>

#include "ui/control_rules.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/focuser_setup_dlg.h"
#include "ui/win32/wheel_setup_dlg.h"

namespace quillmoor::ui {

using namespace control_ids;

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollPeriodMs = 1000;
constexpr int kLastPortItem = 15;
constexpr wchar_t kSettingsFilter[] = L"Settings File (*.fws)\0*.fws\0";

// The path the user chose in the save or open dialog, or an empty text.
std::wstring AskForSettingsFile(HWND owner, bool save)
{
    wchar_t path[MAX_PATH] = {};
    OPENFILENAMEW dialog = {sizeof dialog};
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kSettingsFilter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"fws";
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? std::wstring(path) : std::wstring();
}

}  // namespace

CControlDlg::CControlDlg(CFWDevice* device, HWND owner)
    : Dialog(kTemplate, owner), Device(device), ClientKey(NextClientKey())
{
    OnCommand(kConnect, BN_CLICKED, [this] { OnConnect(); });
    OnCommand(kDisconnect, BN_CLICKED, [this] { OnDisconnect(); });
    OnNotify(kFilterList, NM_DBLCLK, [this](NMHDR& header) { return OnListDblClick(header); });
    OnNotify(kFilterList, LVN_ENDLABELEDITW, [this](NMHDR& header) { return OnListEndLabelEdit(header); });
    OnMessage(WM_TIMER, [this](WPARAM, LPARAM) { OnTimer(); });
    OnNotify(kFilterList, NM_CLICK, [this](NMHDR& header) { return OnListClick(header); });
    OnNotify(kPositionSpin, UDN_DELTAPOS, [this](NMHDR& header) {
        OnPositionSpin(reinterpret_cast<NMUPDOWN&>(header).iDelta);
        return LRESULT{0};
    });
    OnCommand(kWheelSettings, BN_CLICKED, [this] { OnWheelSettings(); });
    OnCommand(kFocuserSettings, BN_CLICKED, [this] { OnFocuserSettings(); });
    OnNotify(kMinStepSpin, UDN_DELTAPOS, [this](NMHDR& header) {
        OnMinStepSpin(reinterpret_cast<NMUPDOWN&>(header).iDelta);
        return LRESULT{0};
    });
    for (int row = 0; row < kSensorRows; ++row) OnCommand(kAuto0 + row, BN_CLICKED, [this, row] { OnAutoCheck(row); });
    OnCommand(kMinStep, EN_UPDATE, [this] { OnMinStepEdit(); });
    OnCommand(kSet, BN_CLICKED, [this] { OnSet(); });
    OnCommand(kGo, BN_CLICKED, [this] { OnGo(); });
    OnCommand(kSave, BN_CLICKED, [this] { OnSave(); });
    OnCommand(kLoad, BN_CLICKED, [this] { OnLoad(); });
}

void CControlDlg::DoDataExchange(DataExchange& exchange)
{
    exchange.Attach(kMinStepSpin, MinStepSpin);
    exchange.Attach(kFilterList, FilterList);
    exchange.Selection(kPort, PortIndex);
    for (int row = 0; row < kSensorRows; ++row) exchange.Text(kSensorName0 + row, Device->TermometerName[row]);

    const ControlEnabling enabling = EnablingFor(Connected(), Device->FocuserPresent, Device->WheelPresent);
    EnableItems({kConnect, kPort}, enabling.connect);
    EnableItems({kDisconnect, kSave, kLoad}, enabling.linkActions);
    EnableItems({kMinStep, kMinStepSpin, kPositionSpin, kGo, kTarget, kSet, kFocuserSettings},
                enabling.focuserControls);
    EnableItems({kWheelSettings}, enabling.wheelSettings);
    // The timer enables each box whose sensor answers.
    for (int row = 0; row < kSensorRows; ++row) EnableItems({kAuto0 + row}, false);
}

bool CControlDlg::OnInitDialog()
{
    PortIndex = Device->Options.ComPort;
    ComboBox ports;
    ports.hwnd = Item(kPort);
    ports.Add(L"Auto");
    for (int port = 1; port <= kLastPortItem; ++port) ports.Add(L"COM" + std::to_wstring(port));
    Dialog::OnInitDialog();

    FilterIcons = ImageList_LoadImageW(ThisModule(), MAKEINTRESOURCEW(kRowIcons), 16, 16, RGB(255, 0, 255),
                                       IMAGE_BITMAP, LR_CREATEDIBSECTION);
    SendMessageW(FilterList.hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(FilterIcons));
    SetUpFilterColumns();
    FillFilterList();
    SetItemText(kMinStep, std::to_wstring(Device->MinMotorStep));
    if (!Connected()) {
        SetTimer(Window(), kPollTimer, kPollPeriodMs, nullptr);
        return true;
    }
    PollNow();
    FocusItem(kPosition);
    return false;  // the focus stays where it was put
}

void CControlDlg::OnConnect()
{
    UpdateData(true);
    Device->Options.ComPort = PortIndex;
    WaitCursor wait;
    if (!Device->ConnectMulti(ClientKey)) return;
    PortIndex = Device->Options.ComPort;
    UpdateData(false);
    FillFilterList();
    PollNow();
    FocusItem(kPosition);
}

void CControlDlg::OnDisconnect()
{
    UpdateData(true);
    Device->DisconnectMulti(ClientKey);
    if (!Connected()) FilterList.DeleteAll();
    UpdateData(false);
    // The button that had the focus may be disabled now: the keys (Enter
    // connects) need a control that takes them.
    const HWND focus = GetFocus();
    if (!focus || !IsWindowEnabled(focus)) FocusItem(kPort);
}

void CControlDlg::OnCancel()
{
    UpdateData(true);
    Device->Options.ComPort = PortIndex;
    Device->DisconnectMulti(ClientKey);
    EndDialog(Window(), IDCANCEL);
}

void CControlDlg::OnOK()
{
    Device->DisconnectMulti(ClientKey);
    EndDialog(Window(), IDOK);
}

// --- The one-second poll ---------------------------------------------------

// The first reading comes as soon as the link is up, not a second later; the
// ticks then go on a second apart from it.
void CControlDlg::PollNow()
{
    OnTimer();
    SetTimer(Window(), kPollTimer, kPollPeriodMs, nullptr);
}

void CControlDlg::OnTimer()
{
    const bool anything = Device->FocuserPresent || Device->WheelPresent;
    if (anything && !Device->Busy && RefreshEnabled) {
        if (Device->FocuserPresent) PollFocuser();
        int32_t filter = -1;
        const bool answered = Device->WheelPresent && Device->GetCurrentFilter(filter);
        FilterList.Enable(answered);
        if (answered && filter != ShownFilter) RefreshFilterIcons();
    }
    if (CellEdit && GetFocus() != CellEdit) CommitCellEdit();
}

void CControlDlg::PollFocuser()
{
    const int rows = std::min<int>(Device->Config.SensorCount, kSensorRows);
    for (int row = 0; row < rows; ++row) {
        float degrees = 0;
        const bool answered = Device->ReadTemperature(row, degrees);
        EnableItems({kAuto0 + row}, answered);
        SetItemText(kTemperature0 + row, Widen(TemperatureText(answered, degrees)));
    }
    int32_t sensor = -1;
    if (Device->GetAutoCompSensor(sensor)) AutoSensor = sensor;
    UpdateAutoChecks();
    int32_t position = 0;
    if (Device->GetFocuserPosition(position)) ShowPosition(position);
    else SetItemText(kPosition, L"???");
    int32_t direction = 0;
    const bool answered = Device->GetFocuserDirection(direction);
    SetItemText(kDirection, Widen(DirectionText(answered, direction)));
}

void CControlDlg::UpdateAutoChecks()
{
    for (int row = 0; row < kSensorRows; ++row) {
        const AutoState state = AutoCheckState(row, AutoSensor, Device->PreferredSensor());
        SendMessageW(Item(kAuto0 + row), BM_SETCHECK, static_cast<WPARAM>(state), 0);
    }
}

void CControlDlg::OnAutoCheck(int row)
{
    // The boxes do not toggle themselves: the state is the one last shown.
    const auto shown = static_cast<AutoState>(SendMessageW(Item(kAuto0 + row), BM_GETCHECK, 0, 0));
    const AutoChoice choice = AutoCheckClicked(row, shown);
    std::atomic_ref(Device->Options.AscomPreferredTermometer).store(choice.preferredSensor);
    if (choice.wantedAutoSensor != AutoSensor) {
        AutoSensor = choice.wantedAutoSensor;
        Device->SetAutoCompSensor(choice.wantedAutoSensor);
    }
    UpdateAutoChecks();
}

// --- The focuser -------------------------------------------------------------

void CControlDlg::ShowPosition(int32_t position) { SetItemText(kPosition, std::to_wstring(position)); }

void CControlDlg::OnGo()
{
    WaitCursor wait;
    Device->MoveFocuserTo(FocuserTarget(Narrow(ItemText(kTarget))));
}

void CControlDlg::OnSet() { Device->SetFocuserPosition(FocuserTarget(Narrow(ItemText(kTarget)))); }

void CControlDlg::OnPositionSpin(int delta)
{
    // The up arrow proposes -1: it raises the position by one minimum step.
    const int64_t target = int64_t{Device->FocuserPosition} - int64_t{Device->MinMotorStep} * delta;
    Device->MoveFocuserTo(static_cast<int32_t>(target));
    ShowPosition(Device->FocuserPosition);
}

void CControlDlg::OnMinStepSpin(int delta)
{
    Device->MinMotorStep = MinStepAfterSpin(Device->MinMotorStep, delta);
    SetItemText(kMinStep, std::to_wstring(Device->MinMotorStep));
}

void CControlDlg::OnMinStepEdit() { Device->MinMotorStep = MinStepFromText(Narrow(ItemText(kMinStep))); }

// --- Keys: Enter connects; Ctrl or the position field with digits and arrows
// turns the wheel ------------------------------------------------------------

bool CControlDlg::PreTranslateMessage(MSG& message)
{
    if (message.message != WM_KEYDOWN) return false;
    if (message.wParam == VK_RETURN) {
        if (!Connected()) OnConnect();
        return true;  // Enter never presses a default button
    }
    const bool positionFocused = GetFocus() == Item(kPosition);
    // AltGr arrives as Ctrl+Alt and types characters on many layouts.
    const bool controlHeld = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    if (!positionFocused && !controlHeld) return false;
    const auto filter = FilterForKey(static_cast<unsigned>(message.wParam), static_cast<int>(Device->Filters.Size()),
                                     Device->CurrentFilter);
    if (!filter) return false;
    Device->GotoFilter(*filter);
    return true;
}

// --- Settings dialogs and files --------------------------------------------

template <class Run>
void CControlDlg::WithoutPolling(Run run, bool refreshAfter)
{
    RefreshEnabled = false;
    run();
    if (refreshAfter) {
        UpdateData(false);
        FillFilterList();
    }
    RefreshEnabled = true;
}

void CControlDlg::OnWheelSettings()
{
    WithoutPolling([this] { CWheelSetupDlg(Device, Window()).DoModal(); }, true);
}

void CControlDlg::OnFocuserSettings()
{
    WithoutPolling([this] { CFocuserSetupDlg(Device, Window()).DoModal(); }, true);
}

void CControlDlg::OnSave()
{
    WithoutPolling(
        [this] {
            const std::wstring path = AskForSettingsFile(Window(), true);
            if (!path.empty()) Device->SaveToFile(Narrow(path));
        },
        false);
}

void CControlDlg::OnLoad()
{
    WithoutPolling(
        [this] {
            const std::wstring path = AskForSettingsFile(Window(), false);
            if (!path.empty() && !Device->LoadFromFile(Narrow(path)))
                MessageBoxW(Window(), L"Load failed", L"Load Failed", MB_OK);
        },
        true);
}

}  // namespace quillmoor::ui
