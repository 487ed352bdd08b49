// Several clients on the one serial link, and several threads on one object.
#include <windows.h>

#include "calls.h"
#include "checks.h"
#include "scenarios.h"

namespace wine_client {

// A focuser and a filter wheel share the port: the first connects, the
// second joins, the port closes after the last one leaves. The trace lines
// of the joins and leaves are checked by the harness.
int SharedLink()
{
    Checks check("shared");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!check.That(focuser && wheel, "both ProgIDs create objects")) return check.Failures();

    check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "focuser connects");
    check.BoolValue(wheel.Get(L"Connected"), true, "wheel sees the focuser's link");
    check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "wheel joins");
    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "wheel leaves");
    check.BoolValue(focuser.Get(L"Link"), true, "the port stays open for the focuser");
    check.BoolValue(wheel.Get(L"Connected"), true, "the wheel still reports the shared link");
    check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "focuser connects a second time");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "focuser leaves once");
    check.BoolValue(wheel.Get(L"Connected"), false, "the port closed with the last client");
    return check.Failures();
}

// One thread moves the focuser while another asks: IsMoving is true and
// Position answers at once from where the board last put the focuser.
int MoveWhileAsked()
{
    Checks check("threads");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!check.That(bool(focuser), "Quillmoor.Focuser creates an object")) return check.Failures();
    if (!check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "Link put true"))
        return check.Failures();

    Background mover([&] { return focuser.Call(L"Move", Long(4000)); });
    const bool sawMoving = WaitUntilMoving(focuser, mover);
    check.That(sawMoving, "IsMoving is true on another thread during Move");
    if (sawMoving) {
        Outcome position = focuser.Get(L"Position");
        check.Result(position, S_OK, "Position during Move (link busy with the move)");
        check.LongValue(position, 0, "Position during Move (the last the board gave)");
    }
    const HRESULT moveResult = mover.Join();
    check.That(moveResult == S_OK, "Move completes with S_OK", Hex(moveResult));
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving after the move");
    check.LongValue(focuser.Get(L"Position"), 4000, "Position after the move");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Link put false");
    return check.Failures();
}

// "Auto": COM1 answers nothing, COM2 does not exist, the board is on COM3.
int AutoSearch()
{
    Checks check("auto");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!check.That(bool(wheel), "Quillmoor.FilterWheel creates an object")) return check.Failures();
    check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "Connected put true finds the board");
    check.StringArray(wheel.Get(L"Names"), {L"L", L"R", L"G", L"B", L"Ha"},
                      "Names read from the board found");
    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "Connected put false");
    return check.Failures();
}

}  // namespace wine_client
