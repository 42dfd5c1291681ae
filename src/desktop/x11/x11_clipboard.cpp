#include "desktop/x11/x11_clipboard.hpp"

#include "desktop/qt/qt_clipboard.hpp"
#include "desktop/x11/selection_owner.hpp"
#include "desktop/x11/selection_reader.hpp"

#include <optional>

namespace purlo {
namespace {

// X11: the reader asks the owner for its text, the owner holds ours. Only
// the change count still comes from Qt (its XFixes watch).
class X11Clipboard final : public QtClipboard {
public:
    explicit X11Clipboard(const std::string& display) : reader_(display), owner_(display) {}

    std::optional<std::size_t> itemCount() override {
        // Every run asks this first: the time taken here is the one its
        // claim carries, so that any copy made after it wins.
        run_ = owner_.now();
        if (owner_.ownedText()) return 1;
        const std::optional<bool> owned = reader_.hasOwner();
        if (!owned) return std::nullopt;
        return *owned ? 1 : 0;  // the X clipboard holds one item at most
    }

    TextRead plainText(std::size_t index) override {
        if (index != 0) return {};
        // Ours: from memory; reading it through the server would only make
        // the reply wait on our own serving.
        if (auto own = owner_.ownedText()) return {TextRead::Status::Text, own->utf8()};
        X11SelectionReader::Result r = reader_.readText();
        switch (r.outcome) {
            case X11SelectionReader::Outcome::Text: return {TextRead::Status::Text, std::move(r.text)};
            case X11SelectionReader::Outcome::TimedOut: return {TextRead::Status::NoAnswer, {}};
            case X11SelectionReader::Outcome::TooLarge: return {TextRead::Status::TooLarge, {}};
            default: return {};
        }
    }

    WriteResult writeString(std::string text) override {
        const std::optional<X11SelectionOwner::Moment> since = run_ ? run_ : owner_.now();
        if (!since) return WriteResult::Failed;
        switch (owner_.claim(std::move(text), *since)) {
            case X11SelectionOwner::Claim::Owned: return WriteResult::Written;
            case X11SelectionOwner::Claim::Refused: return WriteResult::Superseded;
            // Not reported as done: a newer copy was lost to it.
            case X11SelectionOwner::Claim::Raced: return WriteResult::Superseded;
            case X11SelectionOwner::Claim::Failed: return WriteResult::Failed;
        }
        return WriteResult::Failed;
    }

    bool handOver(std::chrono::milliseconds limit) override { return !owner_.ownedText() || owner_.handOver(limit); }

private:
    X11SelectionReader reader_;
    X11SelectionOwner owner_;
    std::optional<X11SelectionOwner::Moment> run_;  // when the run began; cleaning thread only
};

}  // namespace

std::unique_ptr<Clipboard> makeX11Clipboard(const std::string& x11Display) {
    return std::make_unique<X11Clipboard>(x11Display);
}

}  // namespace purlo
