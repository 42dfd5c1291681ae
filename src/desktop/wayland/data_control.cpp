#include "desktop/wayland/data_control.hpp"

#include "desktop/wayland/event_thread.hpp"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace purlo::wayland {
namespace {

// The pipe size Linux grants any user by default; fewer wake-ups per MB.
constexpr int kPipeBytes = 1 << 20;

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

void DataControl::close() {
    for (auto& source : sources_)
        if (source->proxy) destroySource(source->proxy);
    sources_.clear();
    pending_.reset();
    for (Offer& offer : offers_) destroyOffer(offer.proxy);
    offers_.clear();
    current_ = nullptr;
    ours_.reset();
    destroyDevice();
    destroyManager();
}

const std::vector<std::string>& DataControl::selectionTypes() const {
    static const std::vector<std::string> none;
    return current_ ? current_->types : none;
}

int DataControl::receive(const std::string& type) {
    if (!current_) return -1;
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return -1;
    fcntl(p[0], F_SETPIPE_SZ, kPipeBytes);  // only a speed-up: failure is fine
    receiveRequest(current_->proxy, type, p[1]);
    ::close(p[1]);  // the request holds a copy of its own until it is sent
    return p[0];
}

std::shared_ptr<DataControl::Source> DataControl::setSelection(std::shared_ptr<const text::OwnText> text) {
    auto source = std::make_shared<Source>();
    source->owner = this;
    source->text = std::move(text);
    source->typesSorted = sorted(source->text->types());
    source->proxy = createSource(*source);
    // The protocol does not say which selection event is the one
    // set_selection caused. The compositor takes a client's requests in
    // order, so a selection event that comes after this sync's answer,
    // offers exactly our types, while our source still stands (a later copy
    // would have cancelled it first), is ours.
    source->armedBySync = thread_.sync();
    setSelectionRequest(source->proxy);
    sources_.push_back(source);
    pending_ = source;
    return source;
}

DataControl::Offer* DataControl::offerAnnounced(void* proxy) { return &offers_.emplace_back(Offer{proxy, {}}); }

void DataControl::dropOffer(Offer* offer) {
    if (!offer) return;
    destroyOffer(offer->proxy);
    offers_.remove_if([&](const Offer& o) { return &o == offer; });
}

void DataControl::selectionChanged(Offer* offer) {
    if (current_ != offer) dropOffer(current_);
    current_ = offer;
    if (offer && pending_ && pending_->state == Source::State::Pending &&
        thread_.syncsDone() >= pending_->armedBySync && sorted(offer->types) == pending_->typesSorted) {
        pending_->state = Source::State::Selected;
        pending_->foreignBefore = foreignChanges_.load();
        ours_ = pending_->text;
        pending_.reset();
        return;
    }
    ours_.reset();
    // The selection that stands when the device opens is no change.
    if (thread_.running()) foreignChanges_.fetch_add(1);
}

void DataControl::sourceSend(Source* source, const char* type, int fd) {
    thread_.serve(fd, source->text->bytesFor(type));
}

void DataControl::sourceCancelled(Source* source) {
    source->state = Source::State::Cancelled;
    destroySource(source->proxy);
    source->proxy = nullptr;
    if (pending_.get() == source) pending_.reset();
    std::erase_if(sources_, [&](const auto& s) { return s.get() == source; });
}

void DataControl::deviceFinished() {
    // The seat is gone; with it the clipboard this device showed.
    destroyDevice();
    dropOffer(current_);
    current_ = nullptr;
    ours_.reset();
}

namespace {

// One data-control protocol's names. wlroots' own (zwlr_), which wlroots
// compositors and KWin offer, and the standard grown out of it (ext_,
// wayland-protocols' staging) have the same requests and events.
#define PURLO_DATA_CONTROL_NAMES(Traits, P)                                                \
    struct Traits {                                                                        \
        using Manager = P##_manager_v1;                                                    \
        using Device = P##_device_v1;                                                      \
        using Offer = P##_offer_v1;                                                        \
        using Source = P##_source_v1;                                                      \
        using DeviceListener = P##_device_v1_listener;                                     \
        using OfferListener = P##_offer_v1_listener;                                       \
        using SourceListener = P##_source_v1_listener;                                     \
        static constexpr const wl_interface* managerInterface = &P##_manager_v1_interface; \
        static constexpr auto getDevice = P##_manager_v1_get_data_device;                  \
        static constexpr auto createSource = P##_manager_v1_create_data_source;            \
        static constexpr auto destroyManager = P##_manager_v1_destroy;                     \
        static constexpr auto addDeviceListener = P##_device_v1_add_listener;              \
        static constexpr auto setSelection = P##_device_v1_set_selection;                  \
        static constexpr auto destroyDevice = P##_device_v1_destroy;                       \
        static constexpr auto addOfferListener = P##_offer_v1_add_listener;                \
        static constexpr auto offerData = P##_offer_v1_get_user_data;                      \
        static constexpr auto receive = P##_offer_v1_receive;                              \
        static constexpr auto destroyOffer = P##_offer_v1_destroy;                         \
        static constexpr auto addSourceListener = P##_source_v1_add_listener;              \
        static constexpr auto offer = P##_source_v1_offer;                                 \
        static constexpr auto destroySource = P##_source_v1_destroy;                       \
    }
PURLO_DATA_CONTROL_NAMES(Wlr, zwlr_data_control);
PURLO_DATA_CONTROL_NAMES(Ext, ext_data_control);
#undef PURLO_DATA_CONTROL_NAMES

template <class P>
class Device final : public DataControl {
public:
    using DataControl::DataControl;

