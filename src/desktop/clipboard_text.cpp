#include "desktop/clipboard_text.hpp"

#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace purlo::text {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

std::vector<Offered> readableForms(const std::vector<std::string>& offered) {
    std::vector<Offered> out;
    for (const Form& form : kReadOrder) {
        const auto it = std::find_if(offered.begin(), offered.end(),
                                     [&](const std::string& name) { return sameName(name, form.name); });
        if (it != offered.end()) out.push_back({*it, form.encoding});
    }
    return out;
}

std::optional<std::string> decode(std::string bytes, Encoding encoding) {
    if (encoding == Encoding::Latin1) return latin1ToUtf8(bytes);
    if (!validUtf8(bytes)) return std::nullopt;
    return bytes;
}

bool validUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const auto n = int32_t(s.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (unsigned char b : s) {
        if (b < 0x80) {
            out += char(b);
        } else {
            out += char(0xC0 | (b >> 6));
            out += char(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> toLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += char(b);
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
            out += char(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

OwnText::OwnText(std::string utf8) : utf8_(std::make_shared<const std::string>(std::move(utf8))) {
    // ASCII text, the most common, is its own Latin-1 form: one copy serves both.
    if (std::all_of(utf8_->begin(), utf8_->end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        latin1_ = utf8_;
    else if (auto latin1 = toLatin1(*utf8_))
        latin1_ = std::make_shared<const std::string>(std::move(*latin1));
    for (const Form& form : kReadOrder)
        if (form.encoding == Encoding::Utf8 || latin1_) types_.emplace_back(form.name);
}

std::shared_ptr<const std::string> OwnText::bytesFor(std::string_view type) const {
    for (const Form& form : kReadOrder)
        if (form.name == type) return form.encoding == Encoding::Latin1 ? latin1_ : utf8_;
    return nullptr;
}

}  // namespace purlo::text
