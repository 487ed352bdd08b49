// The control dialog as a user reaches it: a late-bound client calls
// SetupDialog, and a second thread works the window. The harness checks the
// trace lines of the client set and compares the saved settings file with
// the command-line client's.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "board_wire.h"
#include "calls.h"
#include "checks.h"
#include "dialog_driver.h"
#include "scenarios.h"

namespace wine_client {
namespace {

using namespace dialog_tests;

constexpr wchar_t kCaption[] = L"Zelk Filter Wheel & Focuser Control Dialog";
constexpr int kPosition = 3001, kPositionSpin = 3002, kTarget = 3003, kGo = 3004, kFilterList = 3018;
constexpr int kMinStep = 3026, kMinStepSpin = 3027, kTemperature0 = 3028, kAuto0 = 3032;
constexpr int kSave = 3036, kLoad = 3037, kConnect = 3043, kDisconnect = 3044, kDirection = 3050;
constexpr int kCellEdit = 4567, kCellSpin = 4568;
constexpr int kFileName = 1148;  // the file dialogs' name box
constexpr char kSavedPath[] = "C:\\control-saved.fws";
constexpr char kTruncatedPath[] = "C:\\control-truncated.fws";

int Rows(HWND dialog) { return static_cast<int>(SendMessageW(GetDlgItem(dialog, kFilterList), LVM_GETITEMCOUNT, 0, 0)); }

std::wstring CellText(HWND list, int row, int column)
{
    wchar_t text[64] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

POINT CellCentre(HWND list, int row, int column)
{
    RECT bounds = {};
    bounds.top = column;  // LVM_GETSUBITEMRECT takes the column in top, the part in left
    bounds.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    return {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
}

// Clicks the upper (up) or lower (down) arrow of an up-down control, and
// returns once the dialog has handled the click: a click still queued would
// otherwise land after the next typed text and undo it.
void ClickArrow(HWND parent, int id, bool up)
{
    const HWND spin = GetDlgItem(parent, id);
    RECT client;
    GetClientRect(spin, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, up ? client.bottom / 4 : client.bottom * 3 / 4);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(spin, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_NORMAL, 20000, &ignored);
    SendMessageTimeoutW(spin, WM_LBUTTONUP, 0, at, SMTO_NORMAL, 20000, &ignored);
}

bool SentAfterMark(BoardWire& wire, const std::string& hex)
{
    return WaitUntil([&] { return wire.SentSinceMark().find(hex) != std::string::npos; }, 5000);
}

// The block of the last FWwriteEE since the mark, as hex, or empty.
std::string LastWrittenBlock(BoardWire& wire)
{
    const std::string sent = wire.SentSinceMark();
    const size_t write = sent.rfind(Hex("FWwriteEE") + Hex(std::string("\x00\x90", 2)));
    if (write == std::string::npos) return {};
    return sent.substr(write + Hex("FWwriteEE").size() + 6, 144 * 3);
}

// Chooses `path` in the open or save dialog that the button brings up.
bool ChooseFile(HWND dialog, int button, const wchar_t* caption, const std::string& path)
{
    PostClick(dialog, button);
    const HWND files = WaitForDialog(GetWindowThreadProcessId(dialog, nullptr), caption);
    if (!files) return false;
    SetText(files, kFileName, std::wstring(path.begin(), path.end()));
    PostClick(files, IDOK);
    return WaitUntilClosed(files);
}

}  // namespace

// While the focuser object holds the link: the keys, the focuser controls,
// the "Auto" boxes, the filter table and Disconnect.
int ControlDialogShared(const std::string& wirePath)
{
    Checks check("control-shared");
    BoardWire wire(wirePath);
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "the focuser object connects")) return check.Failures();

