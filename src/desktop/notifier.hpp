#pragma once
// Where the program's notifications go: the desktop's notification server
// in the program, a recorder in the tests.

#include <string_view>

namespace purlo {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows one notification at once; never waits for the user.
    virtual void deliver(std::string_view title, std::string_view body) = 0;
};

}  // namespace purlo
