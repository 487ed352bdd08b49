// The focuser's settings: motor speed, idle power, backlash, step fraction,
// temperature compensation from the board's configuration block, and the
// three ASCOM presentation options of the driver. OK writes the block back.
#pragma once

#include "device/fw_device.h"
#include "ui/settings_fields.h"
#include "ui/win32/dialog.h"

namespace quillmoor::ui {

class CFocuserSetupDlg : public Dialog {
public:
    CFocuserSetupDlg(CFWDevice* device, HWND owner);

private:
    void DoDataExchange(DataExchange& exchange) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnMicrosteps();

    CFWDevice* Device;
    ComboBox StepList;
    UpDown BacklashSpin, SpeedSpin, SensorsSpin, CompensationSpin, AveragingSpin, ThresholdSpin, IdlePowerSpin;
    FocuserFields Fields;
    int32_t MicrostepsPerStep = 0;  // N as the board reports it
};

}  // namespace quillmoor::ui