    const DriveOutcome outcome = Drive([&] { return focuser.Call(L"SetupDialog").Result(); }, kCaption, [&](HWND dialog) {
        const HWND list = GetDlgItem(dialog, kFilterList);
        check.That(!Enabled(dialog, kConnect) && Enabled(dialog, kDisconnect) && Rows(dialog) == 5,
                   "with the link held: Connect off, Disconnect on, five filters listed");
        // Read when the dialog opened on the held link, not a tick later.
        check.That(!Text(dialog, kTemperature0).empty() && Enabled(dialog, kAuto0),
                   "the dialog opens showing the first sensor, its Auto box enabled",
                   Narrow(Text(dialog, kTemperature0)));

        wire.Mark();
        HoldControl(dialog, true);
        PostKey(dialog, kFilterList, '5');
        PostKey(dialog, kFilterList, '4');
        // The keys are taken in order: once filter 4 is asked for, 5 has had its turn.
        check.That(SentAfterMark(wire, Hex("FWGOTO4")) && wire.SentSinceMark().find(Hex("FWGOTO5")) == std::string::npos,
                   "Ctrl+5 does nothing with five filters, Ctrl+4 goes to filter 4", wire.SentSinceMark());
        HoldControl(dialog, false);
        Focus(dialog, kPosition);
        PostKey(dialog, kPosition, VK_RIGHT);
        check.That(SentAfterMark(wire, Hex("FWGOTO0")), "Right on filter 4 goes round to filter 0");

        Type(dialog, kTarget, L"70000");
        wire.Mark();
        Click(dialog, kGo);
        // The one-second poll may share the wire with the move.
        const std::string go = wire.SentSinceMark();
        check.That(go.find(Hex("FWgoFocus") + "70 11 ") != std::string::npos && Occurrences(go, Hex("FWgoFocus")) == 1,
                   "\"Go!\" with 70000 sends 4464", go);

        Type(dialog, kMinStep, L"199");
        ClickArrow(dialog, kMinStepSpin, true);
        ClickArrow(dialog, kMinStepSpin, true);
        check.That(Text(dialog, kMinStep) == L"200", "the arrows stop the minimum step at 200");
        Type(dialog, kMinStep, L"500");
        wire.Mark();
        ClickArrow(dialog, kPositionSpin, true);
        check.That(SentAfterMark(wire, Hex("FWgoFocus") + "64 13 "),
                   "a typed minimum step of 500 is kept: the up arrow moves 4464 to 4964", wire.SentSinceMark());
        ClickArrow(dialog, kMinStepSpin, false);
        check.That(Text(dialog, kMinStep) == L"200", "the down arrow brings 500 into 1..200", Narrow(Text(dialog, kMinStep)));

        wire.Mark();
        Click(dialog, kAuto0);
        check.That(SentAfterMark(wire, Hex("FWautoCompSet")), "a click on an Auto box sends FWautoCompSet");

        // Correction of the current filter (0), then "none" as focus shift of filter 1.
        ClickAt(list, CellCentre(list, 0, 2));
        const auto typeInCell = [&](const wchar_t* text) {
            const bool open = WaitUntil([&] { return GetDlgItem(list, kCellEdit) != nullptr; });
            if (open) SetText(list, kCellEdit, text);
            return open;
        };
        check.That(typeInCell(L"33"), "a click on a Correction cell opens the editor");
        wire.Mark();
        ClickAt(list, CellCentre(list, 1, 3));
        check.That(SentAfterMark(wire, Hex("FWGOTO0")) &&
                       wire.SentSinceMark().find(Hex("FWwriteEE")) < wire.SentSinceMark().find(Hex("FWGOTO0")),
                   "a new Correction of the current filter writes the block, then turns the wheel to it",
                   wire.SentSinceMark());
        check.That(CellText(list, 0, 2) == L"33", "the row shows the new Correction");
        typeInCell(L"none");
        wire.Mark();
        ClickAt(list, CellCentre(list, 2, 2));
        check.That(WaitUntil([&] { return CellText(list, 1, 3) == L"none"; }), "\"none\" shows as none");
        check.That(LastWrittenBlock(wire).substr(0x2C * 3, 6) == "20 4E ", "\"none\" stores 20000 as the focus shift",
                   LastWrittenBlock(wire));
        typeInCell(L"999");
        ClickArrow(list, kCellSpin, true);
        ClickAt(list, CellCentre(list, 3, 3));
        check.That(WaitUntil([&] { return CellText(list, 2, 2) == L"1000"; }),
                   "the cell arrows write plain numbers: 999 up is 1000", Narrow(CellText(list, 2, 2)));

        wire.Mark();
        ClickAt(list, CellCentre(list, 3, 1), true);
        check.That(SentAfterMark(wire, Hex("FWGOTO3")), "a double click on a row turns the wheel to it");
        WaitUntil([&] { return !Text(dialog, kDirection).empty() && Text(dialog, kPosition) != L"???"; });
        check.That(ClippedLabels(dialog).empty(), "every label of the control dialog shows its whole text",
                   ClippedLabels(dialog));
        Screenshot(dialog, "control-dialog");

        Click(dialog, kDisconnect);
        check.That(Rows(dialog) == 5 && !Enabled(dialog, kConnect), "Disconnect leaves the focuser's link and the list");
        PostClick(dialog, IDCANCEL);
    }, 90000);
    check.That(outcome.shown && !outcome.timedOut && outcome.result == S_OK, "SetupDialog shows the dialog and returns S_OK",
               Describe(outcome));
    check.BoolValue(focuser.Get(L"Link"), true, "the focuser keeps its link after the dialog");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "the focuser object disconnects");
    return check.Failures();
}

