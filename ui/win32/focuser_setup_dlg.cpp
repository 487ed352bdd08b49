#include "ui/win32/focuser_setup_dlg.h"

#include "ui/win32/microsteps_dlg.h"

namespace quillmoor::ui {
namespace {

constexpr int kTemplate = 201;
constexpr int kBacklash = 3011, kBacklashSpin = 3021;
constexpr int kSensors = 3013, kSensorsSpin = 3023;
constexpr int kStepLength = 3015;
constexpr int kMaxPosition = 3017;
constexpr int kPositionShift = 3019;
constexpr int kStepList = 3036;
constexpr int kIdlePower = 3037, kIdlePowerSpin = 3022;
constexpr int kCompensation = 3038, kCompensationSpin = 3040;
constexpr int kSpeed = 3039, kSpeedSpin = 3041;
constexpr int kAveraging = 3045, kAveragingSpin = 3046;
constexpr int kThreshold = 3047, kThresholdSpin = 3048;
constexpr int kMicrosteps = 3053;

}  // namespace

CFocuserSetupDlg::CFocuserSetupDlg(CFWDevice* device, HWND owner) : Dialog(kTemplate, owner), Device(device)
{
    OnCommand(kMicrosteps, BN_CLICKED, [this] { OnMicrosteps(); });
}

void CFocuserSetupDlg::DoDataExchange(DataExchange& exchange)
{
    exchange.Attach(kStepList, StepList);
    exchange.Attach(kBacklashSpin, BacklashSpin);
    exchange.Attach(kSpeedSpin, SpeedSpin);
    exchange.Attach(kSensorsSpin, SensorsSpin);
    exchange.Attach(kCompensationSpin, CompensationSpin);
    exchange.Attach(kAveragingSpin, AveragingSpin);
    exchange.Attach(kThresholdSpin, ThresholdSpin);
    exchange.Attach(kIdlePowerSpin, IdlePowerSpin);
    exchange.Text(kBacklash, Fields.backlash);
    exchange.Text(kIdlePower, Fields.idlePower);
    exchange.Text(kSpeed, Fields.speed);
    exchange.Text(kCompensation, Fields.compensation);
    exchange.Text(kSensors, Fields.sensorCount);
    exchange.Text(kAveraging, Fields.averaging);
    exchange.Text(kThreshold, Fields.threshold);
    // The ASCOM options live in the controller object and are edited in place.
    exchange.Text(kStepLength, Device->Options.StepLenInMicrons);
    exchange.Text(kMaxPosition, Device->Options.AscomMaxFocusPos);
    exchange.Text(kPositionShift, Device->Options.AscomFocusShift);
}

bool CFocuserSetupDlg::OnInitDialog()
{
    if (Device->PortIsOpen()) {
        Fields = FocuserFieldsFrom(Device->Config);
        int32_t increment = 0;
        Device->ReadMicrostepInfo(increment, MicrostepsPerStep);
    }
    Dialog::OnInitDialog();
    SpeedSpin.SetRange(10, 1000);
    BacklashSpin.SetRange(0, 1000);
    SensorsSpin.SetRange(0, 8);
    CompensationSpin.SetRange(-1000, 1000);
    AveragingSpin.SetRange(0, 1000);
    ThresholdSpin.SetRange(0, 1000);
    IdlePowerSpin.SetRange(0, 255);

    StepList.Clear();
    for (const std::string& fraction : StepFractions(MicrostepsPerStep)) StepList.Add(Widen(fraction));
    StepList.Select(StepFractionIndex(MicrostepsPerStep, Device->Config.MicrostepIncrement));
    EnableItems({kMicrosteps}, Device->MicrostepTableLength > 0);
    return true;
}

void CFocuserSetupDlg::OnOK()
{
    if (!UpdateData(true)) return;
    if (Device->PortIsOpen()) {
        StoreFocuserFields(Fields, Device->Config);
        Device->Config.MicrostepIncrement =
            IncrementForFraction(MicrostepsPerStep, StepList.Selection(), Device->Config.MicrostepIncrement);
    }
    Device->WriteConfig();
    EndDialog(Window(), IDOK);
}

void CFocuserSetupDlg::OnMicrosteps()
{
    Device->ReadMicrostepTable();
    CMicrostepsDlg(Device, Window()).DoModal();
}

}  // namespace quillmoor::ui
