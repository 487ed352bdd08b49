#include "ui/microsteps_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/text_numbers.h"

namespace quillmoor::ui {
namespace {

// The dialog handles at most the table's capacity, whatever the board says.
int Entries(int n)
{
    return std::clamp(n, 0, kMicrostepCapacity);
}

// Entries h+1..2h-1 from h-1..1: the falling half of the half period.
template <class Entry>
void MirrorSecondHalf(Entry* entries, int h)
{
    for (int m = 1; m < h; ++m) entries[h + m] = entries[h - m];
}

// Narrowing a double beyond the float range is undefined in C++; it becomes
// the infinity that IEEE rounding would give.
float ToFloat(double value)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax) return std::numeric_limits<float>::infinity();
    if (value < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// Truncation toward zero into 0..255; NaN counts as 0.
uint8_t ToByte(double value)
{
    if (!(value >= 0.0)) return 0;
    if (value >= 256.0) return 255;
    return static_cast<uint8_t>(value);
}

// The angle step of a quarter period over h entries, from 3.1415926 rather
// than the full pi, as the tables have always been made. Without a half
// period (n < 2) every angle is 0.
float AngleStep(int h)
{
    if (h <= 0) return 0.0f;
    return static_cast<float>(3.1415926 * 0.5 / h);
}

}  // namespace

void GenerateCurve(CurveShape shape, int n, MicrostepCurve& curve)
{
    n = Entries(n);
    const int h = n / 2;
    const float s = AngleStep(h);
    // Angles are formed in float (i * s), the functions run in double and
    // every value is kept as a float.
    switch (shape) {
    case CurveShape::Sin:
        for (int i = 0; i < n; ++i) {
            const double angle = static_cast<float>(i) * s;
            curve[i] = static_cast<float>(std::sin(angle));
        }
        break;
    case CurveShape::SinSin3:
        for (int i = 0; i < n; ++i) {
            const double angle = static_cast<float>(i) * s;
            const double thrice = static_cast<float>(3 * i) * s;
            curve[i] = static_cast<float>(0.1 * std::sin(thrice) + 1.1 * std::sin(angle));
        }
        break;
    case CurveShape::Tan:
        for (int i = 0; i <= h && i < n; ++i) {
            // The float step can put the last angle just past a right angle,
            // where the tangent turns hugely negative; that is the peak too.
            const double angle = static_cast<float>(i) * s;
            const double value = std::tan(angle);
            curve[i] = value > 1.0 || value < 0.0 ? 1.0f : static_cast<float>(value);
        }
        MirrorSecondHalf(curve.data(), h);
        break;
    }
}

void ShapeTable(const MicrostepCurve& curve, int n, double pow, bool inverse, uint8_t* table)
{
    n = Entries(n);
    if (table == nullptr) return;
    const float k = ToFloat(std::exp(0.2 * pow) - 1.0);
    const float d = k != 0.0f ? ToFloat(std::log(1.0 + k)) : 1.0f;
    for (int i = 0; i < n; ++i) {
        const double v = k == 0.0f ? curve[i] : std::log(1.0 + k * static_cast<double>(curve[i])) / d;
        const uint8_t b = ToByte(v * 255.5);
        table[i] = inverse ? static_cast<uint8_t>(255 - b) : b;
    }
}

std::string TableToText(const uint8_t* table, int n)
{
    n = Entries(n);
    std::string text;
    if (n == 0 || table == nullptr) return text;
    for (int i = 0; i <= n / 2; ++i) {
        text += std::to_string(table[i]);
        text += ' ';
    }
    return text;
}

void TextToTable(std::string_view text, int n, uint8_t* table)
{
    n = Entries(n);
    if (n == 0 || table == nullptr) return;
    const int h = n / 2;
    int entry = 0;
    size_t at = 0;
    // Only the blank separates: a tab or a line break stays in its token,
    // whose number then ends there.
    while (entry <= h) {
        at = text.find_first_not_of(' ', at);
        if (at == std::string_view::npos) break;
        size_t end = text.find(' ', at);
        if (end == std::string_view::npos) end = text.size();
        const auto value = static_cast<uint32_t>(LeadingInteger(text.substr(at, end - at)));
        table[entry++] = static_cast<uint8_t>(value & 0xFFu);
        at = end;
    }
    MirrorTable(table, n);
}

void MirrorTable(uint8_t* table, int n)
{
    n = Entries(n);
    if (table == nullptr) return;
    MirrorSecondHalf(table, n / 2);
}

void InvertTable(uint8_t* table, int n)
{
    n = Entries(n);
    if (table == nullptr) return;
    for (int i = 0; i < n; ++i) table[i] = static_cast<uint8_t>(255 - table[i]);
}

namespace {

struct Box {
    int64_t left, top, right, bottom;
    Rect Shrunk() const
    {  // 10 pixels in at the sides, 5 at top and bottom
        return {ToPixel(left + 10), ToPixel(top + 5), ToPixel(right - 10), ToPixel(bottom - 5)};
    }
};

std::vector<Point> WavePoints(Rect b, const uint8_t* table, int n)
{
    const int64_t width = int64_t{b.right} - b.left;
    const int64_t height = int64_t{b.bottom} - b.top;
    std::vector<Point> points;
    points.reserve(n + 1);
    for (int c = 0; c < n; ++c) {
        points.push_back({ToPixel(b.left + width * c / n), ToPixel(b.bottom - table[c] * height / 255)});
    }
    points.push_back({b.right, ToPixel(b.bottom - table[0] * height / 255)});
    return points;
}

// The full period from the half-period table: the second half negated, and
// an inverted table read back upright.
int Sample(const uint8_t* table, int n, int j)
{
    const int m = j % (2 * n);
    const int v = TableIsInverted(table) ? 255 - table[m % n] : table[m % n];
    return m <= n ? v : -v;
}

std::vector<Point> PhasePoints(Rect a, const uint8_t* table, int n)
{
    const int64_t cx = (int64_t{a.left} + a.right) / 2;
    const int64_t cy = (int64_t{a.top} + a.bottom) / 2;
    const int64_t r = (int64_t{a.right} - a.left) / 2 - 5;
    const int h = n / 2;
    auto at = [&](int j) {
        return Point{ToPixel(cx + Sample(table, n, j) * r / 255), ToPixel(cy + Sample(table, n, j + h) * r / 255)};
    };
    const Point centre{ToPixel(cx), ToPixel(cy)};
    std::vector<Point> points;
    points.reserve(6 * n);
    for (int i = 0; i < 2 * n; ++i) {
        points.push_back(centre);
        points.push_back(at(i));
        points.push_back(at(i + 1));
    }
    return points;
}

}  // namespace

MicrostepGraphs LayOutGraphs(Rect client, int fieldBottom, const uint8_t* table, int n)
{
    n = Entries(n);
    // The square below takes the full width; the wave gets what is left
    // between the table field and the square.
    const int64_t squareTop = int64_t{client.bottom} - (int64_t{client.right} - client.left);
    MicrostepGraphs graphs;
    graphs.square = Box{client.left, squareTop, client.right, client.bottom}.Shrunk();
    graphs.wave = Box{client.left, fieldBottom, client.right, squareTop}.Shrunk();
    if (n == 0 || table == nullptr) return graphs;
    graphs.wavePoints = WavePoints(graphs.wave, table, n);
    graphs.phasePoints = PhasePoints(graphs.square, table, n);
    return graphs;
}

}  // namespace quillmoor::ui
