#pragma once
// The one action of the program: clean the clipboard's text in place.

#include "cleaning/clean_text.hpp"
#include "desktop/clipboard.hpp"
#include "desktop/notifier.hpp"

#include <string_view>

namespace purlo {

inline constexpr std::string_view kCleanedTitle = "\u2713 Purlo";
inline constexpr std::string_view kCleanedText = "Removed formatting & cleaned URLs";
// Titles of the notifications that say a run did not clean.
inline constexpr std::string_view kProblemTitle = "Purlo";
inline constexpr std::string_view kWriteFailedText = "Could not write to the clipboard";
inline constexpr std::string_view kNoAnswerText = "The program holding the clipboard did not answer";
inline constexpr std::string_view kTooLargeText = "The clipboard is too large to clean";

// Reads the first item's plain text, writes back cleanText() of it as the
// only content and notifies. Stops quietly when there is no text, or when
// another program copies while it runs.
void sanitizeClipboard(Clipboard& clipboard, Notifier& notifier);

}  // namespace purlo
