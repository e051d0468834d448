#pragma once
// A cell of the fast loop: its text is the truth, with the number it reads as kept beside it.
// Arithmetic results whose text reads back exactly keep only the number until someone needs
// the text.

#include "runner/machine/number.h"
#include "runner/machine/run.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace tessivor::fast {

class alignas(64) Cell {
public:
    /// The cell read as a double, as readDouble(text()) would give it.
    Failure read(double& out) {
        if (state_ > kNumber) [[unlikely]] {
            if (const Failure f = parseText(); f != Failure::None) return f;
        }
        out = number_;
        return Failure::None;
    }

    /// Both cells' numbers are known already: read() would not parse.
    static bool bothKnown(const Cell& a, const Cell& b) { return (a.state_ | b.state_) <= kNumber; }
    /// The number read() gives, once it is known.
    double knownNumber() const { return number_; }

    /// The cell read as a single, as readSingle(text()) would give it.
    Failure readSingle(float& out) {
        if (state_ == kWhole) [[likely]] {
            out = static_cast<float>(number_); // below 1E+15: never beyond the single range
            return Failure::None;
        }
        double value = 0;
        if (const Failure f = read(value); f != Failure::None) return f;
        out = static_cast<float>(value);
        return std::isinf(out) ? Failure::Overflow : Failure::None;
    }

    /// True and `out` set when the cell holds a whole number in the signed 32-bit range; else
    /// the caller reads it and rounds.
    bool wholeInt32(std::int32_t& out) const {
        if (state_ != kWhole || !(number_ > -2147483649.0 && number_ < 2147483648.0)) return false;
        out = static_cast<std::int32_t>(number_);
        return true;
    }

    /// The cell holds the whole number `value`.
    bool holdsWhole(double value) const { return state_ == kWhole && number_ == value; }
    /// The whole number the cell holds, after wholeInt32() said it has one.
    double whole() const { return number_; }

    /// Adds `delta` (1 or -1) to the number read as `value`; the same as
    /// storeNumber(value + delta).
    void step(double value, double delta) {
        // A whole number stays whole, below 1E+15 in size with one to spare.
        if (state_ == kWhole && value > -999999999999999.0 && value < 999999999999999.0) {
            number_ = value + delta; // never -0: x + 1 and x - 1 are +0 when they are 0
            stale_ = true;
            return;
        }
        storeNumber(value + delta);
    }

    /// Adds `delta` (1 or -1) when the cell holds a whole number that stays whole; else false
    /// and nothing changed.
    bool stepWhole(double delta) {
        if (state_ != kWhole || !(std::fabs(number_) < 999999999999999.0)) return false;
        number_ += delta; // never -0: x + 1 and x - 1 are +0 when they are 0
        stale_ = true;
        return true;
    }

    /// Both cells hold whole numbers.
    static bool bothWhole(const Cell& a, const Cell& b) { return (a.state_ | b.state_) == kWhole; }

    /// True when both cells hold whole numbers, with `less` and `greater` set as their singles
    /// compare.
    static bool compareWhole(const Cell& a, const Cell& b, bool& less, bool& greater) {
        if ((a.state_ | b.state_) != kWhole) return false;
        // Below 1E+15: never beyond the single range.
        const float x = static_cast<float>(a.number_), y = static_cast<float>(b.number_);
        less = x < y;
        greater = x > y;
        return true;
    }

    /// The cell's text.
    const std::string& text() {
        if (stale_) {
            text_.clear();
            appendNumberText(text_, number_);
            stale_ = false;
            written_ = true; // the number written, now as its text
        }
        return text_;
    }

