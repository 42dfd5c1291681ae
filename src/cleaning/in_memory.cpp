#include "cleaning/in_memory.hpp"

namespace purlo {

void InMemoryPasteboard::copy(std::vector<Item> items) {
    items_ = std::move(items);
    ++changes_;
}

void InMemoryPasteboard::offerNoList() {
    items_.reset();
    ++changes_;
}

std::optional<std::size_t> InMemoryPasteboard::itemCount() {
    if (!items_) return std::nullopt;
    return items_->size();
}

std::optional<std::string> InMemoryPasteboard::plainText(std::size_t index) {
    ++plainTextReads;
    std::optional<std::string> text;
    if (items_ && index < items_->size()) text = (*items_)[index].plainText;
    if (afterRead) afterRead();
    return text;
}

void InMemoryPasteboard::clear() {
    ++clears;
    items_ = std::vector<Item>{};
    ++changes_;
}

bool InMemoryPasteboard::writeString(std::string_view text) {
    ++writes;
    if (!writesTakeEffect) return false;
    items_ = std::vector<Item>{Item{std::string(text), {}}};
    ++changes_;
    return true;
}

}  // namespace purlo