    bool bindManager(wl_registry* registry, std::uint32_t name, const char* interface) override {
        if (manager_ || std::strcmp(interface, P::managerInterface->name) != 0) return false;
        manager_ = static_cast<typename P::Manager*>(wl_registry_bind(registry, name, P::managerInterface, 1));
        return true;
    }
    bool hasManager() const override { return manager_ != nullptr; }
    void openDevice(wl_seat* seat) override {
        device_ = P::getDevice(manager_, seat);
        P::addDeviceListener(device_, &kDeviceListener, this);
    }
    bool hasDevice() const override { return device_ != nullptr; }

protected:
    void* createSource(DataControl::Source& source) override {
        auto* proxy = P::createSource(manager_);
        P::addSourceListener(proxy, &kSourceListener, &source);
        for (const std::string& type : source.text->types()) P::offer(proxy, type.c_str());
        return proxy;
    }
    void setSelectionRequest(void* source) override {
        P::setSelection(device_, static_cast<typename P::Source*>(source));
    }
    void destroySource(void* source) override { P::destroySource(static_cast<typename P::Source*>(source)); }
    void receiveRequest(void* offer, const std::string& type, int fd) override {
        P::receive(static_cast<typename P::Offer*>(offer), type.c_str(), fd);
    }
    void destroyOffer(void* offer) override { P::destroyOffer(static_cast<typename P::Offer*>(offer)); }
    void destroyDevice() override {
        if (device_) P::destroyDevice(device_);
        device_ = nullptr;
    }
    void destroyManager() override {
        if (manager_) P::destroyManager(manager_);
        manager_ = nullptr;
    }

private:
    static void onDataOffer(void* self, typename P::Device*, typename P::Offer* proxy) {
        P::addOfferListener(proxy, &kOfferListener, static_cast<Device*>(self)->offerAnnounced(proxy));
    }
    static void onOfferType(void* offer, typename P::Offer*, const char* type) {
        static_cast<DataControl::Offer*>(offer)->types.emplace_back(type);
    }
    static void onSelection(void* self, typename P::Device*, typename P::Offer* proxy) {
        static_cast<Device*>(self)->selectionChanged(proxy ? static_cast<DataControl::Offer*>(P::offerData(proxy))
                                                           : nullptr);
    }
    static void onFinished(void* self, typename P::Device*) { static_cast<Device*>(self)->deviceFinished(); }
    static void onPrimarySelection(void*, typename P::Device*, typename P::Offer*) {}
    static void onSend(void* source, typename P::Source*, const char* type, int32_t fd) {
        auto* s = static_cast<DataControl::Source*>(source);
        static_cast<Device*>(s->owner)->sourceSend(s, type, fd);
    }
    static void onCancelled(void* source, typename P::Source*) {
        auto* s = static_cast<DataControl::Source*>(source);
        static_cast<Device*>(s->owner)->sourceCancelled(s);
    }

    static constexpr
        typename P::DeviceListener kDeviceListener = {onDataOffer, onSelection, onFinished, onPrimarySelection};
    static constexpr typename P::OfferListener kOfferListener = {onOfferType};
    static constexpr typename P::SourceListener kSourceListener = {onSend, onCancelled};

    typename P::Manager* manager_ = nullptr;
    typename P::Device* device_ = nullptr;
};

}  // namespace

std::unique_ptr<DataControl> makeExtDataControl(EventThread& thread) { return std::make_unique<Device<Ext>>(thread); }
std::unique_ptr<DataControl> makeWlrDataControl(EventThread& thread) { return std::make_unique<Device<Wlr>>(thread); }

}  // namespace purlo::wayland
