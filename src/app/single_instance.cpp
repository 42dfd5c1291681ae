#include "app/single_instance.hpp"

#include <QLocalServer>

#include <unistd.h>

namespace purlo {

SingleInstance::SingleInstance(QString key) : key_(std::move(key)) {}
SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
    return QStringLiteral("purlo-%1-%2").arg(::getuid()).arg(display);
}

bool SingleInstance::acquire()
{
    if (server_) return true;
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (server->listen(key_)) {
        server_ = std::move(server);
        return true;
    }
    error_ = server->errorString();
    // Only a name in use means another Purlo; any other failure must not
    // stop this one from running.
    return server->serverError() != QAbstractSocket::AddressInUseError;
}

}  // namespace purlo
