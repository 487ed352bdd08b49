// The focuser settings dialog and the microsteps table it opens, against a
// board that reports 16 microsteps per full step.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "dialog_driver.h"
#include "harness.h"
#include "ui/microsteps_table.h"
#include "ui/win32/focuser_setup_dlg.h"

namespace dialog_tests {
namespace {

using quillmoor::ui::Narrow;

constexpr wchar_t kFocuserCaption[] = L"Настройки Фокусера";
constexpr wchar_t kMicrostepsCaption[] = L"Microsteps Table";
constexpr char kSinPow1[] =
    "0 13 27 40 54 66 79 91 103 115 126 137 148 158 167 177 185 194 201 209 215 222 227 233 237 241 245 248 "
    "251 252 254 255 255 ";

std::wstring ComboEntry(HWND combo, int index)
{
    wchar_t text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

// Whether the pixel of the wave plot at entry c is drawn black.
bool WavePointDrawn(HWND dialog, const uint8_t* table, int n, int c)
{
    RECT client, field;
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, 3058), &field);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&field), 2);
    const auto graphs = quillmoor::ui::LayOutGraphs({client.left, client.top, client.right, client.bottom},
                                                    field.bottom, table, n);
    const quillmoor::ui::Point at = graphs.wavePoints[static_cast<size_t>(c)];
    const HDC dc = GetDC(dialog);
    const COLORREF colour = GetPixel(dc, at.x, at.y);
    ReleaseDC(dialog, dc);
    return colour == RGB(0, 0, 0);
}

void DriveMicrosteps(HWND dialog, Context& context)
{
    Report& report = context.report;
    auto& device = context.device;
    report.That(Occurrences(context.wire.SentSinceMark(), Hex("FWzm")) == 1,
                "\"Микрошаги\" reads the table from the board before the dialog opens");
    report.That(Text(dialog, 3059) == L"1.0", "Pow starts as 1.0", Narrow(Text(dialog, 3059)));

    Click(dialog, 3054);  // Sin
    const std::string shown = Narrow(Text(dialog, 3058));
    report.That(shown == kSinPow1, "Sin with Pow 1.0 shows the shaped half period", shown);
    bool mirrored = true;
    for (int m = 1; m < 32; ++m) mirrored &= device.MicrostepTable[32 + m] == device.MicrostepTable[32 - m];
    report.That(mirrored && device.MicrostepTable[16] == 185, "the table follows, its second half mirrored");
    report.That(WaitUntil([&] { return WavePointDrawn(dialog, device.MicrostepTable, 64, 16); }, 5000),
                "the wave is painted through the new entries");
    Screenshot(dialog, "microsteps");

    Type(dialog, 3059, L"0");
    const std::string linear = Narrow(Text(dialog, 3058));
    report.That(linear.rfind("0 12 25 37 49 ", 0) == 0 && linear.ends_with("254 255 255 "),
                "Pow 0 reshapes the generated curve linearly", linear);
    report.That(WaitUntil([&] { return WavePointDrawn(dialog, device.MicrostepTable, 64, 4); }, 5000),
                "the wave is painted again");

    Type(dialog, 3058, L"10 20  30");
    Type(dialog, 3059, L"3");
    report.That(device.MicrostepTable[0] == 10 && device.MicrostepTable[1] == 20 &&
                    device.MicrostepTable[2] == 30 && device.MicrostepTable[3] == 37,
                "typed numbers fill the first entries; Pow then leaves a typed table alone",
                Narrow(Text(dialog, 3058)));

    context.wire.Mark();
    Click(dialog, IDOK);  // Apply
    const std::string table(reinterpret_cast<const char*>(device.MicrostepTable), 64);
    report.That(context.wire.SentSinceMark() == Hex("FWym") + Hex(table), "\"Apply\" sends FWym with the 64 entries",
                context.wire.SentSinceMark());
    report.That(IsWindowVisible(dialog) != FALSE, "the dialog stays open after \"Apply\"");
    Focus(dialog, 3058);
    PostKey(dialog, 3058, VK_RETURN);
    report.That(WaitUntil([&] { return Occurrences(context.wire.SentSinceMark(), Hex("FWym")) == 2; }, 5000),
                "Enter in the table field sends the table again");
    PostClick(dialog, IDCANCEL);  // Exit
    report.That(WaitUntilClosed(dialog), "\"Exit\" closes the dialog");
    report.That(Occurrences(context.wire.SentSinceMark(), Hex("FWym")) == 2, "\"Exit\" sends nothing");
}

}  // namespace

