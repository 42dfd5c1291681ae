#include "app/app_service.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

namespace purlo {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");
// Long enough for the bus to start Purlo and for Purlo to come up.
constexpr int kCallTimeoutMs = 25000;

}  // namespace

AppService::AppService(std::function<void()> clean, QObject* parent) : QObject(parent), clean_(std::move(clean)) {}

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

// Starting Purlo from a launcher while it runs: it is there already, and the
// tray icon is its only window.
void AppService::Activate(const QVariantMap&) {}
void AppService::Open(const QStringList&, const QVariantMap&) {}

void AppService::ActivateAction(const QString& name, const QVariantList&, const QVariantMap&) {
    if (name != QLatin1String(kCleanAction)) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Purlo has no action \"%1\"").arg(name));
        return;
    }
    clean_();
}

QString requestClean() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return QStringLiteral("no D-Bus session bus to reach Purlo on (%1)").arg(bus.lastError().message());
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kObjectPath),
                                                       kInterface, QStringLiteral("ActivateAction"));
    call << QString::fromLatin1(kCleanAction) << QVariantList() << QVariantMap();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return {};
    return QStringLiteral("Purlo did not take the request: %1").arg(reply.errorMessage());
}

}  // namespace purlo
