#pragma once
// Purlo on the session bus as app.purlo.Purlo, its desktop entry's id. The
// name is the one-per-user claim: a second Purlo finds it taken. Its
// org.freedesktop.Application interface carries the "clean" action, which
// is how a desktop's own key binding (`purlo --clean`) asks for a cleaning
// where Purlo cannot register the shortcut itself; the bus starts Purlo
// first when none runs (D-Bus activation). Its Activate is how the desktop,
// or a second `purlo`, asks a running Purlo to show itself.

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace purlo {

inline constexpr const char* kBusName = "app.purlo.Purlo";
inline constexpr const char* kObjectPath = "/app/purlo/Purlo";
inline constexpr const char* kCleanAction = "clean";

class AppService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    enum class Claim { Ours, Taken, NoBus };

    // `clean` queues a cleaning; `activate` shows that Purlo runs.
    AppService(std::function<void()> clean, std::function<void()> activate, QObject* parent = nullptr);
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
    std::function<void()> activate_;
    // The bus started this Purlo to deliver a call, which comes first: an
    // Activate that started Purlo is answered by the launch itself.
    bool startedByBus_ = false;
};

// Why a request did not reach Purlo: a few words for a notification, and the
// bus's own message for the terminal.
struct RequestFailure {
    QString reason;
    QString detail;
};

// How long a running Purlo has to answer.
inline constexpr int kAnswerMs = 2000;

// A second `purlo`: asks the running one to show itself.
std::optional<RequestFailure> activateRunning();

}  // namespace purlo
