#pragma once
// Cells hold texts; operations read them as numbers and write numbers back as text.

#include "runner/machine/run.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tessivor {

/// Reads a cell's text as a double: blanks (spaces, tabs) around an optional sign, digits with an
/// optional point and at least one digit, and an optional exponent. Anything else is a
/// TypeMismatch; beyond the double range an Overflow; too small a magnitude reads as zero.
Failure readDouble(std::string_view text, double& out);

/// Reads a cell's text as a double rounded to single precision; Overflow when that is infinite.
Failure readSingle(std::string_view text, float& out);

/// Rounds to the nearest whole number, ties to even; Overflow outside the signed 32-bit range.
Failure roundToInt32(double value, std::int32_t& out);

/// Reads a cell's text as a signed 32-bit integer (the double, rounded with ties to even).
Failure readInteger(std::string_view text, std::int32_t& out);

/// The text of an arithmetic result: 15 significant digits ("0.333333333333333", "1E+15",
/// "1.5E-07"); "0" for negative zero; "Infinity", "-Infinity" and "NaN" for the rest.
std::string numberText(double value);

/// Appends numberText(value) to `out` without a temporary.
void appendNumberText(std::string& out, double value);

/// The value numberText(value) reads back as, found without writing the text. True, with `out`
/// set, for whole numbers below 1E+15 and for magnitudes from 1E-7 to 1E+21; then
/// numberText(out) == numberText(value) and reading that text gives `out` again. False
/// elsewhere and within a hair of a 15-digit tie: the caller writes the text and reads it.
bool fifteenDigitValue(double value, double& out);

/// fifteenDigitValue for a value that is not a whole number below 1E+15 in size.
bool fifteenDigitFraction(double value, double& out);

} // namespace tessivor
