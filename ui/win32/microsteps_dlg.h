// The microsteps table: generate the focuser's drive profile from a curve,
// bend it with Pow, invert it, edit it as text, see it drawn, and send it.
// Works on the controller object's copy of the table; the board gets it only
// through "Apply".
#pragma once

#include "device/fw_device.h"
#include "ui/microsteps_table.h"
#include "ui/win32/dialog.h"

namespace quillmoor::ui {

class CMicrostepsDlg : public Dialog {
public:
    CMicrostepsDlg(CFWDevice* device, HWND owner);

private:
    void DoDataExchange(DataExchange& exchange) override;
    bool OnInitDialog() override;
    void OnOK() override;  // "Apply"

    void OnGenerate(CurveShape shape);
    void OnInverse();
    void OnPaint();
    void OnTableEdit();
    void OnPowEdit() { RecomputeTable(); }

    void TableToText();
    void RecomputeTable();
    int Length() const;  // n, the valid entries of the table

    CheckBox InverseCheck;
    UpDown PowSpin;
    CFWDevice* Device;
    MicrostepCurve Curve{};
    bool CurveValid = false;
};

}  // namespace quillmoor::ui
