#pragma once
// The two small interfaces the sanitize action works against, so that it can
// run on any desktop clipboard and notification service, or in memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace purlo {

// One item's plain text, or why there is none.
struct TextRead {
    enum class Status {
        Text,      // `text` holds it (UTF-8; possibly empty)
        NoText,    // the item has no plain-text form
        NoAnswer,  // the program holding the clipboard did not answer in time
        TooLarge,  // more text than the pasteboard is willing to hold
    };
    Status status = Status::NoText;
    std::string text;
};

enum class WriteResult {
    Written,     // the clipboard now holds the text, and only it
    Superseded,  // another program copied in between; its copy stays
    Failed,      // nothing changed
};

class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // How many items the clipboard holds, or nullopt when it offers no item
    // list at all.
    virtual std::optional<std::size_t> itemCount() = 0;

    virtual TextRead plainText(std::size_t index) = 0;

    // Replaces every item and every representation with `text` as the one
    // plain string, in one step: unless it answers Written, whatever the
    // clipboard held before is still there.
    virtual WriteResult writeString(std::string_view text) = 0;

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
