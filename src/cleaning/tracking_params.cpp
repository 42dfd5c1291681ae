#include "cleaning/tracking_params.hpp"

#include "cleaning/tracking_params_detail.hpp"

#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <optional>

namespace purlo {
namespace {

constexpr std::size_t kLongestName = [] {
    std::size_t n = 0;
    for (auto name : kTrackingParams) n = std::max(n, name.size());
    return n;
}();

// Each entry has at most kLongestName characters, and no character takes more
// than four bytes, nor grows when lower-cased into an ASCII letter; a longer
// name can be rejected before any decoding or case mapping.
constexpr std::size_t kLongestCandidateBytes = 4 * kLongestName;

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-escapes decoded; a '%' not followed by two hex digits stays as it is.
// '+' is not a space here: only form encoding says so, and names are compared
// as the query spells them.
std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexValue(static_cast<unsigned char>(s[i + 1]));
            const int lo = hexValue(static_cast<unsigned char>(s[i + 2]));
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

bool isListed(std::string_view lowered) {
    return std::find(kTrackingParams.begin(), kTrackingParams.end(), lowered) != kTrackingParams.end();
}

// The full Unicode lower-case mapping, the same in every locale ("root"),
// or nullopt when `utf8` is not valid UTF-8 (such a name is never listed).
std::optional<std::string> lowerUnicode(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    UChar wide[2 * kLongestCandidateBytes];
    int32_t wideLen = 0;
    u_strFromUTF8(wide, static_cast<int32_t>(std::size(wide)), &wideLen, utf8.data(), static_cast<int32_t>(utf8.size()),
                  &status);
    if (U_FAILURE(status)) return std::nullopt;

    // Lower-casing can lengthen a string (U+0130 becomes two code points).
    UChar lower[4 * kLongestCandidateBytes];
    const int32_t lowerLen =
        u_strToLower(lower, static_cast<int32_t>(std::size(lower)), wide, wideLen, "root", &status);
    if (U_FAILURE(status)) return std::nullopt;

    char bytes[8 * kLongestCandidateBytes];
    int32_t bytesLen = 0;
    u_strToUTF8(bytes, static_cast<int32_t>(std::size(bytes)), &bytesLen, lower, lowerLen, &status);
    if (U_FAILURE(status)) return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(bytesLen));
}

// Calls f(piece) for each '&'-separated piece of the query, in order, until
// f returns false.
template <class F>
void forEachPiece(std::string_view query, F f) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t amp = query.find('&', pos);
        if (!f(query.substr(pos, amp == std::string_view::npos ? amp : amp - pos))) return;
        if (amp == std::string_view::npos) return;
        pos = amp + 1;
    }
}

std::string_view nameOf(std::string_view piece) { return piece.substr(0, piece.find('=')); }

}  // namespace

namespace detail {

bool isTrackingName(std::string_view rawName) {
    if (rawName.empty() || rawName.size() > 3 * kLongestCandidateBytes) return false;
    std::string decoded;
    std::string_view name = rawName;
    if (name.find('%') != std::string_view::npos) {
        decoded = percentDecode(rawName);
        name = decoded;
    }
    if (name.size() > kLongestCandidateBytes) return false;

    char ascii[kLongestCandidateBytes];
    bool isAscii = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) {
            isAscii = false;
            break;
        }
        ascii[i] = static_cast<char>((c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c);
    }
    if (isAscii) return isListed(std::string_view(ascii, name.size()));

    const auto lowered = lowerUnicode(name);
    return lowered && isListed(*lowered);
}

void appendWithoutTracking(std::string& out, std::string_view address) {
    const std::size_t hash = address.find('#');
    const std::size_t question = address.find('?');
    if (question == std::string_view::npos || question > hash) {
        out.append(address);  // no query: a '?' in the fragment does not start one
        return;
    }
    // A space or a control character cannot stand in an address: such a text
    // is not one and is left alone.
    for (char ch : address) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F) {
            out.append(address);
            return;
        }
    }

    const std::string_view head = address.substr(0, question);
    const std::size_t queryEnd = hash == std::string_view::npos ? address.size() : hash;
    const std::string_view query = address.substr(question + 1, queryEnd - question - 1);
    const std::string_view tail = address.substr(queryEnd);

    // First pass: is there anything to drop at all? An address with nothing
    // to remove comes back byte for byte, empty pieces ("&&") included.
    bool anyTracking = false;
    forEachPiece(query, [&](std::string_view piece) {
        anyTracking = isTrackingName(nameOf(piece));
        return !anyTracking;
    });
    if (!query.empty() && !anyTracking) {
        out.append(address);
        return;
    }

    // Surviving items are written back exactly as they stood: decoding and
    // re-encoding them would turn a value's %2B into '+', which form-decoding
    // servers read as a space. Empty pieces carry no item and are not kept.
    out.append(head);
    bool first = true;
    forEachPiece(query, [&](std::string_view piece) {
        if (!piece.empty() && !isTrackingName(nameOf(piece))) {
            out.push_back(first ? '?' : '&');
            out.append(piece);
            first = false;
        }
        return true;
    });
    out.append(tail);
}

}  // namespace detail

std::string removeTrackingParams(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    detail::appendWithoutTracking(out, address);
    return out;
}

}  // namespace purlo
