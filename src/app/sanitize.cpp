#include "app/sanitize.hpp"

#include <optional>
#include <string>

namespace purlo {
namespace {

// Another program that copies while a run is cleaning wins: the run starts
// over on the new content, but gives up quietly rather than race forever.
constexpr int kMaxAttempts = 3;

}  // namespace

void sanitizeClipboard(Clipboard& clipboard, Notifier& notifier) {
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::uint64_t seen = clipboard.changeCount();

        const std::optional<std::size_t> count = clipboard.itemCount();
        if (!count) return;
        TextRead read;
        for (std::size_t i = 0; i < *count && read.status == TextRead::Status::NoText; ++i) {
            read = clipboard.plainText(i);
        }
        switch (read.status) {
            case TextRead::Status::NoText: return;
            case TextRead::Status::NoAnswer: notifier.deliver(kProblemTitle, kNoAnswerText); return;
            case TextRead::Status::TooLarge: notifier.deliver(kProblemTitle, kTooLargeText); return;
            case TextRead::Status::Text: break;
        }
        if (read.text.empty()) return;

        std::string cleaned = cleanText(read.text);
        // At most the text and its cleaned form are held at once: a 64 MiB
        // clipboard costs 128 MiB at the peak, not three or four times that.
        read.text = std::string();

        // Never overwrite a newer copy with the cleaned form of an older one.
        if (clipboard.changeCount() != seen) continue;

        switch (clipboard.writeString(std::move(cleaned))) {
            case WriteResult::Written: notifier.deliver(kCleanedTitle, kCleanedText); return;
            case WriteResult::Failed: notifier.deliver(kProblemTitle, kWriteFailedText); return;
            // The newer copy stays, and the press it outran is not reported
            // as done.
            case WriteResult::Superseded: return;
        }
        return;
    }
}

}  // namespace purlo
