#pragma once
// The backend for desktops where Purlo has no way to register a global
// shortcut: it registers nothing and says why.

#include "app/hotkey/hotkey_backend.hpp"

#include <string>

namespace purlo {

class NullHotkeyBackend final : public HotkeyBackend {
public:
    explicit NullHotkeyBackend(std::string reason, QObject* parent = nullptr)
        : HotkeyBackend(parent), reason_(std::move(reason)) {}

    RegistrationResult registerHotkey(HotkeyId) override { return {false, reason_}; }
    const char* name() const override { return "none"; }

private:
    std::string reason_;
};

}  // namespace purlo
