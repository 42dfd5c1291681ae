#include "desktop/desktop_binding.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace purlo {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::vector<std::string> split(std::string_view s, char by) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in{std::string(s)};
    while (std::getline(in, part, by)) out.push_back(part);
    return out;
}

std::vector<std::string> words(std::string_view s) {
    std::vector<std::string> out;
    std::istringstream in{std::string(s)};
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool hasDesktop(std::string_view currentDesktop, std::string_view name) {
    for (const std::string& d : split(currentDesktop, ':'))
        if (lower(d) == lower(name)) return true;
    return false;
}

// What a desktop tool prints, or nullopt when it is missing, fails or takes
// longer than a start may wait.
std::optional<QByteArray> output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(2000)) {
        p.kill();
        p.waitForFinished(500);
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return std::nullopt;
    return p.readAllStandardOutput();
}

// GVariant's text form of a string or an array of strings: the quoted parts.
std::vector<std::string> quoted(const QByteArray& text) {
    std::vector<std::string> out;
    std::optional<std::string> current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!current) {
            if (c == '\'') current.emplace();
        } else if (c == '\\' && i + 1 < text.size()) {
            *current += text[++i];
        } else if (c == '\'') {
            out.push_back(std::move(*current));
            current.reset();
        } else {
            *current += c;
        }
    }
    return out;
}

std::optional<QByteArray> gsettings(const QStringList& args) { return output(QStringLiteral("gsettings"), args); }

// GNOME keeps its custom shortcuts, the ones Settings → Keyboard makes, in
// GSettings.
const QString kMediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const std::string kOurPath = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/purlo/";

std::vector<std::string> gnomeCustomPaths() {
    const auto list = gsettings({QStringLiteral("get"), kMediaKeys, QStringLiteral("custom-keybindings")});
    return list ? quoted(*list) : std::vector<std::string>{};
}

QString customSchema(const std::string& path) {
    return kMediaKeys + QStringLiteral(".custom-keybinding:") + QString::fromStdString(path);
}

// A custom shortcut's name, command and keys, read in one go: Purlo asks at
// every start on GNOME, once per custom shortcut.
std::optional<std::array<std::string, 3>> gnomeCustom(const std::string& path) {
    const auto all = gsettings({QStringLiteral("list-recursively"), customSchema(path)});
    if (!all) return std::nullopt;
    std::array<std::string, 3> out;
    const char* keys[] = {"name", "command", "binding"};
    for (const std::string& line : split(all->toStdString(), '\n')) {
        const std::vector<std::string> w = words(line);
        const auto q = quoted(QByteArray::fromStdString(line));
        for (int i = 0; i < 3; ++i)
            if (w.size() >= 2 && w[1] == keys[i] && !q.empty()) out[i] = q.front();
    }
    return out;
}

bool gnomeBindsClean() {
    for (const std::string& path : gnomeCustomPaths()) {
        const auto c = gnomeCustom(path);
        if (c && runsPurloClean((*c)[1]) && isSuperShiftV((*c)[2])) return true;
    }
    return false;
}

// The GNOME shortcut that already holds Super+Shift+V (its key or its name),
// if one does: the window manager's, the shell's, the media keys' own, and
// the custom ones.
std::optional<std::string> gnomeChordHolder() {
    for (const char* schema :
         {"org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings", "org.gnome.mutter.keybindings",
          "org.gnome.mutter.wayland.keybindings", "org.gnome.settings-daemon.plugins.media-keys"}) {
        const auto all = gsettings({QStringLiteral("list-recursively"), QLatin1String(schema)});
        if (!all) continue;  // not installed on this GNOME
        for (const std::string& line : split(all->toStdString(), '\n')) {
            const std::vector<std::string> w = words(line);
            if (w.size() < 3) continue;
            for (const std::string& keys : quoted(QByteArray::fromStdString(line)))
                if (isSuperShiftV(keys)) return w[1];
        }
    }
    for (const std::string& path : gnomeCustomPaths()) {
        const auto c = gnomeCustom(path);
        if (c && isSuperShiftV((*c)[2]) && !runsPurloClean((*c)[1])) return (*c)[0];
    }
    return std::nullopt;
}

