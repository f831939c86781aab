// STAND-IN for the public holidays' table and its lookup, with the interface
// the real one has: it knows only DE and DE-BY, from their rules. The real
// table (generated from its data set) replaces these two files whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace horalog {

// The public holidays of a region: an ISO 3166-1 country ("DE", "US") or an
// ISO 3166-2 subdivision ("DE-BY", "AT-9", "CH-ZH", "GB-SCT"), case-insensitive.
class THolidayRegion {
 public:
  explicit THolidayRegion(std::string code) : code_(std::move(code)) {}
  const std::string& Code() const { return code_; }
  // The English name of the public holiday on day (a day number as
  // DayFromText gives), or nothing.
  std::optional<std::string> HolidayOn(int64_t day) const;

 private:
  std::string code_;
};

// Nothing: an unknown code.
std::optional<THolidayRegion> FindHolidayRegion(std::string_view code);

}  // namespace horalog