    /// The text an arithmetic result is stored as: numberText(value).
    void storeNumber(double value) {
        // Whole numbers below 1E+15 are their own text; the common case, so it is tested here.
        if (std::fabs(value) < 1e15 &&
            static_cast<double>(static_cast<std::int64_t>(value)) == value) {
            number_ = value + 0.0; // "0" for negative zero, which reads as +0
            state_ = kWhole;
            stale_ = true;
            return;
        }
        // The digits go through a local: a pointer to number_ handed to a call would keep the
        // callers' cells out of registers.
        double digits = 0;
        if (fifteenDigitFraction(value, digits, hint_)) {
            number_ = digits;
            state_ = kNumber;
            stale_ = true;
            return;
        }
        storeText(value);
    }

    /// storeNumber for results that are seldom whole numbers (quotients, powers, roots): the
    /// fraction's digits are worked out first.
    void storeFraction(double value) {
        double digits = 0;
        const QuickDigits quick = fifteenDigitsQuick(value, digits, hint_);
        if (quick != QuickDigits::Declined) [[likely]] {
            number_ = digits;
            state_ = quick == QuickDigits::Whole ? kWhole : kNumber;
            stale_ = true;
            return;
        }
        storeNumberElsewhere(value);
    }

    /// Writes a text; `edit` changes the text in place (append, assign).
    template <typename Edit> void editText(Edit&& edit) {
        text();
        edit(text_);
        state_ = kText;
        written_ = true;
    }

    void clear() {
        text_.clear();
        stale_ = false;
        written_ = true;
        state_ = kBad;
        bad_ = Failure::TypeMismatch;
    }

    /// Two cells hold the same text.
    static bool sameText(Cell& a, Cell& b) {
        // A stale text is numberText(number), and two numbers it reads back as are distinct.
        if (a.stale_ && b.stale_) return a.number_ == b.number_;
        return a.text() == b.text();
    }

    /// Moves the text out at the end of a run.
    std::string take() {
        text();
        return std::move(text_);
    }

    /// A cell holding `text`, not yet read as a number and not yet written.
    void adopt(std::string&& text) {
        text_ = std::move(text);
        state_ = kText;
        stale_ = false;
        written_ = false;
    }
    /// Some step wrote the cell since adopt() (perhaps the text it held already): a number
    /// written leaves its text stale until the text is asked for, and then marks the cell.
    bool written() const { return written_ || stale_; }
    /// A copy from another cell wrote this one.
    void markWritten() { written_ = true; }

private:
    enum State : unsigned char {
        kWhole,  ///< number_ is a whole number below 1E+15 in size
        kNumber, ///< number_ is what the text reads as
        kText,   ///< not yet read as a number
        kBad,    ///< the text reads as `bad_`
    };
    static_assert(kWhole == 0, "compareWhole tests two states with one or");

    // The numbers storeFraction leaves to storeNumber: zero, far magnitudes, ties.
    [[gnu::noinline]] void storeNumberElsewhere(double value) { storeNumber(value); }

    // The text itself, read back: the value lies beyond what the number's digits can be worked
    // out for without it.
    [[gnu::noinline]] void storeText(double value) {
        text_.clear();
        appendNumberText(text_, value);
        stale_ = false;
        written_ = true;
        parse();
    }

    // Out of line, and with no pointer to the caller's variables, which then stay in registers.
    [[gnu::noinline]] Failure parseText() {
        if (state_ == kText) parse();
        return state_ == kBad ? bad_ : Failure::None;
    }

    void parse() {
        bad_ = readDouble(text_, number_);
        if (bad_ != Failure::None) {
            state_ = kBad;
        } else if (number_ > -1e15 && number_ < 1e15 &&
                   static_cast<double>(static_cast<std::int64_t>(number_)) == number_) {
            state_ = kWhole;
        } else {
            state_ = kNumber;
        }
    }

    std::string text_;
    double number_ = 0;
    State state_ = kText;
    bool stale_ = false; ///< the text is numberText(number_), not yet written
    /// A step wrote a text to the cell, or a number whose text was since written out: a debug
    /// session's watches look (a number written sets only stale_, which costs nothing more).
    bool written_ = false;
    Failure bad_ = Failure::None;
    DigitsHint hint_; ///< the scale of the cell's last result, most likely its next one's too
};

} // namespace tessivor::fast
