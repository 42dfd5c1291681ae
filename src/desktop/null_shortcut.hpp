#pragma once
// The backend for desktops where Purlo has no way to register a global
// shortcut: it registers nothing and says why.

#include "desktop/shortcut.hpp"

#include <string>

namespace purlo {

class NullShortcutBackend final : public ShortcutBackend {
public:
    explicit NullShortcutBackend(std::string reason, QObject* parent = nullptr)
        : ShortcutBackend(parent), reason_(std::move(reason)) {}

    RegistrationResult registerShortcut(ShortcutId) override { return RegistrationResult::unavailable(reason_); }
    const char* name() const override { return "none"; }

private:
    std::string reason_;
};

}  // namespace purlo
