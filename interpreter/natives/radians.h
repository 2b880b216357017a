// The math natives' radian forms on plain doubles. The natives run them for
// /radians; the library's cos, sin, tan, acos, asin, atan, atan2 and sqrt routines
// run the same code, so that their results match the natives' to the bit.
#pragma once

namespace zol::natives::radians {

double sine(double angle);
double cosine(double angle);
double tangent(double angle);
double arcsine(double sine);
double arccosine(double cosine);
double arctangent(double tangent);
double arctangent2(double y, double x);
double square_root(double number);

}  // namespace zol::natives::radians
