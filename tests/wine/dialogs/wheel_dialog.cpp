// The filter wheel settings dialog: Cancel changes nothing anywhere; OK writes
// the block, reads the board back, saves the options and leaves the link to
// its clients.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "dialog_driver.h"
#include "harness.h"
#include "ui/win32/wheel_setup_dlg.h"

namespace dialog_tests {
namespace {

using quillmoor::ui::Narrow;

constexpr wchar_t kCaption[] = L"FilterWheel Settings Dialog";
constexpr wchar_t kPowerOutputTwo[] = L"Активен=1, Пассивен=0";

std::wstring SelectedEntry(HWND combo)
{
    wchar_t text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, SendMessageW(combo, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
    return text;
}

}  // namespace

void WheelSettings(Context& context)
{
    Report& report = context.report;
    auto& device = context.device;
    device.Config.WheelStepMode = 2;
    device.Config.PowerOutputMode = 7;  // not one of the four entries
    report.That(device.WriteConfig(), "the board takes the starting block");
    const quillmoor::ControllerConfig before = device.Config;
    const int64_t savedShift = RegistryNumber("AscomFocusShift");
    device.Options.AscomFocusShift = static_cast<int32_t>(savedShift + 1111);

    context.wire.Mark();
    {
        quillmoor::ui::CWheelSetupDlg dialog(&device, nullptr);
        const auto outcome = Drive([&] { return dialog.DoModal(); }, kCaption, [&](HWND window) {
            report.That(Checked(window, 3008) == BST_UNCHECKED, "step mode 2 shows half steps off");
            report.That(SendMessageW(GetDlgItem(window, 3012), CB_GETCURSEL, 0, 0) == CB_ERR &&
                            SendMessageW(GetDlgItem(window, 3012), CB_GETCOUNT, 0, 0) == 4,
                        "power output 7 selects none of the four entries");
            report.That(Text(window, 3049) == std::to_wstring(before.MaxStepsBetweenFilters) &&
                            Text(window, 3007) == std::to_wstring(before.WheelSpeed) &&
                            Text(window, 3014) == std::to_wstring(before.FilterCount),
                        "maximum steps, speed and filter count show the block's values");
            report.That(Enabled(window, 3016) && Enabled(window, 3008) && Enabled(window, 3012),
                        "the board's controls are enabled while connected");
            Type(window, 3049, L"");
            PostClick(window, IDOK);
            report.That(DismissComplaint(window, L"Please enter a positive integer."),
                        "an empty maximum-steps box is refused with a message");
            Click(window, 3008);
            Type(window, 3049, L"123");
            PostClick(window, IDCANCEL);
        });
        report.That(outcome.result == IDCANCEL && !outcome.timedOut, "the dialog ends with Cancel", Describe(outcome));
    }
    report.That(std::memcmp(&before, &device.Config, sizeof before) == 0, "Cancel leaves Config as it was");
    report.That(context.wire.SentSinceMark().empty(), "Cancel puts nothing on the wire",
                context.wire.SentSinceMark());
    report.That(RegistryNumber("AscomFocusShift") == savedShift, "Cancel leaves the registry alone");

    context.wire.Mark();
    {
        quillmoor::ui::CWheelSetupDlg dialog(&device, nullptr);
        const auto outcome = Drive([&] { return dialog.DoModal(); }, kCaption, [&](HWND window) {
            Click(window, 3008);
            SendMessageW(GetDlgItem(window, 3012), CB_SETCURSEL, 2, 0);
            report.That(SelectedEntry(GetDlgItem(window, 3012)) == kPowerOutputTwo, "entry 2 reads as written");
            Type(window, 3049, L"70000");
            report.That(ClippedLabels(window).empty(), "every wheel settings label shows its whole text",
                        ClippedLabels(window));
            Screenshot(window, "wheel-settings");
            PostClick(window, IDOK);
        });
        report.That(outcome.result == IDOK && !outcome.timedOut, "the dialog ends with OK", Describe(outcome));
    }
    const std::string sent = context.wire.SentSinceMark();
    const size_t write = sent.find(Hex("FWwriteEE"));
    const std::string block(reinterpret_cast<const char*>(&device.Config), sizeof device.Config);
    report.That(write == 0 && sent.find(Hex("FWreadEE"), write) != std::string::npos,
                "OK writes the block first, then reads the board back", sent);
    report.That(sent.find(Hex(std::string("\x00\x90", 2)) + Hex(block)) != std::string::npos,
                "the block on the wire is the one read back");
    report.That(device.Config.WheelStepMode == 1 && device.Config.PowerOutputMode == 2 &&
                    device.Config.MaxStepsBetweenFilters == 4464,
                "the board holds half steps, power output 2 and 70000 cut to 4464");
    report.That(RegistryNumber("AscomFocusShift") == savedShift + 1111, "OK saves the options to the registry");
    report.That(device.PortIsOpen(), "the link stays open for its client");
}

}  // namespace dialog_tests
