// Shapes the graphics library has no call for, built from its fills and anti-aliased polylines:
// discs, rings, arcs, rounded rectangles, triangles and seven-segment digit faces.
//
// Angles are degrees clockwise from 12 o'clock, as a knob's pointer is read. Every angle goes
// through PanelSinCos, plain IEEE arithmetic, so the shapes come out the same on every target
// whatever its maths library does in the last bit.
#pragma once

#include "lice/LICE.h"

#include <string>

namespace panelart {

// sin and cos of `degrees`, exact at multiples of 90°.
void PanelSinCos(double degrees, double* sine, double* cosine);

void FillDisc(LICE_IBitmap* dest, float cx, float cy, float radius, LICE_pixel color);
void DrawRing(LICE_IBitmap* dest, float cx, float cy, float radius, float width, LICE_pixel color);
// The arc from `fromDegrees` clockwise to `toDegrees`.
void DrawArc(LICE_IBitmap* dest, float cx, float cy, float radius, double fromDegrees,
             double toDegrees, float width, LICE_pixel color);
// A line from radius r0 to r1 along the direction `degrees` (a knob pointer).
void DrawSpoke(LICE_IBitmap* dest, float cx, float cy, float r0, float r1, double degrees,
               float width, LICE_pixel color);

// Filled and outlined rectangles with corners rounded to `radius` (0: square corners). The
// outline of `width` pixels lies inside the rectangle.
void FillRoundRect(LICE_IBitmap* dest, const LICE_Rect& rect, int radius, LICE_pixel color);
void DrawRoundRect(LICE_IBitmap* dest, const LICE_Rect& rect, int radius, float width,
                   LICE_pixel color);

// A filled triangle with anti-aliased edges; the points are in pixel-edge coordinates.
void FillTriangle(LICE_IBitmap* dest, const LICE_Point corners[3], LICE_pixel color);

// A seven-segment face in `rect`: the segments named by the letters of `lit` (a top, b upper
// right, c lower right, d bottom, e lower left, f upper left, g middle) in `litColor`, the
// others in `unlitColor`. `slant` leans the face right by that many pixels per pixel of height.
void DrawSevenSegment(LICE_IBitmap* dest, const LICE_Rect& rect, float thickness, float slant,
                      const std::string& lit, LICE_pixel litColor, LICE_pixel unlitColor);

} // namespace panelart