// GVariant's text form of a string.
QString gvariantString(const std::string& s) {
    QString out = QStringLiteral("'");
    for (const QChar c : QString::fromStdString(s)) {
        if (c == u'\\' || c == u'\'') out += u'\\';
        out += c;
    }
    return out + u'\'';
}

// The custom shortcut Settings → Keyboard would make: "Purlo", running this
// program with --clean, on Super+Shift+V.
bool writeGnomeBinding() {
    std::vector<std::string> paths = gnomeCustomPaths();
    if (std::find(paths.begin(), paths.end(), kOurPath) == paths.end()) paths.push_back(kOurPath);
    QStringList list;
    for (const std::string& p : paths) list << gvariantString(p);
    // gnome-settings-daemon splits the command as a shell would. The program
    // that started this one (bin/purlo) names itself in argv[0].
    const std::string program = QCoreApplication::arguments().value(0).toStdString();
    const std::string command =
        (!program.starts_with('/') || program.find_first_of(" \t'\"\\") != std::string::npos ? std::string("purlo")
                                                                                             : program) +
        " --clean";
    const QString schema = customSchema(kOurPath);
    return gsettings({QStringLiteral("set"), schema, QStringLiteral("name"), gvariantString("Purlo")}) &&
           gsettings({QStringLiteral("set"), schema, QStringLiteral("command"), gvariantString(command)}) &&
           gsettings({QStringLiteral("set"), schema, QStringLiteral("binding"), gvariantString("<Super><Shift>v")}) &&
           gsettings({QStringLiteral("set"), kMediaKeys, QStringLiteral("custom-keybindings"),
                      u'[' + list.join(QStringLiteral(", ")) + u']'});
}

// sway tells its configuration over its IPC socket.
bool swayBindsClean(const std::string& swaySocket) {
    QStringList args = {QStringLiteral("-t"), QStringLiteral("get_config"), QStringLiteral("-r")};
    if (!swaySocket.empty()) args << QStringLiteral("-s") << QString::fromStdString(swaySocket);
    const auto reply = output(QStringLiteral("swaymsg"), args);
    if (!reply) return false;
    const std::string config =
        QJsonDocument::fromJson(*reply).object().value(QStringLiteral("config")).toString().toStdString();
    return swayConfigBindsClean(config);
}

// labwc reads the first rc.xml it finds in its configuration folders.
bool labwcBindsClean() {
    const QString rc = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, QStringLiteral("labwc/rc.xml"));
    QFile file(rc);
    if (rc.isEmpty() || !file.open(QIODevice::ReadOnly)) return false;
    return labwcConfigBindsClean(file.readAll().toStdString());
}

class DesktopBindingShortcut final : public ShortcutBackend {
public:
    DesktopBindingShortcut(std::unique_ptr<ShortcutBackend> inner, DesktopFacts desktop)
        : inner_(std::move(inner)), desktop_(std::move(desktop)), kind_(desktopKindOf(desktop_)) {
        inner_->setParent(this);
        connect(inner_.get(), &ShortcutBackend::activated, this, &ShortcutBackend::activated);
        connect(inner_.get(), &ShortcutBackend::registrationChanged, this,
                [this](const RegistrationResult& now) { emit registrationChanged(settle(now)); });
    }
    ~DesktopBindingShortcut() override { inner_.release(); }  // a child: it goes with us

    RegistrationResult registerShortcut(ShortcutId id) override { return settle(inner_->registerShortcut(id)); }
    const char* name() const override { return inner_->name(); }

    void setUp() override {
        if (!gnome()) return;
        if (const auto holder = gnomeChordHolder()) {
            emit registrationChanged(
                RegistrationResult::unavailable("GNOME\u2019s shortcut \u201C" + *holder + "\u201D uses it"));
            return;
        }
        if (!writeGnomeBinding() || !gnomeBindsClean()) {
            RegistrationResult r = RegistrationResult::unavailable("GNOME did not keep the shortcut");
            r.advice = bindingAdvice(kind_);
            emit registrationChanged(r);
            return;
        }
        emit registrationChanged(RegistrationResult::bound());
    }

private:
    RegistrationResult settle(RegistrationResult r) const {
        if (r.ok || r.pending) return r;
        // The desktop's own binding also holds the chord on X11, where our
        // grab then finds it taken.
        if (boundByDesktop()) return RegistrationResult::bound();
        if (r.taken) return r;
        if (std::string_view(inner_->name()) == "portal" && !offersShortcutPortal(desktop_.currentDesktop))
            r.reason = "the desktop offers no global shortcuts";
        r.advice = bindingAdvice(kind_);
        // GNOME's custom shortcuts are settings Purlo can write, as
        // Settings → Keyboard does; it does so only when asked.
        r.canSetUp = gnome();
        return r;
    }

