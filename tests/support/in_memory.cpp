#include "support/in_memory.hpp"

namespace purlo {

void InMemoryClipboard::copy(std::vector<Item> items) {
    items_ = std::move(items);
    ++changes_;
}

void InMemoryClipboard::offerNoList() {
    items_.reset();
    ++changes_;
}

std::optional<std::size_t> InMemoryClipboard::itemCount() {
    if (!items_) return std::nullopt;
    return items_->size();
}

TextRead InMemoryClipboard::plainText(std::size_t index) {
    ++plainTextReads;
    TextRead read;
    if (readProblem) {
        read.status = *readProblem;
    } else if (items_ && index < items_->size() && (*items_)[index].plainText) {
        read = {TextRead::Status::Text, *(*items_)[index].plainText};
    }
    if (afterRead) afterRead();
    return read;
}

WriteResult InMemoryClipboard::writeString(std::string text) {
    ++writes;
    if (writeOutcome != WriteResult::Written) return writeOutcome;
    items_ = std::vector<Item>{Item{std::move(text), {}}};
    ++changes_;
    return WriteResult::Written;
}

}  // namespace purlo
