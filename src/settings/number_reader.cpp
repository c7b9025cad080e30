#include "settings/number_reader.h"

namespace trivexa::settings {
namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Walks the text, skipping blanks, tabs and line feeds everywhere.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool AtEnd() {
    Skip();
    return pos_ >= text_.size();
  }
  char Peek() { return AtEnd() ? '\0' : text_[pos_]; }
  void Advance() { ++pos_; }

 private:
  void Skip() {
    while (pos_ < text_.size() && IsSkipped(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Where the fraction lies against one half.
enum class Fraction { kZero, kBelowHalf, kHalf, kAboveHalf };

}  // namespace

std::int64_t ReadLeadingNumber(std::string_view text) {
  Cursor cursor(text);
  bool negative = false;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    negative = cursor.Peek() == '-';
    cursor.Advance();
  }

  std::int64_t whole = 0;
  while (IsDigit(cursor.Peek())) {
    if (whole < kNumberCap) whole = whole * 10 + (cursor.Peek() - '0');
    cursor.Advance();
  }
  if (whole > kNumberCap) whole = kNumberCap;

  Fraction fraction = Fraction::kZero;
  if (cursor.Peek() == '.') {
    cursor.Advance();
    bool first = true;
    while (IsDigit(cursor.Peek())) {
      const int digit = cursor.Peek() - '0';
      if (first) {
        fraction = digit > 5    ? Fraction::kAboveHalf
                   : digit == 5 ? Fraction::kHalf
                   : digit > 0  ? Fraction::kBelowHalf
                                : Fraction::kZero;
        first = false;
      } else if (digit != 0) {
        // Any further digit lifts an exact half above it; below-half stays.
        if (fraction == Fraction::kHalf) fraction = Fraction::kAboveHalf;
        if (fraction == Fraction::kZero) fraction = Fraction::kBelowHalf;
      }
      cursor.Advance();
    }
  }

  const bool roundUp =
      fraction == Fraction::kAboveHalf || (fraction == Fraction::kHalf && whole % 2 == 1);
  if (roundUp && whole < kNumberCap) ++whole;
  return negative ? -whole : whole;
}

}  // namespace trivexa::settings