    bool gnome() const { return hasDesktop(desktop_.currentDesktop, "GNOME"); }

    bool boundByDesktop() const {
        if (kind_ == DesktopKind::Sway) return swayBindsClean(desktop_.swaySocket);
        if (kind_ == DesktopKind::Labwc) return labwcBindsClean();
        if (gnome()) return gnomeBindsClean();
        return false;
    }

    std::unique_ptr<ShortcutBackend> inner_;
    DesktopFacts desktop_;
    DesktopKind kind_;
};

}  // namespace

DesktopKind desktopKindOf(const DesktopFacts& desktop) {
    const std::string& currentDesktop = desktop.currentDesktop;
    for (const char* name : {"GNOME", "KDE", "XFCE", "MATE", "X-Cinnamon", "Cinnamon", "LXQt", "LXDE", "Budgie",
                             "Unity", "Pantheon", "Deepin"})
        if (hasDesktop(currentDesktop, name)) return DesktopKind::KeyboardSettings;
    if (hasDesktop(currentDesktop, "Hyprland")) return DesktopKind::Hyprland;
    if (hasDesktop(currentDesktop, "labwc")) return DesktopKind::Labwc;
    if (hasDesktop(currentDesktop, "sway") || !desktop.swaySocket.empty()) return DesktopKind::Sway;
    return desktop.x11 ? DesktopKind::WindowManager : DesktopKind::Unknown;
}

bool offersShortcutPortal(std::string_view currentDesktop) {
    return hasDesktop(currentDesktop, "GNOME") || hasDesktop(currentDesktop, "KDE") ||
           hasDesktop(currentDesktop, "Hyprland");
}

std::string bindingAdvice(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::KeyboardSettings:
            return "Bind Super+Shift+V to \u201Cpurlo --clean\u201D in the desktop\u2019s keyboard settings";
        case DesktopKind::Sway:
            return "Add \u201Cbindsym Mod4+Shift+v exec purlo --clean\u201D to sway\u2019s configuration";
        case DesktopKind::Hyprland:
            return "Add \u201Cbind = SUPER SHIFT, V, exec, purlo --clean\u201D to hyprland.conf";
        case DesktopKind::Labwc:
            return "Add a keybind of W-S-v running \u201Cpurlo --clean\u201D to labwc\u2019s rc.xml";
        case DesktopKind::WindowManager:
            return "Bind Super+Shift+V to \u201Cpurlo --clean\u201D in the window manager\u2019s key bindings, or with "
                   "xbindkeys";
        case DesktopKind::Unknown: break;
    }
    return "This desktop binds no keys for programs: run \u201Cpurlo --clean\u201D to clean the clipboard";
}

std::string noTrayAdvice(std::string_view currentDesktop) {
    const std::string quit = " Quit it with \u201Cpkill -x purlo\u201D.";
    if (hasDesktop(currentDesktop, "GNOME"))
        return "No tray shows Purlo\u2019s icon: enable the AppIndicator extension in Extensions." + quit;
    return "No tray shows Purlo\u2019s icon; it appears when a panel with a tray starts." + quit;
}

std::string chordFromTrigger(std::string_view trigger) {
    constexpr std::string_view kPress = "Press ";
    if (trigger.starts_with(kPress)) trigger.remove_prefix(kPress.size());
    if (!trigger.starts_with('<')) return std::string(trigger);
    std::string chord;
    while (trigger.starts_with('<')) {
        const auto end = trigger.find('>');
        if (end == std::string_view::npos) return std::string(trigger);
        std::string mod(trigger.substr(1, end - 1));
        if (mod == "Primary" || mod == "Control") mod = "Ctrl";
        chord += mod + '+';
        trigger.remove_prefix(end + 1);
    }
    std::string key(trigger);
    if (key.size() == 1) key[0] = char(std::toupper(static_cast<unsigned char>(key[0])));
    return chord + key;
}

