#pragma once
// Where the program's notifications go: the desktop's notification server
// in the program, a recorder in the tests.

#include <functional>
#include <string>
#include <string_view>

namespace purlo {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows one notification at once; never waits for the user.
    virtual void deliver(std::string_view title, std::string_view body) = 0;

    // One thing the user can do from the notification, with a button where
    // the server shows buttons. `invoked` runs on the GUI thread, at most once.
    struct Action {
        std::string label;
        std::function<void()> invoked;
    };
    // Where the server offers no actions, the body alone is shown: it must
    // say on its own how to do the same by hand.
    virtual void deliverWithAction(std::string_view title, std::string_view body, Action action) {
        (void)action;
        deliver(title, body);
    }
};

}  // namespace purlo
