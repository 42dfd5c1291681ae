#include "cleaning/in_memory.hpp"
#include "cleaning/sanitize.hpp"

#include <gtest/gtest.h>

namespace {

using purlo::InMemoryPasteboard;
using Item = InMemoryPasteboard::Item;
using Note = std::pair<std::string, std::string>;

const Note kCleaned{"\u2713 Purlo", "Removed formatting & cleaned URLs"};

std::optional<std::string> onlyText(const InMemoryPasteboard& pb) {
    if (!pb.items() || pb.items()->size() != 1 || !(*pb.items())[0].otherTypes.empty()) return std::nullopt;
    return (*pb.items())[0].plainText;
}

struct Case {
    const char* name;
    std::vector<Item> items;
    std::optional<std::string> written;  // nullopt: the clipboard is left alone
};

class Sanitize : public ::testing::TestWithParam<Case> {};

TEST_P(Sanitize, WritesOnePlainStringOrLeavesTheClipboard) {
    const Case& c = GetParam();
    InMemoryPasteboard pb;
    pb.copy(c.items);
    purlo::RecordingNotifier notes;
    purlo::sanitizeClipboard(pb, notes);
    if (c.written) {
        EXPECT_EQ(onlyText(pb), c.written);
        EXPECT_EQ(notes.delivered, std::vector<Note>{kCleaned});
    } else {
        EXPECT_EQ(pb.writes, 0);
        ASSERT_TRUE(pb.items());
        EXPECT_EQ(pb.items()->size(), c.items.size());
        EXPECT_TRUE(notes.delivered.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Sanitize,
    ::testing::Values(
        Case{"EmptyClipboard", {}, std::nullopt},
        Case{"ImageOnly", {Item{std::nullopt, {"image/png"}}}, std::nullopt},
        Case{"StyledWithPlainText", {Item{"Hello world", {"text/html", "text/rtf"}}}, "Hello world"},
        Case{"NothingToCleanIsStillRewritten", {Item{"plain", {}}}, "plain"},
        Case{"WhiteSpaceOnlyBecomesEmpty", {Item{"   \n\t", {}}}, ""},
        Case{"SecondItemHasTheText", {Item{std::nullopt, {"image/png"}}, Item{"b  c", {}}}, "b c"},
        Case{"FirstTextWins", {Item{"first", {}}, Item{"second", {}}}, "first"},
        Case{"EmptyFirstTextStops", {Item{"", {}}, Item{"second", {}}}, std::nullopt},
        Case{"AddressesThenWhiteSpace",
             {Item{"  See https://host/a?id=1&utm_source=mail\n\nand https://host/b?fbclid=9 ", {"text/html"}}},
             "See https://host/a?id=1 and https://host/b"},
        // Addresses are cleaned before the trim: a prepended mark glues this
        // one to the space after it, so it is kept, and the trim comes later.
        Case{"AddressGluedToTrailingSpaceIsKept", {Item{"https://host/a?ref=1\u0600 ", {}}},
             "https://host/a?ref=1\u0600"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SanitizeAction, NoItemListChangesNothing) {
    InMemoryPasteboard pb;
    pb.offerNoList();
    purlo::RecordingNotifier notes;
    purlo::sanitizeClipboard(pb, notes);
    EXPECT_FALSE(pb.items());
    EXPECT_EQ(pb.plainTextReads + pb.writes, 0);
    EXPECT_TRUE(notes.delivered.empty());
}

TEST(SanitizeAction, EmptyFirstTextDoesNotAskTheSecondItem) {
    InMemoryPasteboard pb;
    pb.copy({Item{"", {}}, Item{"x", {}}});
    purlo::RecordingNotifier notes;
    purlo::sanitizeClipboard(pb, notes);
    EXPECT_EQ(pb.plainTextReads, 1);
}

TEST(SanitizeAction, SecondRunCleansWhatTheFirstWrote) {
    InMemoryPasteboard pb;
    pb.copy({Item{" a  https://h/?ref=1 ", {"text/html"}}});
    purlo::RecordingNotifier notes;
    purlo::sanitizeClipboard(pb, notes);
    purlo::sanitizeClipboard(pb, notes);
    EXPECT_EQ(onlyText(pb), "a https://h/");
    EXPECT_EQ(notes.delivered, (std::vector<Note>{kCleaned, kCleaned}));
}

// Each way a run can fail is said, or (a newer copy won) stays quiet; the
// clipboard keeps what it had in every case.
TEST(SanitizeAction, ProblemsAreReportedNotCelebrated) {
    using Read = purlo::TextRead::Status;
    using Write = purlo::WriteResult;
    const struct {
        std::optional<Read> read;
        Write write;
        std::vector<Note> notes;
    } cases[] = {
        {Read::NoAnswer, Write::Written, {{"Purlo", "The program holding the clipboard did not answer"}}},
        {Read::TooLarge, Write::Written, {{"Purlo", "The clipboard is too large to clean"}}},
        {std::nullopt, Write::Failed, {{"Purlo", "Could not write to the clipboard"}}},
        {std::nullopt, Write::Superseded, {}},
    };
    for (const auto& c : cases) {
        InMemoryPasteboard pb;
        pb.copy({Item{"a  b", {"text/html"}}});
        pb.readProblem = c.read;
        pb.writeOutcome = c.write;
        purlo::RecordingNotifier notes;
        purlo::sanitizeClipboard(pb, notes);
        EXPECT_EQ(notes.delivered, c.notes);
        EXPECT_EQ((*pb.items())[0].otherTypes.size(), 1u);
    }
}

// Another program copies while the text is being cleaned: its copy is never
// overwritten with the cleaned form of the older text.
TEST(SanitizeAction, CopyDuringCleaningStartsOverOnTheNewText) {
    InMemoryPasteboard pb;
    pb.copy({Item{"old  text", {}}});
    int copies = 0;
    pb.afterRead = [&] {
        if (copies++ == 0) pb.copy({Item{"new  text", {"text/html"}}});
    };
    purlo::RecordingNotifier notes;
    purlo::sanitizeClipboard(pb, notes);
    EXPECT_EQ(onlyText(pb), "new text");
    EXPECT_EQ(notes.delivered, std::vector<Note>{kCleaned});
}

TEST(SanitizeAction, KeepsLosingTheRaceThenStopsQuietly) {
    InMemoryPasteboard pb;
    pb.copy({Item{"t0", {}}});
    int copies = 0;
    pb.afterRead = [&] { pb.copy({Item{"t" + std::to_string(++copies), {"text/html"}}}); };
    purlo::RecordingNotifier notes;
    purlo::sanitizeClipboard(pb, notes);
    EXPECT_EQ(pb.plainTextReads, 3);
    EXPECT_EQ(pb.writes, 0);
    ASSERT_TRUE(pb.items());
    EXPECT_EQ((*pb.items())[0].otherTypes.size(), 1u);  // the last copy is intact
    EXPECT_TRUE(notes.delivered.empty());
}

}  // namespace
