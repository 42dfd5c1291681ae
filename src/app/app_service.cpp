#include "app/app_service.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

#include <utility>

namespace purlo {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");
// Long enough for the bus to start Purlo and for Purlo to claim its name,
// on a busy machine; only a Purlo that is not running yet is waited for so.
constexpr int kStartMs = 15000;
// For the bus itself, which answers at once whatever state Purlo is in.
constexpr int kBusMs = 500;

QDBusMessage busCall(const QDBusConnection& bus, const QString& member, const QVariantList& arguments, int ms) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), member);
    m.setArguments(arguments);
    return bus.call(m, QDBus::Block, ms);
}

// Calls `member` on the running Purlo, which has kAnswerMs to answer; when
// none runs, the bus starts one first (D-Bus activation), which may take
// up to kStartMs.
std::optional<RequestFailure> call(const QString& member, const QVariantList& arguments) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return RequestFailure{QStringLiteral("there is no D-Bus session bus"), bus.lastError().message()};
    const QString name = QString::fromLatin1(kBusName);
    const QDBusMessage owned = busCall(bus, QStringLiteral("NameHasOwner"), {name}, kBusMs);
    if (owned.type() != QDBusMessage::ReplyMessage)
        return RequestFailure{QStringLiteral("the D-Bus session bus did not answer"), owned.errorMessage()};
    if (!owned.arguments().value(0).toBool()) {
        const QDBusMessage started = busCall(bus, QStringLiteral("StartServiceByName"), {name, 0u}, kStartMs);
        if (started.type() != QDBusMessage::ReplyMessage)
            return RequestFailure{QStringLiteral("Purlo could not be started"), started.errorMessage()};
    }

    QDBusMessage m = QDBusMessage::createMethodCall(name, QString::fromLatin1(kObjectPath), kInterface, member);
    m.setArguments(arguments);
    const QDBusMessage reply = bus.call(m, QDBus::Block, kAnswerMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return std::nullopt;
    const bool silent = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
                        reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout");
    return RequestFailure{silent ? QStringLiteral("Purlo did not answer") : QStringLiteral("Purlo refused the request"),
                          reply.errorMessage()};
}

}  // namespace

AppService::AppService(std::function<void()> clean, std::function<void()> activate, QObject* parent)
    : QObject(parent),
      clean_(std::move(clean)),
      activate_(std::move(activate)),
      startedByBus_(qEnvironmentVariableIsSet("DBUS_STARTER_BUS_TYPE")) {}

AppService::Claim AppService::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Claim::NoBus;
    bus.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportScriptableSlots);
    // Neither queued nor replaceable: a second Purlo learns at once that it
    // is the second.
    const auto reply =
        bus.interface()->registerService(QString::fromLatin1(kBusName), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) return Claim::Ours;
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    return reply.isValid() ? Claim::Taken : Claim::NoBus;
}

// Starting Purlo from a launcher (or `purlo`) while it runs.
void AppService::Activate(const QVariantMap&) {
    if (!std::exchange(startedByBus_, false)) activate_();
}
void AppService::Open(const QStringList&, const QVariantMap&) { startedByBus_ = false; }

void AppService::ActivateAction(const QString& name, const QVariantList&, const QVariantMap&) {
    startedByBus_ = false;
    if (name != QLatin1String(kCleanAction)) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Purlo has no action \"%1\"").arg(name));
        return;
    }
    clean_();
}

std::optional<RequestFailure> activateRunning() { return call(QStringLiteral("Activate"), {QVariantMap()}); }

}  // namespace purlo