void MicrostepsAndFocuserSettings(Context& context)
{
    Report& report = context.report;
    auto& device = context.device;
    // The board's block as a user last left it: increment 4 of 16, idle power
    // byte 0, compensation -5.
    device.Config.MicrostepIncrement = 4;
    device.Config.FocuserIdlePower = 0;
    device.Config.TempCompStepsPerDegree = -5;
    device.Options.StepLenInMicrons = 2.5;
    device.Options.AscomMaxFocusPos = 30000;
    report.That(device.WriteConfig(), "the board takes the starting block");
    const DWORD thread = GetCurrentThreadId();

    // Cancel, after a text that does not parse: nothing changes anywhere.
    context.wire.Mark();
    {
        quillmoor::ui::CFocuserSetupDlg dialog(&device, nullptr);
        const auto outcome = Drive([&] { return dialog.DoModal(); }, kFocuserCaption, [&](HWND window) {
            const HWND steps = GetDlgItem(window, 3036);
            report.That(SendMessageW(steps, CB_GETCOUNT, 0, 0) == 5 && ComboEntry(steps, 0) == L"1/1" &&
                            ComboEntry(steps, 4) == L"1/16",
                        "N = 16 offers 1/1 .. 1/16");
            report.That(SendMessageW(steps, CB_GETCURSEL, 0, 0) == 2, "increment 4 selects 1/4");
            report.That(Text(window, 3037) == L"255" && Text(window, 3038) == L"-5" && Text(window, 3015) == L"2.5",
                        "idle power byte 0 shows 255, compensation -5, step length 2.5",
                        Narrow(Text(window, 3037) + L" " + Text(window, 3038) + L" " + Text(window, 3015)));
            report.That(Enabled(window, 3053), "\"Микрошаги\" is enabled with a table read");
            report.That(ClippedLabels(window).empty(), "every focuser settings label shows its whole text",
                        ClippedLabels(window));
            Screenshot(window, "focuser-settings");
            Type(window, 3039, L"fast");
            PostClick(window, IDOK);
            report.That(DismissComplaint(window, L"Please enter a positive integer."),
                        "a speed that is not a number is refused with a message");
            Type(window, 3017, L"12345");
            PostClick(window, IDCANCEL);
        });
        report.That(outcome.shown && !outcome.timedOut && outcome.result == IDCANCEL, "the dialog ends with Cancel", Describe(outcome));
    }
    report.That(device.Options.AscomMaxFocusPos == 30000 && device.Config.MicrostepIncrement == 4,
                "Cancel leaves the ASCOM fields and the block as they were");
    report.That(Occurrences(context.wire.SentSinceMark(), Hex("FWwriteEE")) == 0, "Cancel writes nothing to the board");

    // OK with 1/16, a speed beyond 16 bits and a new range.
    context.wire.Mark();
    {
        quillmoor::ui::CFocuserSetupDlg dialog(&device, nullptr);
        const auto outcome = Drive([&] { return dialog.DoModal(); }, kFocuserCaption, [&](HWND window) {
            SendMessageW(GetDlgItem(window, 3036), CB_SETCURSEL, 4, 0);
            Type(window, 3039, L"70000");
            Type(window, 3017, L"40000");
            PostClick(window, IDOK);
        });
        report.That(outcome.result == IDOK && !outcome.timedOut, "the dialog ends with OK", Describe(outcome));
    }
    report.That(device.Options.AscomMaxFocusPos == 40000, "OK stores the ASCOM range");
    report.That(Occurrences(context.wire.SentSinceMark(), Hex("FWwriteEE")) == 1, "OK writes the block once");
    report.That(device.InitAfterConnect() && device.Config.MicrostepIncrement == 1 &&
                    device.Config.FocuserSpeed == 4464 && device.Config.FocuserIdlePower == 0 &&
                    device.Config.TempCompStepsPerDegree == -5,
                "the board now holds increment 1, speed 4464, idle byte 0, compensation -5");

    // Shown again, then the microsteps table from its button.
    {
        quillmoor::ui::CFocuserSetupDlg dialog(&device, nullptr);
        const auto outcome = Drive([&] { return dialog.DoModal(); }, kFocuserCaption, [&](HWND window) {
            report.That(SendMessageW(GetDlgItem(window, 3036), CB_GETCURSEL, 0, 0) == 4 &&
                            Text(window, 3037) == L"255",
                        "reopened: 1/16 selected, idle power 255");
            context.wire.Mark();
            PostClick(window, 3053);
            if (const HWND tables = WaitForDialog(thread, kMicrostepsCaption)) DriveMicrosteps(tables, context);
            else report.That(false, "\"Микрошаги\" opens the microsteps table");
            PostClick(window, IDCANCEL);
        }, 60000);
        report.That(outcome.result == IDCANCEL && !outcome.timedOut, "the focuser settings close after the table",
                    Describe(outcome));
    }
}

}  // namespace dialog_tests
