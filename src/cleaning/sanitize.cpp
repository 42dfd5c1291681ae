#include "cleaning/sanitize.hpp"

#include "cleaning/url_cleaner.hpp"
#include "cleaning/whitespace.hpp"

#include <optional>
#include <string>

namespace purlo {
namespace {

// Another program that copies while a run is cleaning wins: the run starts
// over on the new content, but gives up quietly rather than race forever.
constexpr int kMaxAttempts = 3;

}  // namespace

void sanitizeClipboard(Pasteboard& pasteboard, Notifier& notifier) {
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::uint64_t seen = pasteboard.changeCount();

        const std::optional<std::size_t> count = pasteboard.itemCount();
        if (!count) return;
        std::optional<std::string> text;
        for (std::size_t i = 0; i < *count && !text; ++i) text = pasteboard.plainText(i);
        if (!text || text->empty()) return;

        const std::string cleaned = cleanText(*text);

        // Never overwrite a newer copy with the cleaned form of an older one.
        if (pasteboard.changeCount() != seen) continue;

        pasteboard.clear();
        if (pasteboard.writeString(cleaned)) {
            notifier.deliver(kCleanedTitle, kCleanedText);
        } else {
            notifier.deliver(kWriteFailedTitle, kWriteFailedText);
        }
        return;
    }
}

}  // namespace purlo
