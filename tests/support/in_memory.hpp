#pragma once
// A clipboard and a notifier that live in memory, for the tests of the
// cleaning run and of the queue that runs it.

#include "desktop/clipboard.hpp"
#include "desktop/notifier.hpp"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace purlo {

class InMemoryClipboard : public Clipboard {
public:
    struct Item {
        std::optional<std::string> plainText;  // nullopt: no plain-text form
        std::vector<std::string> otherTypes;   // e.g. "text/html", "image/png"
    };

    // What another program's copy does: replaces everything, counts a change.
    void copy(std::vector<Item> items);
    // A clipboard that offers no item list at all.
    void offerNoList();

    const std::optional<std::vector<Item>>& items() const { return items_; }

    // Runs after each plainText() read, so a test can copy "from another
    // program" between the read and the write.
    std::function<void()> afterRead;
    // What writeString() answers when it is not Written; the clipboard is
    // then left as it was.
    WriteResult writeOutcome = WriteResult::Written;
    // What plainText() answers instead of the item's text, when set.
    std::optional<TextRead::Status> readProblem;

    int plainTextReads = 0;
    int writes = 0;

    std::optional<std::size_t> itemCount() override;
    TextRead plainText(std::size_t index) override;
    WriteResult writeString(std::string text) override;
    std::uint64_t changeCount() override { return changes_; }

private:
    std::optional<std::vector<Item>> items_ = std::vector<Item>{};
    std::uint64_t changes_ = 0;
};

class RecordingNotifier : public Notifier {
public:
    std::vector<std::pair<std::string, std::string>> delivered;

    void deliver(std::string_view title, std::string_view body) override { delivered.emplace_back(title, body); }
};

}  // namespace purlo
