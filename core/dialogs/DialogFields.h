#pragma once
// How every dialog reads its number fields: the framework's integer reading and its two
// messages. The windows hand the field's text here and show what comes back.

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

namespace msg {
inline constexpr const char* kNotAnInteger = "整数を入力してください。";
inline constexpr const char* kIntegerRange = "%d から %d までの整数を入力してください。";
}  // namespace msg

// The framework's reading of an integer field: blanks around an optionally signed decimal
// number. Nothing when the text is not such a number; a number beyond the int range is clamped
// to it (and so fails any range check).
std::optional<int64_t> ParseIntegerField(const std::string& text);
// The field's value when it is an integer from `min` to `max`, else nothing.
std::optional<int32_t> IntegerFieldValue(const std::string& text, int32_t min, int32_t max);
// An integer field read for OK: its value from `min` to `max` goes into `value`; otherwise the
// message that keeps the dialog open is returned and `value` stays as it was.
std::optional<std::string> AcceptIntegerField(const std::string& text, int32_t min, int32_t max,
                                              int32_t& value);
// The same, except that a number outside the range is still taken, limited to it, before the
// message is returned: the field then shows what it holds while the message explains why.
std::optional<std::string> LimitIntegerField(const std::string& text, int32_t min, int32_t max,
                                             int32_t& value);

}  // namespace velmora
