// Turns the system's date and time format pictures into the pattern language
// of FormatDateTime.
#pragma once

#include <string>
#include <string_view>

namespace horalog::platform {

// A Windows date or time format picture ("M/d/yyyy", "h:mm:ss tt", "HH:mm:ss",
// "dd.MM.yyyy", text in single quotes) as a FormatDateTime pattern. Hours
// written "h" (12-hour) keep 12-hour display only through the AM/PM marker.
std::string PatternFromWindowsPicture(std::string_view picture);

}  // namespace horalog::platform
