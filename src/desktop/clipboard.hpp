#pragma once
// The desktop's clipboard as the cleaning run sees it: one item's plain
// text in, one plain string out. Each desktop brings its own (X11,
// Wayland's data-control, Qt's); the tests bring one that lives in memory.

#include <chrono>
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
        TooLarge,  // more text than the clipboard is willing to hold
    };
    Status status = Status::NoText;
    std::string text;
};

enum class WriteResult {
    Written,     // the clipboard now holds the text, and only it
    Superseded,  // another program copied in between; its copy stays
    Failed,      // nothing changed
};

// Construct on the GUI thread; the methods may then be called from any
// thread (the cleaning worker's, normally), one call at a time.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // How many items the clipboard holds, or nullopt when it offers no item
    // list at all.
    virtual std::optional<std::size_t> itemCount() = 0;

    virtual TextRead plainText(std::size_t index) = 0;

    // Replaces every item and every representation with `text` as the one
    // plain string, in one step: unless it answers Written, whatever the
    // clipboard held before is still there. Takes the text, which a large
    // clipboard would otherwise hold twice.
    virtual WriteResult writeString(std::string text) = 0;

    // Grows whenever the clipboard's content changes, whoever changed it.
    virtual std::uint64_t changeCount() = 0;

    // Hands what the program still owns to a clipboard manager, when one
    // runs, so that quitting does not empty the clipboard. GUI thread, after
    // the last cleaning run has ended. True when there was nothing to hand
    // over or the manager took it.
    virtual bool handOver(std::chrono::milliseconds) { return true; }
};

}  // namespace purlo
