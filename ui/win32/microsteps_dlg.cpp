#include "ui/win32/microsteps_dlg.h"

#include <algorithm>

#include "ui/text_numbers.h"

namespace quillmoor::ui {
namespace {

constexpr int kTemplate = 231;
constexpr int kSin = 3054;
constexpr int kSinSin3 = 3055;
constexpr int kTan = 3056;
constexpr int kInverse = 3057;
constexpr int kTableText = 3058;
constexpr int kPowText = 3059;
constexpr int kPowSpin = 3060;
constexpr int kPowLimit = 50;

}  // namespace

CMicrostepsDlg::CMicrostepsDlg(CFWDevice* device, HWND owner) : Dialog(kTemplate, owner), Device(device)
{
    OnCommand(kSin, BN_CLICKED, [this] { OnGenerate(CurveShape::Sin); });
    OnCommand(kSinSin3, BN_CLICKED, [this] { OnGenerate(CurveShape::SinSin3); });
    OnCommand(kTan, BN_CLICKED, [this] { OnGenerate(CurveShape::Tan); });
    OnCommand(kInverse, BN_CLICKED, [this] { OnInverse(); });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) { OnPaint(); });
    OnCommand(kTableText, EN_CHANGE, [this] { OnTableEdit(); });
    OnCommand(kPowText, EN_CHANGE, [this] { OnPowEdit(); });
}

void CMicrostepsDlg::DoDataExchange(DataExchange& exchange)
{
    exchange.Attach(kInverse, InverseCheck);
    exchange.Attach(kPowSpin, PowSpin);
}

bool CMicrostepsDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    CurveValid = false;
    TableToText();
    SetItemText(kPowText, L"1.0");
    PowSpin.SetRange(-kPowLimit, kPowLimit);
    return true;
}

int CMicrostepsDlg::Length() const
{
    return std::clamp<int>(Device->MicrostepTableLength, 0, kMicrostepCapacity);
}

void CMicrostepsDlg::TableToText()
{
    SetItemText(kTableText, Widen(ui::TableToText(Device->MicrostepTable, Length())));
    // A multi-line edit does not report a text the program sets, so what its
    // edit handler would do happens here: the text holds the table's first
    // half, so the table is mirrored, and the curve no longer stands behind it.
    CurveValid = false;
    MirrorTable(Device->MicrostepTable, Length());
    InvalidateRect(Window(), nullptr, TRUE);
}

void CMicrostepsDlg::OnTableEdit()
{
    CurveValid = false;
    TextToTable(Narrow(ItemText(kTableText)), Length(), Device->MicrostepTable);
    InvalidateRect(Window(), nullptr, TRUE);
}

void CMicrostepsDlg::RecomputeTable()
{
    if (!CurveValid) return;
    const double pow = LeadingReal(Narrow(ItemText(kPowText)));
    ShapeTable(Curve, Length(), pow, InverseCheck.State() == BST_CHECKED, Device->MicrostepTable);
    TableToText();
    CurveValid = true;
}

void CMicrostepsDlg::OnGenerate(CurveShape shape)
{
    GenerateCurve(shape, Length(), Curve);
    CurveValid = true;
    RecomputeTable();
}

void CMicrostepsDlg::OnInverse()
{
    const bool checked = InverseCheck.State() == BST_CHECKED;
    if (TableIsInverted(Device->MicrostepTable) == checked) return;
    InvertTable(Device->MicrostepTable, Length());
    TableToText();
}

void CMicrostepsDlg::OnOK()
{
    // The dialog stays open: the user may shape and send again.
    Device->WriteMicrostepTable();
}

void CMicrostepsDlg::OnPaint()
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Window(), &paint);
    RECT client;
    GetClientRect(Window(), &client);
    int fieldBottom = client.top;
    if (const HWND field = Item(kTableText)) {
        RECT bounds;
        GetWindowRect(field, &bounds);
        MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&bounds), 2);
        fieldBottom = bounds.bottom;
    }
    const MicrostepGraphs graphs = LayOutGraphs({client.left, client.top, client.right, client.bottom},
                                                fieldBottom, Device->MicrostepTable, Length());
    const HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    for (const Rect& area : {graphs.square, graphs.wave}) {
        const RECT r = {area.left, area.top, area.right, area.bottom};
        FillRect(dc, &r, white);
    }
    const auto draw = [dc](const std::vector<Point>& points, auto typeOf) {
        std::vector<POINT> at;
        std::vector<BYTE> types;
        for (size_t i = 0; i < points.size(); ++i) {
            at.push_back({points[i].x, points[i].y});
            types.push_back(typeOf(i));
        }
        if (!at.empty()) PolyDraw(dc, at.data(), types.data(), static_cast<int>(at.size()));
    };
    draw(graphs.wavePoints, [](size_t i) -> BYTE { return i == 0 ? PT_MOVETO : PT_LINETO; });
    draw(graphs.phasePoints, [](size_t i) -> BYTE { return i % 3 == 0 ? PT_MOVETO : PT_LINETO; });
    EndPaint(Window(), &paint);
}

}  // namespace quillmoor::ui
