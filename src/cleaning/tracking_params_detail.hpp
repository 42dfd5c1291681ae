#pragma once
// Internals shared between the address cleaner and its tests.

#include <string>
#include <string_view>

namespace purlo::detail {

// True when the query item name (as spelled in the query, percent-escapes
// and all) decodes and lower-cases to one of kTrackingParams.
bool isTrackingName(std::string_view rawName);

// Appends removeTrackingParams(address) to `out` without a temporary string.
void appendWithoutTracking(std::string& out, std::string_view address);

}  // namespace purlo::detail
