#include "indi/quillmoor_driver.h"

#include <libindi/connectionplugins/connectionserial.h>
#include <libindi/indicontroller.h>
#include <libindi/indilogger.h>

#include <cstring>
#include <utility>

#include "device/transport.h"

using quillmoor::service::Job;

namespace quillmoor::indi {
namespace {

constexpr const char* kFilterGroup = "Filter Wheel";
constexpr int kBoardPositionCeiling = 32767;  // positions travel as 16-bit signed words
constexpr int kMostBacklashSteps = 1000;      // as far as the focuser settings let it go

}  // namespace

QuillmoorDriver::QuillmoorDriver() : INDI::FilterInterface(this)
{
    setVersion(1, 0);
    setSupportedConnections(CONNECTION_SERIAL);
    FI::SetCapability(FOCUSER_CAN_ABS_MOVE | FOCUSER_CAN_REL_MOVE | FOCUSER_CAN_SYNC | FOCUSER_HAS_BACKLASH);
}

QuillmoorDriver::~QuillmoorDriver()
{
    if (jobCallbackId_ >= 0) IERmCallback(jobCallbackId_);
    DeleteBoardTables();
}

bool QuillmoorDriver::initProperties()
{
    INDI::Focuser::initProperties();
    INDI::FilterInterface::initProperties(kFilterGroup);
    serialConnection->setDefaultBaudRate(Connection::Serial::B_9600);

    FocusMaxPosN[0].max = kBoardPositionCeiling;
    FocusMaxPosN[0].value = device_.Options.AscomMaxFocusPos;
    FocusAbsPosN[0].max = FocusMaxPosN[0].value;
    FocusBacklashN[0].max = kMostBacklashSteps;
    FocusBacklashN[0].step = 1;

    IUFillNumber(&TemperatureN[0], "TEMPERATURE", "Celsius", "%6.2f", -100, 100, 0, 0);
    IUFillNumberVector(&TemperatureNP, TemperatureN, 1, getDeviceName(), "FOCUS_TEMPERATURE", "Temperature",
                       MAIN_CONTROL_TAB, IP_RO, 0, IPS_IDLE);
    IUFillSwitch(&CompensationS[0], "INDI_ENABLED", "On", ISS_OFF);
    IUFillSwitch(&CompensationS[1], "INDI_DISABLED", "Off", ISS_ON);
    IUFillSwitchVector(&CompensationSP, CompensationS, 2, getDeviceName(), "FOCUS_TEMPERATURE_COMPENSATION",
                       "Temp. comp.", MAIN_CONTROL_TAB, IP_RW, ISR_1OFMANY, 0, IPS_IDLE);
    IUFillNumber(&SensorN[0], "SENSOR_INDEX", "Sensor", "%.f", 0, kTemperatureSlots - 1, 1,
                 device_.Options.AscomPreferredTermometer);
    IUFillNumberVector(&SensorNP, SensorN, 1, getDeviceName(), "TEMPERATURE_SENSOR", "Preferred sensor",
                       OPTIONS_TAB, IP_RW, 0, IPS_IDLE);

    setDriverInterface(FOCUSER_INTERFACE | FILTER_INTERFACE);
    addDebugControl();
    return true;
}

void QuillmoorDriver::ISGetProperties(const char* dev)
{
    INDI::Focuser::ISGetProperties(dev);
    // The base defines every property it holds again to each client that
    // asks, this one too from the second request on.
    if (getProperty(SensorNP.name).isValid()) return;
    defineProperty(&SensorNP);
    // Once: a later client's request must not undo a choice not yet saved.
    loadConfig(true, SensorNP.name);
}

bool QuillmoorDriver::updateProperties()
{
    INDI::Focuser::updateProperties();
    if (isConnected()) {
        if (jobCallbackId_ < 0) jobCallbackId_ = IEAddCallback(waker_.Fd(), OnJobFinished, this);
        FilterSlotN[0].min = 1;
        FilterSlotN[0].max = std::max<int>(1, static_cast<int>(device_.Filters.Size()));
        FilterSlotN[0].value = QueryFilter();
        defineProperty(&TemperatureNP);
        defineProperty(&CompensationSP);
        defineProperty(&FilterSlotNP);
        DefineBoardTables();
        if (timerId_ < 0) timerId_ = SetTimer(getCurrentPollingPeriod());
    } else {
        deleteProperty(TemperatureNP.name);
        deleteProperty(CompensationSP.name);
        deleteProperty(FilterSlotNP.name);
        DeleteBoardTables();
        if (timerId_ >= 0) RemoveTimer(timerId_);
        timerId_ = -1;
    }
    return true;
}

// The plugin has opened the path the user chose at 9600 baud; the controller
// object takes a copy of that descriptor, so every exchange still goes
// through it and the plugin stays the one that opens and closes the device.
bool QuillmoorDriver::Handshake()
{
    SerialPortPtr port = ConfigureSerialPort(platform::AdoptSerialDevice(PortFD), kLinkBaudRate);
    bool temperatureRead = false, compensationRead = false;
    float degrees = 0;
    int32_t sensor = -1;
    uint16_t backlash = 0;
    const bool found = service_.Call([&](CFWDevice& device) {
        if (!device.AdoptPort(port)) return false;
        backlash = device.Config.FocuserBacklash;
        if (device.FocuserPresent) {
            temperatureRead = device.ReadTemperature(device.PreferredSensor(), degrees);
            compensationRead = device.GetAutoCompSensor(sensor);
        }
        return true;
    });
    if (!found) {
        LOGF_ERROR("No board answers on %s.", serialConnection->port());
        return false;
    }
    // Connecting has just read the position: whatever a lost link left, it is true again.
    if (device_.FocuserPresent) {
        FocusAbsPosN[0].value = device_.FocuserPosition;
        FocusAbsPosNP.s = IPS_OK;
        positionLost_ = false;
    }
    // The board compensates by itself; 0 is off.
    FocusBacklashN[0].value = backlash;
    FocusBacklashS[INDI_ENABLED].s = backlash != 0 ? ISS_ON : ISS_OFF;
    FocusBacklashS[INDI_DISABLED].s = backlash != 0 ? ISS_OFF : ISS_ON;
    if (temperatureRead) {
        TemperatureN[0].value = degrees;
        TemperatureNP.s = IPS_OK;
    }
    if (compensationRead) {
        CompensationS[0].s = sensor >= 0 ? ISS_ON : ISS_OFF;
        CompensationS[1].s = sensor >= 0 ? ISS_OFF : ISS_ON;
        CompensationSP.s = IPS_OK;
        // The board's compensation sensor becomes the preferred one.
        SensorN[0].value = device_.PreferredSensor();
        IDSetNumber(&SensorNP, nullptr);
    }
    LOGF_INFO("Board found: focuser %s, wheel %s with %d filters.", device_.FocuserPresent ? "present" : "absent",
              device_.WheelPresent ? "present" : "absent", static_cast<int>(device_.Filters.Size()));
    return true;
}

bool QuillmoorDriver::Disconnect()
{
    // A running move holds its own reference to the port; it ends by itself
    // (or at once when the port has gone), and only then may the link close.
    if (RefuseWhileBusy("Disconnecting")) return false;
    service_.Call([](CFWDevice& device) {
        device.Disconnect();
        return true;
    });
    return INDI::Focuser::Disconnect();
}

bool QuillmoorDriver::RefuseWhileBusy(const char* what)
{
    if (!jobDone_ && service_.State().running == Job::None) return false;
    LOGF_ERROR("%s refused: the link is busy with a move.", what);
    return true;
}

bool QuillmoorDriver::Started(LinkFailure started, std::function<void(bool)> done)
{
    if (started != LinkFailure::None) return false;
    jobDone_ = std::move(done);  // the job cannot end before this: its end is collected on this thread
    return true;
}

void QuillmoorDriver::OnJobFinished(int, void* self)
{
    static_cast<QuillmoorDriver*>(self)->CollectFinished();
}

void QuillmoorDriver::CollectFinished()
{
    waker_.Drain();
    const std::optional<service::FinishedJob> finished = service_.TakeFinished();
    if (!finished) return;
    std::function<void(bool)> done = std::move(jobDone_);
    jobDone_ = nullptr;
    if (done) done(finished->succeeded);
}

// --- Focuser ---------------------------------------------------------------

IPState QuillmoorDriver::MoveAbsFocuser(uint32_t targetTicks)
{
    if (RefuseWhileBusy("Move")) return IPS_ALERT;
    if (targetTicks > FocusMaxPosN[0].value) {
        LOGF_ERROR("Position %u is beyond the maximum %.f.", targetTicks, FocusMaxPosN[0].value);
        return IPS_ALERT;
    }
    const auto target = static_cast<int32_t>(targetTicks);
    const bool started = Started(service_.Move(target), [this, target](bool moved) {
                                        FocusAbsPosN[0].value = device_.FocuserPosition;
                                        FocusAbsPosNP.s = moved ? IPS_OK : IPS_ALERT;
                                        if (FocusRelPosNP.s == IPS_BUSY) {
                                            FocusRelPosNP.s = FocusAbsPosNP.s;
                                            IDSetNumber(&FocusRelPosNP, nullptr);
                                        }
                                        if (moved) IDSetNumber(&FocusAbsPosNP, nullptr);
                                        else IDSetNumber(&FocusAbsPosNP, "Move to %d failed.", target);
                                    });
    return started ? IPS_BUSY : IPS_ALERT;
}

IPState QuillmoorDriver::MoveRelFocuser(FocusDirection dir, uint32_t ticks)
{
    const double from = FocusAbsPosN[0].value;
    const double target = dir == FOCUS_INWARD ? from - ticks : from + ticks;
    if (target < 0 || target > FocusMaxPosN[0].value) {
        LOGF_ERROR("A move by %u would leave the range 0..%.f.", ticks, FocusMaxPosN[0].value);
        return IPS_ALERT;
    }
    const IPState state = MoveAbsFocuser(static_cast<uint32_t>(target));
    if (state == IPS_BUSY) {
        FocusAbsPosNP.s = IPS_BUSY;
        IDSetNumber(&FocusAbsPosNP, nullptr);
    }
    return state;
}

bool QuillmoorDriver::SyncFocuser(uint32_t ticks)
{
    if (RefuseWhileBusy("Sync")) return false;
    return service_.Call(
        [ticks](CFWDevice& device) { return device.SetFocuserPosition(static_cast<int32_t>(ticks)); });
}

bool QuillmoorDriver::SetFocuserMaxPosition(uint32_t ticks)
{
    if (ticks > kBoardPositionCeiling) return false;
    service_.Call([ticks](CFWDevice& device) {
        device.Options.AscomMaxFocusPos = static_cast<int32_t>(ticks);
        return true;
    });
    return INDI::Focuser::SetFocuserMaxPosition(ticks);
}

// Written the way the focuser settings write it: the whole configuration
// block as read at connect, with only the backlash changed.
bool QuillmoorDriver::SetFocuserBacklash(int32_t steps)
{
    if (RefuseWhileBusy("Backlash")) return false;
    LinkFailure why = LinkFailure::None;
    const bool written = service_.Call(
        [steps](CFWDevice& device) {
            const uint16_t before = device.Config.FocuserBacklash;
            if (before == steps) return true;  // spares the board's memory a write
            device.Config.FocuserBacklash = static_cast<uint16_t>(steps);
            if (device.WriteConfig()) return true;
            device.Config.FocuserBacklash = before;  // the PC's copy stays what the board holds
            return false;
        },
        &why);
    if (!written) LOGF_ERROR("Backlash of %d steps not written: %s.", steps, service::FailureText(Job::Call, why));
    return written;
}

void QuillmoorDriver::SetCompensation(bool on)
{
    if (RefuseWhileBusy("Temperature compensation")) {
        CompensationSP.s = IPS_ALERT;
        IDSetSwitch(&CompensationSP, nullptr);
        return;
    }
    const bool done = service_.SetCompensation(on);
    if (done) {
        CompensationS[0].s = on ? ISS_ON : ISS_OFF;
        CompensationS[1].s = on ? ISS_OFF : ISS_ON;
    }
    CompensationSP.s = done ? IPS_OK : IPS_ALERT;
    if (done) IDSetSwitch(&CompensationSP, nullptr);
    else IDSetSwitch(&CompensationSP, "The board refused temperature compensation %s.", on ? "on" : "off");
}

// --- Filter wheel ----------------------------------------------------------

int QuillmoorDriver::QueryFilter()
{
    return device_.CurrentFilter + 1;  // INDI counts slots from 1; unknown (-1) shows as 0
}

bool QuillmoorDriver::SelectFilter(int position)
{
    if (RefuseWhileBusy("Filter change")) return false;
    const int32_t target = position - 1;
    return Started(service_.Turn(target), [this, position](bool turned) {
                          if (turned) {
                              SelectFilterDone(position);
                              return;
                          }
                          FilterSlotN[0].value = QueryFilter();
                          FilterSlotNP.s = IPS_ALERT;
                          IDSetNumber(&FilterSlotNP, "Change to filter %d failed.", position);
                      });
}

void QuillmoorDriver::DefineBoardTables()
{
    DeleteBoardTables();
    const std::vector<FilterSlot> slots = device_.Filters.Snapshot();
    NameT.resize(slots.size());
    OffsetN.resize(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string element = "FILTER_SLOT_NAME_" + std::to_string(i + 1);
        const std::string label = "Filter #" + std::to_string(i + 1);
        IUFillText(&NameT[i], element.c_str(), label.c_str(), SlotName(slots[i]).c_str());
        const std::string offset = "OFFSET_" + std::to_string(i + 1);
        IUFillNumber(&OffsetN[i], offset.c_str(), label.c_str(), "%.f", -32768, 32767, 1, slots[i].FocuserPos);
    }
    if (slots.empty()) return;
    IUFillTextVector(&NameTP, NameT.data(), static_cast<int>(NameT.size()), getDeviceName(), "FILTER_NAME",
                     "Filter", kFilterGroup, IP_RW, 0, IPS_IDLE);
    IUFillNumberVector(&OffsetNP, OffsetN.data(), static_cast<int>(OffsetN.size()), getDeviceName(),
                       "FILTER_FOCUS_OFFSETS", "Focus offsets", kFilterGroup, IP_RO, 0, IPS_IDLE);
    defineProperty(&NameTP);
    defineProperty(&OffsetNP);
}

void QuillmoorDriver::DeleteBoardTables()
{
    if (NameT.empty()) return;
    if (isConnected() || NameTP.name[0]) {
        deleteProperty(NameTP.name);
        deleteProperty(OffsetNP.name);
    }
    for (IText& text : NameT) std::free(text.text);
    NameT.clear();
    OffsetN.clear();
    NameTP = {};
    OffsetNP = {};
}

// Writes the names that changed, all in one job: the board answers each
// FWWRITENAME on its own, and several of them in a row are too long for the
// event loop.
void QuillmoorDriver::RenameFilters(char* texts[], char* names[], int n)
{
    if (RefuseWhileBusy("Renaming filters")) {
        NameTP.s = IPS_ALERT;
        IDSetText(&NameTP, nullptr);
        return;
    }
    std::vector<std::pair<int32_t, std::string>> renames;
    for (int i = 0; i < n; ++i) {
        IText* text = IUFindText(&NameTP, names[i]);
        if (!text || !texts[i]) continue;
        const auto index = static_cast<int32_t>(text - NameT.data());
        if (std::strncmp(text->text, texts[i], kFilterNameBytes) != 0) renames.emplace_back(index, texts[i]);
    }
    NameTP.s = IPS_BUSY;
    IDSetText(&NameTP, nullptr);
    const bool started = Started(service_.Start(Job::Rename, [renames](CFWDevice& device) {
        bool all = true;
        for (const auto& [index, name] : renames) all = device.WriteFilterName(index, name.c_str()) && all;
        return all;
    }), [this](bool written) {
            // The table shows what the board holds now, renamed or not.
            const std::vector<FilterSlot> slots = device_.Filters.Snapshot();
            for (size_t i = 0; i < slots.size() && i < NameT.size(); ++i)
                IUSaveText(&NameT[i], SlotName(slots[i]).c_str());
            NameTP.s = written ? IPS_OK : IPS_ALERT;
            if (written) IDSetText(&NameTP, nullptr);
            else IDSetText(&NameTP, "The board did not take every new name.");
        });
    if (!started) {
        NameTP.s = IPS_ALERT;
        IDSetText(&NameTP, "Renaming filters refused: the link is busy.");
    }
}

// --- Polling ---------------------------------------------------------------

// The board service polls the board between jobs; each tick shows what it
// last read. A tick during a job leaves the job's properties to its end.
void QuillmoorDriver::TimerHit()
{
    if (!isConnected()) {
        timerId_ = -1;
        return;
    }
    if (!jobDone_) PublishPolled();
    timerId_ = SetTimer(getCurrentPollingPeriod());
}

void QuillmoorDriver::PublishPolled()
{
    const service::BoardState board = service_.State();
    if (!board.focuserPresent || board.running != Job::None) return;
    float degrees = 0;
    const bool read = board.Temperature(degrees);
    const IPState temperatureState = read ? IPS_OK : IPS_ALERT;
    if (temperatureState != TemperatureNP.s || (read && degrees != TemperatureN[0].value)) {
        if (read) TemperatureN[0].value = degrees;
        TemperatureNP.s = temperatureState;
        IDSetNumber(&TemperatureNP, nullptr);
    }
    // The service keeps the last position read: while the board does not
    // answer, that one is shown in Alert, and Ok again once it answers.
    if (!board.connected || !board.pollAnswered) {
        if (!std::exchange(positionLost_, true)) {
            FocusAbsPosNP.s = IPS_ALERT;
            IDSetNumber(&FocusAbsPosNP, "The board does not answer: the position shown is the last one read.");
        }
        return;
    }
    const bool answersAgain = std::exchange(positionLost_, false);
    if (answersAgain || board.position != FocusAbsPosN[0].value) {
        FocusAbsPosN[0].value = board.position;
        if (answersAgain) FocusAbsPosNP.s = IPS_OK;
        IDSetNumber(&FocusAbsPosNP, nullptr);
    }
}

// --- Requests from clients -------------------------------------------------

bool QuillmoorDriver::ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n)
{
    if (dev && std::strcmp(dev, getDeviceName()) == 0) {
        if (std::strcmp(name, FilterSlotNP.name) == 0) return INDI::FilterInterface::processNumber(dev, name, values, names, n);
        if (std::strcmp(name, SensorNP.name) == 0 && n >= 1) {
            const double sensor = values[0];
            const int fitted = isConnected() ? device_.Config.SensorCount : kTemperatureSlots;
            if (!(sensor >= 0 && sensor < fitted)) {
                SensorNP.s = IPS_ALERT;
                IDSetNumber(&SensorNP, "The board has no sensor %g.", sensor);
                return false;
            }
            SensorN[0].value = static_cast<int>(sensor);
            service_.SetPreferredSensor(static_cast<int32_t>(sensor));
            SensorNP.s = IPS_OK;
            IDSetNumber(&SensorNP, nullptr);
            return true;
        }
        if (std::strcmp(name, FocusBacklashNP.name) == 0 && n >= 1 &&
            !(values[0] >= 0 && values[0] <= kMostBacklashSteps)) {
            FocusBacklashNP.s = IPS_ALERT;
            IDSetNumber(&FocusBacklashNP, "A backlash of %g steps is outside 0..%d.", values[0], kMostBacklashSteps);
            return false;
        }
    }
    return INDI::Focuser::ISNewNumber(dev, name, values, names, n);
}

