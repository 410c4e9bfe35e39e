#include "dialogs/DialogFields.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "io/Format.h"

namespace velmora {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The message for a field read as `parsed`, or nothing when it is a number within the range.
std::optional<std::string> Refusal(const std::optional<int64_t>& parsed, int32_t min,
                                   int32_t max) {
  if (!parsed) return std::string(msg::kNotAnInteger);
  if (*parsed < min || *parsed > max) return Format(msg::kIntegerRange, min, max);
  return std::nullopt;
}

}  // namespace

std::optional<int64_t> ParseIntegerField(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digitsStart = i;
  int64_t magnitude = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0; ++i) {
    // Saturate well beyond the int range; the caller's range check refuses such a number.
    if (magnitude <= int64_t{INT_MAX} + 1) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (i == digitsStart) return std::nullopt;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) return int64_t{INT_MAX};
  if (value < INT_MIN) return int64_t{INT_MIN};
  return value;
}

std::optional<int32_t> IntegerFieldValue(const std::string& text, int32_t min, int32_t max) {
  const std::optional<int64_t> parsed = ParseIntegerField(text);
  if (Refusal(parsed, min, max)) return std::nullopt;
  return static_cast<int32_t>(*parsed);
}

std::optional<std::string> AcceptIntegerField(const std::string& text, int32_t min, int32_t max,
                                              int32_t& value) {
  const std::optional<int64_t> parsed = ParseIntegerField(text);
  std::optional<std::string> refusal = Refusal(parsed, min, max);
  if (!refusal) value = static_cast<int32_t>(*parsed);
  return refusal;
}

std::optional<std::string> LimitIntegerField(const std::string& text, int32_t min, int32_t max,
                                             int32_t& value) {
  const std::optional<int64_t> parsed = ParseIntegerField(text);
  if (parsed) value = static_cast<int32_t>(std::clamp<int64_t>(*parsed, min, max));
  return Refusal(parsed, min, max);
}

}  // namespace velmora
