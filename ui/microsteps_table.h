// The focuser's microstep table as the microsteps dialog edits it: half a
// period of the drive waveform in n entries (n <= 128), of which entries
// 0..n/2 are shown and edited and the rest mirror them. Curves are generated
// and shaped in 32-bit floats, as the board's tables have always been made.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/controller_config.h"
#include "ui/geometry.h"

namespace quillmoor::ui {

inline constexpr int kMicrostepCapacity = static_cast<int>(kMicrostepTableBytes);
using MicrostepCurve = std::array<float, kMicrostepCapacity>;

enum class CurveShape { Sin, Tan, SinSin3 };

// Fills the entries of curve that the shape writes for a table of n entries
// (Sin and SinSin3: 0..n-1; Tan: 0..n/2 and the mirror); others keep theirs.
void GenerateCurve(CurveShape shape, int n, MicrostepCurve& curve);

// Entries 0..n-1 of table from the curve, bent by Pow (0 = linear, > 0 raises
// the middle, < 0 lowers it; both ends stay), inverted (255 - b) on request.
void ShapeTable(const MicrostepCurve& curve, int n, double pow, bool inverse, uint8_t* table);

// Entries 0..n/2 as "%i " each; empty when n <= 0.
std::string TableToText(const uint8_t* table, int n);

// The typed text into entries 0..n/2: tokens split at blanks only, each read
// as a leading integer and kept to its low 8 bits; entries past the last
// token keep their values. Then the second half is mirrored.
void TextToTable(std::string_view text, int n, uint8_t* table);

// Entries h+1..2h-1 from h-1..1, h = n/2.
void MirrorTable(uint8_t* table, int n);
// Entries 0..n-1 become 255 minus themselves.
void InvertTable(uint8_t* table, int n);
// A normal profile starts low: a first entry above 128 means inverted.
inline bool TableIsInverted(const uint8_t* table) { return table[0] > 128; }

// --- The two graphs below the table field, in client pixels -------------
struct MicrostepGraphs {
    Rect wave;    // white area of the waveform, above the square
    Rect square;  // white area of the phase figure, at the bottom
    // n + 1 points: the first is a move, the others lines.
    std::vector<Point> wavePoints;
    // 6n points in threes: a move to the centre, then lines to P(i) and P(i+1).
    std::vector<Point> phasePoints;
};

// client: the dialog's client rectangle; fieldBottom: the bottom edge of the
// table field in client coordinates, or client.top when there is none.
MicrostepGraphs LayOutGraphs(Rect client, int fieldBottom, const uint8_t* table, int n);

}  // namespace quillmoor::ui
