#include "ui/win32/wheel_setup_dlg.h"

namespace quillmoor::ui {
namespace {

constexpr int kTemplate = 203;
constexpr int kSpeed = 3007, kSpeedSpin = 3016;
constexpr int kHalfStep = 3008;
constexpr int kReleaseIdle = 3009;
constexpr int kSensorSeesHome = 3010;
constexpr int kPowerOutput = 3012;
constexpr int kFilterCount = 3014, kFilterCountSpin = 3020;
constexpr int kMaxSteps = 3049;
// The power output entries are strings 4000.. of the module.
constexpr int kPowerOutputEntries = 4000;

std::wstring ModuleString(int id)
{
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ThisModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

CWheelSetupDlg::CWheelSetupDlg(CFWDevice* device, HWND owner)
    : Dialog(kTemplate, owner), Device(device), ClientKey(NextClientKey())
{
}

void CWheelSetupDlg::DoDataExchange(DataExchange& exchange)
{
    exchange.Attach(kFilterCountSpin, FilterCountSpin);
    exchange.Attach(kSpeedSpin, SpeedSpin);
    exchange.Check(kHalfStep, Fields.halfStep);
    exchange.Check(kReleaseIdle, Fields.releaseIdle);
    exchange.Selection(kPowerOutput, Fields.powerOutput);
    exchange.Text(kSpeed, Fields.speed);
    exchange.Check(kSensorSeesHome, Fields.sensorSeesHome);
    exchange.Text(kFilterCount, Fields.filterCount);
    exchange.Text(kMaxSteps, Fields.maxSteps);
    // What only the board can take stays greyed while there is no board.
    EnableItems({kSpeedSpin, kHalfStep, kReleaseIdle, kSensorSeesHome, kPowerOutput}, Device->PortIsOpen());
}

bool CWheelSetupDlg::OnInitDialog()
{
    if (Device->PortIsOpen()) Fields = WheelFieldsFrom(Device->Config);
    ComboBox powerOutput;
    powerOutput.hwnd = Item(kPowerOutput);
    for (int i = 0; i < kPowerOutputModes; ++i) powerOutput.Add(ModuleString(kPowerOutputEntries + i));
    Dialog::OnInitDialog();
    SpeedSpin.SetRange(10, 1000);
    FilterCountSpin.SetRange(2, 10);
    return true;
}

void CWheelSetupDlg::OnOK()
{
    if (!UpdateData(true)) return;
    if (Device->PortIsOpen()) StoreWheelFields(Fields, Device->Config);
    // The results are not shown: the read-back tells what the board holds.
    Device->WriteConfig();
    Device->InitAfterConnect();
    Device->SaveSettings();
    if (Device->PortIsOpen()) Device->DisconnectMulti(ClientKey);
    EndDialog(Window(), IDOK);
}

}  // namespace quillmoor::ui
