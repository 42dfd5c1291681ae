#pragma once
// The two small interfaces the sanitize action works against, so that it can
// run on any desktop clipboard and notification service, or in memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace purlo {

class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // How many items the clipboard holds, or nullopt when it offers no item
    // list at all.
    virtual std::optional<std::size_t> itemCount() = 0;

    // The plain-text representation of item `index` (UTF-8), or nullopt when
    // the item has none (or could not be read).
    virtual std::optional<std::string> plainText(std::size_t index) = 0;

    // Removes every item and every representation.
    virtual void clear() = 0;

    // Makes `text` the one plain-text representation of the clipboard.
    // Returns true only when that really took effect.
    virtual bool writeString(std::string_view text) = 0;

    // Grows whenever the clipboard's content changes, whoever changed it.
    virtual std::uint64_t changeCount() = 0;
};

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows one notification at once; never waits for the user.
    virtual void deliver(std::string_view title, std::string_view informativeText) = 0;
};

}  // namespace purlo