bool isSuperShiftV(std::string_view accelerator) {
    std::set<std::string> mods;
    std::string_view rest = accelerator;
    while (!rest.empty() && rest.front() == '<') {
        const auto end = rest.find('>');
        if (end == std::string_view::npos) return false;
        std::string mod = lower(rest.substr(1, end - 1));
        mods.insert(mod == "mod4" ? "super" : mod);
        rest.remove_prefix(end + 1);
    }
    return mods == std::set<std::string>{"super", "shift"} && lower(rest) == "v";
}

bool isSuperShiftVCombo(std::string_view combo) {
    std::vector<std::string> parts = split(lower(combo), '+');
    if (parts.size() != 3 || parts.back() != "v") return false;
    parts.pop_back();
    std::set<std::string> mods(parts.begin(), parts.end());
    return mods == std::set<std::string>{"mod4", "shift"};
}

bool runsPurloClean(std::string_view command) {
    const std::vector<std::string> w = words(command);
    for (std::size_t i = 0; i + 1 < w.size(); ++i) {
        const std::string program = w[i].substr(w[i].rfind('/') + 1);
        if (program == "purlo" && w[i + 1] == "--clean") return true;
    }
    return false;
}

bool swayConfigBindsClean(std::string_view config) {
    std::map<std::string, std::string> vars;
    for (const std::string& line : split(config, '\n')) {
        std::vector<std::string> w = words(line);
        if (w.size() >= 3 && w[0] == "set" && w[1].starts_with('$')) vars[w[1]] = w[2];
        if (w.empty() || w[0] != "bindsym") continue;
        std::size_t at = 1;
        while (at < w.size() && w[at].starts_with("--")) ++at;  // --release, --locked, ...
        if (at + 1 >= w.size()) continue;
        std::string combo;
        for (const std::string& part : split(w[at], '+')) {
            const auto var = vars.find(part);
            combo += (combo.empty() ? "" : "+") + (var != vars.end() ? var->second : part);
        }
        std::string command;
        for (std::size_t i = at + 1; i < w.size(); ++i) command += w[i] + ' ';
        if (isSuperShiftVCombo(combo) && w[at + 1] == "exec" && runsPurloClean(command)) return true;
    }
    return false;
}

bool labwcConfigBindsClean(std::string_view rcXml) {
    QXmlStreamReader xml(QByteArray(rcXml.data(), qsizetype(rcXml.size())));
    bool inChord = false, inExecute = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString name = xml.name().toString().toLower();
        if (xml.isEndElement()) {
            if (name == QLatin1String("keybind")) inChord = false;
            if (name == QLatin1String("action")) inExecute = false;
            continue;
        }
        if (!xml.isStartElement()) continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (name == QLatin1String("keybind")) {
            // "W-S-v": modifiers, then the key; W is the logo key.
            QStringList parts = a.value(QLatin1String("key")).toString().toLower().split(u'-');
            const QString key = parts.isEmpty() ? QString() : parts.takeLast();
            std::sort(parts.begin(), parts.end());
            inChord = key == QLatin1String("v") && parts == QStringList{QStringLiteral("s"), QStringLiteral("w")};
        } else if (inChord && name == QLatin1String("action")) {
            inExecute = a.value(QLatin1String("name")).compare(QLatin1String("Execute"), Qt::CaseInsensitive) == 0;
            if (inExecute && runsPurloClean(a.value(QLatin1String("command")).toString().toStdString())) return true;
        } else if (inExecute && (name == QLatin1String("command") || name == QLatin1String("execute"))) {
            // The older form: the command as the text of an element.
            if (runsPurloClean(xml.readElementText().toStdString())) return true;
        }
    }
    return false;
}

std::unique_ptr<ShortcutBackend> withDesktopBinding(std::unique_ptr<ShortcutBackend> inner, DesktopFacts desktop) {
    return std::make_unique<DesktopBindingShortcut>(std::move(inner), std::move(desktop));
}

DesktopFacts desktopFromEnvironment() {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    return {env.value(QStringLiteral("XDG_CURRENT_DESKTOP")).toStdString(),
            env.value(QStringLiteral("SWAYSOCK")).toStdString(), false};
}

}  // namespace purlo
