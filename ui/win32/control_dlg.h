// The control dialog: the one window in which a user picks the port,
// connects, watches the temperatures, position and direction, moves the
// focuser and the wheel, edits the filter table and saves or loads a
// settings file. It is one more client of the controller object, beside the
// ASCOM objects; a one-second timer keeps it up to date.
#pragma once

#include "device/fw_device.h"
#include "ui/win32/dialog.h"
#include "ui/win32/list_view.h"

namespace quillmoor::ui {

class CControlDlg : public Dialog {
public:
    CControlDlg(CFWDevice* device, HWND owner);

private:
    void DoDataExchange(DataExchange& exchange) override;
    bool PreTranslateMessage(MSG& message) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnConnect();
    void OnDisconnect();
    void OnTimer();
    void PollNow();
    void PollFocuser();
    void UpdateAutoChecks();
    void OnAutoCheck(int row);
    void OnGo();
    void OnSet();
    void OnPositionSpin(int delta);
    void OnMinStepSpin(int delta);
    void OnMinStepEdit();
    void OnWheelSettings();
    void OnFocuserSettings();
    void OnSave();
    void OnLoad();
    // Runs a dialog of its own (settings or a file dialog) with the timer's
    // polls held off, then shows what it may have changed.
    template <class Run>
    void WithoutPolling(Run run, bool refreshAfter);
    bool Connected() const { return Device->PortIsOpen(); }
    void ShowPosition(int32_t position);

    // The filter table (filter_list.cpp).
    void SetUpFilterColumns();
    void FillFilterList();
    void RefreshFilterIcons();
    bool BeginCellEdit(POINT point);
    void CommitCellEdit();
    LRESULT OnListClick(NMHDR& header);
    LRESULT OnListDblClick(NMHDR& header);
    LRESULT OnListEndLabelEdit(NMHDR& header);

    UpDown MinStepSpin;
    ListView FilterList;
    int32_t PortIndex = 0;
    HIMAGELIST FilterIcons = nullptr;
    int AutoSensor = -1;
    bool RefreshEnabled = true;
    int ShownFilter = -1;
    CFWDevice* Device;
    HWND CellEdit = nullptr;
    HWND CellSpin = nullptr;
    int EditRow = 0;
    int EditColumn = 0;
    uint32_t ClientKey;
};

}  // namespace quillmoor::ui
