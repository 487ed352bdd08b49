// Every member of both interfaces, by name, without and with a board.
#include "checks.h"
#include "scenarios.h"

namespace wine_client {
namespace {

constexpr HRESULT kFail = ascom::kNotConnected;

// Halt: not implemented, with its old description.
void CheckHalt(Checks& check, const Driver& focuser)
{
    Outcome halt = focuser.Call(L"Halt");
    check.That(halt.hr == DISP_E_EXCEPTION && halt.scode == ascom::kNotImplemented,
               "Halt raises DISP_E_EXCEPTION with scode 0x80040400", Hex(halt.hr) + " " + Hex(halt.scode));
    check.That(halt.description == L"Not Supported", "Halt's description is Not Supported",
               Narrow(halt.description));
    check.That(halt.source == L"Quillmoor.Focuser.1", "Halt's source is Quillmoor.Focuser.1",
               Narrow(halt.source));
}

}  // namespace

// No board reachable (the configured port leads nowhere): connecting fails
// naming the port, the members that need the board fail with "not
// connected" and their documented value, the others answer from stored
// data; the filter table is still empty.
int DisconnectedMembers()
{
    Checks check("disconnected");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!check.That(focuser && wheel, "both ProgIDs create objects")) return check.Failures();

    Outcome link = focuser.Get(L"Link");
    check.Result(link, S_OK, "Link get");
    check.BoolValue(link, false, "Link");
    check.Failure(focuser.Put(L"Link", Bool(true)), ascom::kNoBoard, {L"COM12"}, "Link put true without a board");
    check.BoolValue(focuser.Get(L"Link"), false, "Link after the failed connect");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Link put false while closed");

    check.BoolValue(focuser.Get(L"Absolute"), true, "Absolute");
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving");
    check.LongValue(focuser.Get(L"MaxIncrement"), 1000, "MaxIncrement");
    check.LongValue(focuser.Get(L"MaxStep"), 30000, "MaxStep");
    check.DoubleValue(focuser.Get(L"StepSize"), 10.0, "StepSize");
    check.BoolValue(focuser.Get(L"TempCompAvailable"), true, "TempCompAvailable");

    Outcome position = focuser.Get(L"Position");
    check.Result(position, kFail, "Position without a board");
    check.LongValue(position, 1000, "Position without a board (the focus shift)");
    Outcome tempComp = focuser.Get(L"TempComp");
    check.Result(tempComp, kFail, "TempComp get without a board");
    check.BoolValue(tempComp, false, "TempComp without a board");
    check.Result(focuser.Put(L"TempComp", Bool(true)), kFail, "TempComp put without a board");
    Outcome temperature = focuser.Get(L"Temperature");
    check.Result(temperature, kFail, "Temperature without a board");
    check.DoubleValue(temperature, 0.0, "Temperature without a board");
    check.Result(focuser.Call(L"Move", Long(1500)), kFail, "Move without a board");
    CheckHalt(check, focuser);
    check.Result(focuser.Call(L"SetupDialog"), S_OK, "Focuser SetupDialog");

    check.BoolValue(wheel.Get(L"Connected"), false, "Connected");
    check.Failure(wheel.Put(L"Connected", Bool(true)), ascom::kNoBoard, {L"COM12"},
                  "Connected put true without a board");
    Outcome names = wheel.Get(L"Names");
    check.Result(names, S_OK, "Names of the empty table");
    check.StringArray(names, {}, "Names of the empty table");
    Outcome offsets = wheel.Get(L"FocusOffsets");
    check.Result(offsets, S_OK, "FocusOffsets of the empty table");
    check.LongArray(offsets, {}, "FocusOffsets of the empty table");
    Outcome slot = wheel.Get(L"Position");
    check.Result(slot, S_OK, "wheel Position get without a board");
    check.ShortValue(slot, -1, "wheel Position without a board");
    check.Result(wheel.Put(L"Position", Short(2)), kFail, "wheel Position put without a board");
    check.Result(wheel.Call(L"SetupDialog"), S_OK, "FilterWheel SetupDialog");
    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "Connected put false while closed");
    return check.Failures();
}

// The simulated board on the configured port, focus shift 1000: the focuser
// connects, the wheel joins, every member runs once against the board.
int ConnectedMembers()
{
    Checks check("members");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!check.That(focuser && wheel, "both ProgIDs create objects")) return check.Failures();

    check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "Link put true");
    check.BoolValue(focuser.Get(L"Link"), true, "Link");
    check.BoolValue(focuser.Get(L"Absolute"), true, "Absolute");
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving when idle");
    check.LongValue(focuser.Get(L"MaxIncrement"), 1000, "MaxIncrement");
    check.LongValue(focuser.Get(L"MaxStep"), 30000, "MaxStep");
    check.DoubleValue(focuser.Get(L"StepSize"), 10.0, "StepSize");

    Outcome position = focuser.Get(L"Position");
    check.Result(position, S_OK, "Position");
    check.LongValue(position, 1000, "Position at motor 0 with shift 1000");
    check.Result(focuser.Call(L"Move", Long(800)), S_OK, "Move(800)");
    check.LongValue(focuser.Get(L"Position"), 800, "Position after Move(800)");

    check.Result(focuser.Put(L"TempComp", Bool(true)), S_OK, "TempComp put true");
    Outcome tempComp = focuser.Get(L"TempComp");
    check.Result(tempComp, S_OK, "TempComp get");
    check.BoolValue(tempComp, true, "TempComp after put true");
    check.Result(focuser.Put(L"TempComp", Bool(false)), S_OK, "TempComp put false");
    check.BoolValue(focuser.Get(L"TempComp"), false, "TempComp after put false");
    check.BoolValue(focuser.Get(L"TempCompAvailable"), true, "TempCompAvailable");
    Outcome temperature = focuser.Get(L"Temperature");
    check.Result(temperature, S_OK, "Temperature");
    check.DoubleValue(temperature, 18.5, "Temperature of sensor 0");
    CheckHalt(check, focuser);
    check.Result(focuser.Call(L"SetupDialog"), S_OK, "Focuser SetupDialog");

    check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "Connected put true (joins)");
    check.BoolValue(wheel.Get(L"Connected"), true, "Connected");
    check.StringArray(wheel.Get(L"Names"), {L"L", L"R", L"G", L"B", L"Ha"}, "Names");
    check.LongArray(wheel.Get(L"FocusOffsets"), {0, 10, 20, 30, 35}, "FocusOffsets");
    check.ShortValue(wheel.Get(L"Position"), 0, "wheel Position at power-up");
    check.Result(wheel.Put(L"Position", Short(3)), S_OK, "wheel Position put 3");
    check.ShortValue(wheel.Get(L"Position"), 3, "wheel Position after put 3");
    check.Result(wheel.Call(L"SetupDialog"), S_OK, "FilterWheel SetupDialog");

    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "Connected put false");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Link put false");
    check.BoolValue(focuser.Get(L"Link"), false, "Link after the last client left");
    return check.Failures();
}

}  // namespace wine_client
