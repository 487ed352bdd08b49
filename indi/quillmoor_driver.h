// The INDI device: the board's focuser and filter wheel as one device, on the
// serial connection that libindi's Focuser base provides.
#pragma once

#include <libindi/indifilterinterface.h>
#include <libindi/indifocuser.h>

#include <string>
#include <vector>

#include "device/fw_device.h"
#include "device/temperature_log.h"
#include "indi/pipe_waker.h"
#include "service/board_service.h"

namespace quillmoor::indi {

class QuillmoorDriver : public INDI::Focuser, public INDI::FilterInterface {
public:
    QuillmoorDriver();
    ~QuillmoorDriver() override;

    const char* getDefaultName() override { return "Quillmoor"; }
    bool initProperties() override;
    void ISGetProperties(const char* dev) override;
    bool updateProperties() override;
    bool ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n) override;
    bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) override;
    bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;

protected:
    bool Handshake() override;
    bool Disconnect() override;
    void TimerHit() override;
    bool saveConfigItems(FILE* fp) override;

    IPState MoveAbsFocuser(uint32_t targetTicks) override;
    IPState MoveRelFocuser(FocusDirection dir, uint32_t ticks) override;
    bool SyncFocuser(uint32_t ticks) override;
    bool SetFocuserMaxPosition(uint32_t ticks) override;
    bool SetFocuserBacklash(int32_t steps) override;

    int QueryFilter() override;
    bool SelectFilter(int position) override;

private:
    static void OnJobFinished(int fd, void* self);
    void CollectFinished();
    bool RefuseWhileBusy(const char* what);
    // done runs on the event loop's thread once the job has ended.
    bool Started(LinkFailure started, std::function<void(bool)> done);
    void DefineBoardTables();
    void DeleteBoardTables();
    void RenameFilters(char* texts[], char* names[], int n);
    void SetCompensation(bool on);
    void PublishPolled();

    CFWDevice device_{CFWDevice::Startup{.startTemperatureTimer = false}};
    PipeWaker waker_;
    // The driver writes the board's daily temperature log, as the DLL does.
    service::BoardService service_{
        device_, {.pollInterval = std::chrono::milliseconds(500), .temperatureLogFolders = TemperatureLogFolders()}, &waker_};
    std::function<void(bool)> jobDone_;  // of the job under way
    int jobCallbackId_ = -1;
    int timerId_ = -1;
    bool positionLost_ = false;  // shown in Alert since the board stopped answering

    INumber TemperatureN[1];
    INumberVectorProperty TemperatureNP;
    ISwitch CompensationS[2];
    ISwitchVectorProperty CompensationSP;
    INumber SensorN[1];
    INumberVectorProperty SensorNP;

    // Sized from the board's table at connect.
    std::vector<IText> NameT;
    ITextVectorProperty NameTP{};
    std::vector<INumber> OffsetN;
    INumberVectorProperty OffsetNP{};
};

}  // namespace quillmoor::indi
