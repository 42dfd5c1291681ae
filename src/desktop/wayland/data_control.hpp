#pragma once
// The seat's clipboard as a data-control protocol shows it: the offers the
// compositor announces, the selection standing now, and the sources we put
// up. A client of any data-control protocol sees and sets the clipboard
// without having the focus; wlr-data-control (wlroots compositors, KWin) is
// the one built today, and its standard successor ext-data-control-v1 has
// the same requests and events, so it is one more traits struct in
// data_control.cpp.
//
// Lives on an EventThread: every call, and every listener, with that
// thread's mutex held.

#include "desktop/clipboard_text.hpp"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

struct wl_registry;
struct wl_seat;

namespace purlo::wayland {

class EventThread;

class DataControl {
public:
    struct Source {
        enum class State { Pending, Selected, Cancelled };
        DataControl* owner = nullptr;
        void* proxy = nullptr;
        std::shared_ptr<const text::OwnText> text;
        std::vector<std::string> typesSorted;
        std::uint64_t armedBySync = 0;    // see setSelection()
        std::uint64_t foreignBefore = 0;  // foreignChanges() when it became the selection
        State state = State::Pending;
    };

    explicit DataControl(EventThread& thread) : thread_(thread) {}
    virtual ~DataControl() = default;
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    // Binds the protocol's manager when the registry announces it; true
    // when this global was it.
    virtual bool bindManager(wl_registry* registry, std::uint32_t name, const char* interface) = 0;
    virtual bool hasManager() const = 0;
    // The device of `seat`: it announces the selection standing now.
    virtual void openDevice(wl_seat* seat) = 0;
    virtual bool hasDevice() const = 0;
    // Destroys everything of the protocol's; before the connection goes.
    void close();

    bool hasSelection() const { return current_ != nullptr; }
    // The selection's text when it is our own source, served from memory.
    std::shared_ptr<const text::OwnText> ownSelection() const { return ours_; }
    const std::vector<std::string>& selectionTypes() const;
    // Asks the selection's owner for `type`; the read end of its pipe, or -1.
    int receive(const std::string& type);
    // Selection events not of our making; any thread.
    std::uint64_t foreignChanges() const { return foreignChanges_.load(); }

    // Puts `text` up as the clipboard. The source's state says when the
    // compositor has made it the selection, or cancelled it.
    std::shared_ptr<Source> setSelection(std::shared_ptr<const text::OwnText> text);

protected:
    struct Offer {
        void* proxy;
        std::vector<std::string> types;
    };

    // The protocol's events, from its listeners.
    Offer* offerAnnounced(void* proxy);
    void selectionChanged(Offer* offer);
    void sourceSend(Source* source, const char* type, int fd);
    void sourceCancelled(Source* source);
    void deviceFinished();

    // The protocol's requests.
    virtual void* createSource(Source& source) = 0;  // with its listener, offering source.text's types
    virtual void setSelectionRequest(void* source) = 0;
    virtual void destroySource(void* source) = 0;
    virtual void receiveRequest(void* offer, const std::string& type, int fd) = 0;
    virtual void destroyOffer(void* offer) = 0;
    virtual void destroyDevice() = 0;
    virtual void destroyManager() = 0;

private:
    void dropOffer(Offer* offer);

    EventThread& thread_;
    std::list<Offer> offers_;                     // announced, not yet replaced
    Offer* current_ = nullptr;                    // the selection's offer
    std::shared_ptr<const text::OwnText> ours_;   // when the selection is our source
    std::list<std::shared_ptr<Source>> sources_;  // ours, until cancelled
    std::shared_ptr<Source> pending_;             // set, not yet seen selected
    std::atomic<std::uint64_t> foreignChanges_{0};
};

// ext-data-control-v1 (ext_data_control_manager_v1).
std::unique_ptr<DataControl> makeExtDataControl(EventThread& thread);
// wlr-data-control (zwlr_data_control_manager_v1).
std::unique_ptr<DataControl> makeWlrDataControl(EventThread& thread);

}  // namespace purlo::wayland
