#pragma once
// Removal of tracking query items from one web address.

#include <array>
#include <string>
#include <string_view>

namespace purlo {

// Whole names only; compared against the lower-cased, percent-decoded item name.
inline constexpr std::array<std::string_view, 21> kTrackingParams = {
    "utm_source", "utm_medium", "utm_campaign", "utm_term", "utm_content", "gclid",    "gclsrc",
    "dclid",      "fbclid",     "msclkid",      "zanpid",   "_ga",         "_gl",      "mc_cid",
    "mc_eid",     "oly_enc_id", "oly_anon_id",  "ref",      "source",      "campaign", "mkt_tok",
};

// The address without its tracking query items, or `address` unchanged when
// it cannot be read as an address with a query. UTF-8 in, UTF-8 out.
std::string removeTrackingParams(std::string_view address);

}  // namespace purlo
