// The filter wheel's settings: step mode, idle release, home sensor sense,
// speed, filter count, the longest way between two filters and the power
// output. OK writes the block, reads the board back and saves the options.
#pragma once

#include "device/fw_device.h"
#include "ui/settings_fields.h"
#include "ui/win32/dialog.h"

namespace quillmoor::ui {

class CWheelSetupDlg : public Dialog {
public:
    CWheelSetupDlg(CFWDevice* device, HWND owner);

private:
    void DoDataExchange(DataExchange& exchange) override;
    bool OnInitDialog() override;
    void OnOK() override;

    CFWDevice* Device;
    uint32_t ClientKey;  // never joins the client set: DisconnectMulti only traces
    UpDown FilterCountSpin, SpeedSpin;
    WheelFields Fields;
};

}  // namespace quillmoor::ui