bool QuillmoorDriver::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n)
{
    if (dev && std::strcmp(dev, getDeviceName()) == 0 && std::strcmp(name, CompensationSP.name) == 0) {
        ISwitch* on = IUFindSwitch(&CompensationSP, "INDI_ENABLED");
        ISwitch* off = IUFindSwitch(&CompensationSP, "INDI_DISABLED");
        bool wanted = on->s == ISS_ON;
        for (int i = 0; i < n; ++i) {
            ISwitch* sw = IUFindSwitch(&CompensationSP, names[i]);
            if (sw == on) wanted = states[i] == ISS_ON;
            if (sw == off) wanted = states[i] != ISS_ON;
        }
        SetCompensation(wanted);
        return true;
    }
    return INDI::Focuser::ISNewSwitch(dev, name, states, names, n);
}

bool QuillmoorDriver::ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n)
{
    if (dev && std::strcmp(dev, getDeviceName()) == 0 && std::strcmp(name, "FILTER_NAME") == 0) {
        if (!NameT.empty()) RenameFilters(texts, names, n);
        return true;
    }
    return INDI::Focuser::ISNewText(dev, name, texts, names, n);
}

// The board holds the filter names and offsets and the backlash; only the
// driver's own options go into the configuration file, so that loading it
// never writes the board. The base's list, less the backlash.
bool QuillmoorDriver::saveConfigItems(FILE* fp)
{
    INDI::DefaultDevice::saveConfigItems(fp);
    IUSaveConfigNumber(fp, &FocusMaxPosNP);
    IUSaveConfigNumber(fp, &PresetNP);
    controller->saveConfigItems(fp);
    IUSaveConfigNumber(fp, &SensorNP);
    return true;
}

}  // namespace quillmoor::indi
