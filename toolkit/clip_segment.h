#pragma once
// Cutting a line segment to a rectangle (no Qt), for the plots that draw lines between
// points far outside what is shown.

namespace toolkit {

// Cuts the segment (ax, ay)-(bx, by) to the rectangle [xlo, xhi] x [ylo, yhi]
// (Liang-Barsky). An end inside the rectangle is left exactly as it was. Returns false
// when nothing of the segment lies inside, when an end is not finite, and when the ends
// lie so far apart that rounding leaves a cut end more than one unit outside the
// rectangle: such a segment shows nothing, rather than a stray line along an edge.
bool ClipSegment(long double& ax, long double& ay, long double& bx, long double& by,
                 long double xlo, long double xhi, long double ylo, long double yhi);

}  // namespace toolkit
