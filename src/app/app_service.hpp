#pragma once
// Purlo on the session bus as app.purlo.Purlo, its desktop entry's id. The
// name is the one-per-user claim: a second Purlo finds it taken. Its
// org.freedesktop.Application interface carries the "clean" action, which
// is how a desktop's own key binding (`purlo --clean`) asks for a cleaning
// where Purlo cannot register the shortcut itself; the bus starts Purlo
// first when none runs (D-Bus activation).

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

namespace purlo {

inline constexpr const char* kBusName = "app.purlo.Purlo";
inline constexpr const char* kObjectPath = "/app/purlo/Purlo";
inline constexpr const char* kCleanAction = "clean";

class AppService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    enum class Claim { Ours, Taken, NoBus };

    explicit AppService(std::function<void()> clean, QObject* parent = nullptr);
    // Exports the object, then asks for the name: a call that started us
    // through activation waits in the bus until the name is ours, and must
    // then find the object.
    Claim claim();

public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
    Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
    Q_SCRIPTABLE void ActivateAction(const QString& name, const QVariantList& parameter,
                                     const QVariantMap& platformData);

private:
    std::function<void()> clean_;
};

// `purlo --clean`: asks the running Purlo (started by the bus if need be)
// for one cleaning and returns once it has the request. Empty on success;
// otherwise what went wrong, for the user.
QString requestClean();

}  // namespace purlo
