// quillmoor-dialog-tests: the setup dialogs with the controller core, on a
// simulated board behind a COM port, driven from a second thread.
//
//   quillmoor-dialog-tests --com-port N --wire DOS-PATH-OF-THE-WIRE-RECORD
//
// Asks the harness for "record-N" (write the wire record now) and
// "shot-NAME-X-Y-W-H" (save a picture of that screen rectangle) steps.
#include <windows.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "ui/win32/dialog.h"

int wmain(int argc, wchar_t** argv)
{
    int comPort = 0;
    std::string wire;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        if (option == L"--com-port") comPort = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        else if (option == L"--wire") wire = quillmoor::ui::Narrow(argv[i + 1]);
    }
    if (comPort <= 0 || wire.empty()) {
        std::fprintf(stderr, "usage: quillmoor-dialog-tests --com-port N --wire PATH\n");
        return 2;
    }

    quillmoor::CFWDevice device(quillmoor::CFWDevice::Startup{.startTemperatureTimer = false});
    device.Options.ComPort = comPort;
    dialog_tests::Report report("dialogs");
    wine_client::BoardWire boardWire(wire);
    dialog_tests::Context context{device, boardWire, report};

    const uint32_t key = quillmoor::NextClientKey();
    if (report.That(device.ConnectMulti(key), "the test connects to the board")) {
        dialog_tests::MicrostepsAndFocuserSettings(context);
        dialog_tests::WheelSettings(context);
        device.DisconnectMulti(key);
    }
    return report.Failures() == 0 ? 0 : 1;
}
