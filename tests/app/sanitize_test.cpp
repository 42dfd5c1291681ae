#include "app/sanitize.hpp"
#include "support/in_memory.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using purlo::InMemoryClipboard;
using Item = InMemoryClipboard::Item;
using Note = std::pair<std::string, std::string>;

const Note kCleaned{purlo::kCleanedTitle, purlo::kCleanedText};
const Note kWriteFailed{purlo::kProblemTitle, purlo::kWriteFailedText};

struct Case {
    const char* name;
    std::optional<std::vector<Item>> items;             // none: the clipboard offers no item list
    std::optional<std::string> written = std::nullopt;  // the one plain string left, if that is all there is
    std::vector<Note> notes = {kCleaned};
    int reads = 1, writes = 1;
    int racingCopies = 0;                                    // another program copies after each of the first reads
    purlo::WriteResult write = purlo::WriteResult::Written;  // what a write answers
    std::optional<purlo::TextRead::Status> readProblem = std::nullopt;
    int runs = 1;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Sanitize : public ::testing::TestWithParam<Case> {};

TEST_P(Sanitize, WritesOnePlainStringOrLeavesTheClipboard) {
    const Case& c = GetParam();
    InMemoryClipboard pb;
    c.items ? pb.copy(*c.items) : pb.offerNoList();
    pb.writeOutcome = c.write;
    pb.readProblem = c.readProblem;
    int copies = 0;
    const std::vector<Item> racing{Item{"new  text", {"text/html"}}};
    pb.afterRead = [&] {
        if (copies++ < c.racingCopies) pb.copy(racing);
    };
    purlo::RecordingNotifier notes;
    for (int i = 0; i < c.runs; ++i) purlo::sanitizeClipboard(pb, notes);

    const auto& items = pb.items();
    const bool onePlain = items && items->size() == 1 && (*items)[0].otherTypes.empty();
    EXPECT_EQ(onePlain ? (*items)[0].plainText : std::nullopt, c.written);
    EXPECT_EQ(notes.delivered, c.notes);
    EXPECT_EQ(pb.plainTextReads, c.reads);
    EXPECT_EQ(pb.writes, c.writes);
}

// clang-format off: one case a line.
INSTANTIATE_TEST_SUITE_P(
    Cases, Sanitize,
    ::testing::Values(
        Case{.name = "NoItemList", .items = std::nullopt, .notes = {}, .reads = 0, .writes = 0},
        Case{.name = "EmptyClipboard", .items = std::vector<Item>{}, .notes = {}, .reads = 0, .writes = 0},
        Case{.name = "ImageOnly", .items = {{Item{{}, {"image/png"}}}}, .notes = {}, .writes = 0},
        // Rewritten as plain text even when cleaning changes nothing.
        Case{.name = "StyledWithPlainText", .items = {{Item{"Hello world", {"text/html"}}}}, .written = "Hello world"},
        Case{.name = "WhiteSpaceOnlyBecomesEmpty", .items = {{Item{"   \n\t", {}}}}, .written = ""},
        Case{.name = "SecondItemsText",
             .items = {{Item{{}, {"image/png"}}, Item{"b  c", {}}}},
             .written = "b c",
             .reads = 2},
        Case{.name = "FirstTextWins", .items = {{Item{"first", {}}, Item{"second", {}}}}, .written = "first"},
        Case{.name = "EmptyFirstTextStops", .items = {{Item{"", {}}, Item{"x", {}}}}, .notes = {}, .writes = 0},
        Case{.name = "AddressesThenWhiteSpace",
             .items = {{Item{" See https://h/a?id=1&ref=m\n\nand https://h/b?gclid=9 ", {}}}},
             .written = "See https://h/a?id=1 and https://h/b"},
        // Addresses are cleaned before the trim: a prepended mark glues this
        // one to the space after it, so it is kept, and the trim comes later.
        Case{.name = "GluedAddressKept",
             .items = {{Item{"https://h/a?ref=1\u0600 ", {}}}},
             .written = "https://h/a?ref=1\u0600"},
        Case{.name = "SecondRunCleansWhatTheFirstWrote",
             .items = {{Item{" a  https://h/?ref=1 ", {"text/html"}}}},
             .written = "a https://h/",
             .notes = {kCleaned, kCleaned},
             .reads = 2,
             .writes = 2,
             .runs = 2},
        // Each way a run can fail is said, or (a newer copy won the server's
        // word) stays quiet; the clipboard keeps what it had.
        Case{.name = "FailedWriteIsReportedNotCelebrated",
             .items = {{Item{"a  b", {"text/html"}}}},
             .notes = {kWriteFailed},
             .write = purlo::WriteResult::Failed},
        Case{.name = "SupersededWriteIsQuiet",
             .items = {{Item{"a  b", {"text/html"}}}},
             .notes = {},
             .write = purlo::WriteResult::Superseded},
        Case{.name = "OwnerDidNotAnswer",
             .items = {{Item{"a  b", {"text/html"}}}},
             .notes = {{"Purlo", "The program holding the clipboard did not answer"}},
             .writes = 0,
             .readProblem = purlo::TextRead::Status::NoAnswer},
        Case{.name = "TooLarge",
             .items = {{Item{"a  b", {"text/html"}}}},
             .notes = {{"Purlo", "The clipboard is too large to clean"}},
             .writes = 0,
             .readProblem = purlo::TextRead::Status::TooLarge},
        // A copy made while the text is being cleaned is never overwritten
        // with the cleaned form of the older text; after three such races
        // the run gives up quietly.
        Case{.name = "CopyDuringCleaning",
             .items = {{Item{"a", {}}}},
             .written = "new text",
             .reads = 2,
             .racingCopies = 1},
        Case{.name = "KeepsLosingTheRace",
             .items = {{Item{"a", {}}}},
             .notes = {},
             .reads = 3,
             .writes = 0,
             .racingCopies = 3}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