// With nothing else on the link: Connect, Save..., Load... of a broken file.
int ControlDialogAlone(const std::string& wirePath)
{
    Checks check("control-alone");
    BoardWire wire(wirePath);
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    const DriveOutcome outcome = Drive([&] { return wheel.Call(L"SetupDialog").Result(); }, kCaption, [&](HWND dialog) {
        check.That(Enabled(dialog, kConnect) && !Enabled(dialog, kDisconnect) && Rows(dialog) == 0,
                   "unconnected: Connect on, Disconnect off, no filters");
        Click(dialog, kConnect);
        check.That(Enabled(dialog, kDisconnect) && !Enabled(dialog, kConnect) && Rows(dialog) == 5,
                   "Connect opens the link and fills the list");
        check.That(!Text(dialog, kTemperature0).empty() && Enabled(dialog, kAuto0),
                   "Connect shows the first sensor at once, before the first tick",
                   Narrow(Text(dialog, kTemperature0)));

        DeleteFileA(kSavedPath);
        // The file exists from its opening; its bytes come at its closing.
        const auto savedSize = [] {
            WIN32_FILE_ATTRIBUTE_DATA data;
            return GetFileAttributesExA(kSavedPath, GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
        };
        check.That(ChooseFile(dialog, kSave, L"Save As", kSavedPath) && WaitUntil([&] { return savedSize() > 100; }),
                   "\"Save...\" writes the chosen file");
        std::ifstream saved(kSavedPath, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(saved), std::istreambuf_iterator<char>()};
        std::ofstream(kTruncatedPath, std::ios::binary) << bytes.substr(0, 100);

        wire.Mark();
        check.That(ChooseFile(dialog, kLoad, L"Open", kTruncatedPath), "\"Load...\" takes the chosen file");
        const HWND box = WaitForDialog(GetWindowThreadProcessId(dialog, nullptr), L"Load Failed");
        check.That(box && MessageText(box) == L"Load failed", "a truncated file says \"Load failed\"");
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitUntilClosed(box);
        check.That(wire.SentSinceMark().find(Hex("FWwriteEE")) == std::string::npos, "the board is left untouched");
        PostClick(dialog, IDCANCEL);
    }, 90000);
    check.That(outcome.shown && !outcome.timedOut && outcome.result == S_OK, "SetupDialog shows the dialog and returns S_OK",
               Describe(outcome));
    return check.Failures();
}

// Not a test: the control dialog for the main job, connected through the
// focuser object. Prints how long the first temperatures took to show; with
// `interactive` the dialog stays up until the user closes it.
int ControlDialogDemo(bool interactive)
{
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!focuser || focuser.Put(L"Link", Bool(true)).Result() != S_OK) {
        std::printf("the focuser object did not connect\n");
        return 1;
    }
    constexpr DWORD kADay = 24 * 3600 * 1000;
    bool shown = false;
    const double called = NowMs();
    const DriveOutcome outcome = Drive([&] { return focuser.Call(L"SetupDialog").Result(); }, kCaption, [&](HWND dialog) {
        shown = WaitUntil([&] { return !Text(dialog, kTemperature0).empty(); });
        if (!shown) return;
        std::printf("control dialog: first temperatures shown %.0f ms after SetupDialog was called\n", NowMs() - called);
        std::fflush(stdout);
        Screenshot(dialog, "control-dialog");
        if (interactive) std::printf("the control dialog is open: close it to end the demo\n");
        else PostClick(dialog, IDCANCEL);
        std::fflush(stdout);
    }, interactive ? kADay : 30000);
    focuser.Put(L"Link", Bool(false));
    return shown && !outcome.timedOut ? 0 : 1;
}

}  // namespace wine_client
