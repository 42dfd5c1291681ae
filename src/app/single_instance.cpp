#include "app/single_instance.hpp"

#include <QLocalServer>
#include <QRegularExpression>

#include <unistd.h>

namespace purlo {

SingleInstance::SingleInstance(QString key) : key_(std::move(key)) {}
SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey(QString x11Display)
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        // ":0", ":0.0" and "unix:0" are one server; the screen number and
        // the local host name do not tell two displays apart.
        display = x11Display.isEmpty() ? qEnvironmentVariable("DISPLAY") : x11Display;
        static const QRegularExpression screen(QStringLiteral("\\.\\d+$"));
        display.remove(screen);
        if (display.startsWith(QLatin1String("unix:"))) display.remove(0, 4);
    }
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
