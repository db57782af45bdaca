// The real program as a screen reader sees it over AT-SPI: started on the X
// server and session bus atspi_window.sh gives it, read through the
// accessibility bus as Orca reads it (QtDBus, no toolkit of the reader's).
// QZ_PROGRAM names the executable, QZ_SIMULATOR_DIR the simulated transmitter.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <functional>
#include <map>

namespace {

struct Ref {
    QString service;
    QDBusObjectPath path;
};
QDBusArgument &operator<<(QDBusArgument &a, const Ref &r)
{
    a.beginStructure();
    a << r.service << r.path;
    a.endStructure();
    return a;
}
const QDBusArgument &operator>>(const QDBusArgument &a, Ref &r)
{
    a.beginStructure();
    a >> r.service >> r.path;
    a.endStructure();
    return a;
}

constexpr const char *kAccessible = "org.a11y.atspi.Accessible";
constexpr uint kRoleComboBox = 11; // ATSPI_ROLE_COMBO_BOX
constexpr uint kRoleFrame = 23;    // ATSPI_ROLE_FRAME
constexpr uint kRoleWindow = 69;   // ATSPI_ROLE_WINDOW
constexpr uint kRoleFiller = 20;   // ATSPI_ROLE_FILLER
constexpr uint kRoleCheckBox = 7;  // ATSPI_ROLE_CHECK_BOX
constexpr uint kRoleMenuItem = 35; // ATSPI_ROLE_MENU_ITEM
constexpr uint kRolePushButton = 43; // ATSPI_ROLE_PUSH_BUTTON

} // namespace

Q_DECLARE_METATYPE(Ref)

// One event as the reader gets it: what kind, from which object.
struct Event {
    QString member; // PropertyChange, StateChanged, ...
    QString detail; // accessible-name, ...
    QString path;
    QString text; // the new name or description carried with it, if any
    qint64 ms;
};

class AtspiListener : public QObject {
    Q_OBJECT
public:
    std::vector<Event> events;
    QElapsedTimer clock;
public slots:
    void event(const QDBusMessage &message)
    {
        Event e;
        e.member = message.member();
        const QList<QVariant> args = message.arguments();
        e.detail = args.value(0).toString();
        if (args.size() > 3) {
            QVariant value = qvariant_cast<QDBusVariant>(args.at(3)).variant();
            if (value.userType() == qMetaTypeId<QDBusVariant>())
                value = qvariant_cast<QDBusVariant>(value).variant();
            e.text = value.toString();
        }
        e.path = message.path();
        e.ms = clock.elapsed();
        events.push_back(e);
    }
};

class AtspiWindowTest : public QObject {
    Q_OBJECT

    QDBusConnection bus{QString()};
    QProcess program;
    QTemporaryDir home;
    AtspiListener listener;
    QString appService;

    QVariant property(const Ref &r, const char *interface, const char *name)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(r.service, r.path.path(),
                                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
        call << QString::fromLatin1(interface) << QString::fromLatin1(name);
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        return reply.arguments().isEmpty() ? QVariant() : qvariant_cast<QDBusVariant>(reply.arguments().at(0)).variant();
    }
    QDBusMessage call(const Ref &r, const char *interface, const char *method, const QVariantList &args = {})
    {
        QDBusMessage m = QDBusMessage::createMethodCall(r.service, r.path.path(), QString::fromLatin1(interface),
                                                        QString::fromLatin1(method));
        m.setArguments(args);
        return bus.call(m, QDBus::Block, 5000);
    }
    QString name(const Ref &r) { return property(r, kAccessible, "Name").toString(); }
    uint role(const Ref &r) { return call(r, kAccessible, "GetRole").arguments().value(0).toUInt(); }
    QList<Ref> children(const Ref &r)
    {
        const QDBusMessage reply = call(r, kAccessible, "GetChildren");
        if (reply.arguments().isEmpty())
            return {};
        return qdbus_cast<QList<Ref>>(reply.arguments().at(0));
    }
    QStringList interfaces(const Ref &r) { return call(r, kAccessible, "GetInterfaces").arguments().value(0).toStringList(); }
    QString text(const Ref &r)
    {
        return call(r, "org.a11y.atspi.Text", "GetText", {0, -1}).arguments().value(0).toString();
    }
    // The first object under `from` (depth first) that `match` takes.
    std::optional<Ref> find(const Ref &from, const std::function<bool(const Ref &)> &match, int depth = 0)
    {
        if (depth > 14)
            return std::nullopt;
        for (const Ref &child : children(from)) {
            if (match(child))
                return child;
            if (auto found = find(child, match, depth + 1))
                return found;
        }
        return std::nullopt;
    }
    Ref appRoot() { return {appService, QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))}; }
    std::optional<Ref> named(const QString &wanted, uint wantedRole)
    {
        return find(appRoot(), [&](const Ref &r) { return role(r) == wantedRole && name(r) == wanted; });
    }
    bool waitFor(const std::function<bool()> &condition, int ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (!condition()) {
            if (t.elapsed() > ms || program.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(100);
        }
        return true;
    }
    void xdotool(const QStringList &args)
    {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), args);
        QVERIFY(tool.waitForFinished(10000));
    }

private slots:
    void initTestCase()
    {
        qDBusRegisterMetaType<Ref>();
        qDBusRegisterMetaType<QList<Ref>>();
        const QString executable = qEnvironmentVariable("QZ_PROGRAM");
        QVERIFY2(!executable.isEmpty(), "QZ_PROGRAM names the program");
        QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                QStringLiteral("org.a11y.Bus"));
        const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
        if (!address.isValid())
            QSKIP("no accessibility bus on the session bus");
        QDBusInterface status(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                              QStringLiteral("org.freedesktop.DBus.Properties"));
        status.call(QStringLiteral("Set"), QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled"),
                    QVariant::fromValue(QDBusVariant(true)));
        bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("a11y"));
        QVERIFY(bus.isConnected());
        // A reader says which events it wants; the program sends only those.
        for (const char *kind : {"object:", "window:", "focus:"}) {
            QDBusMessage reg = QDBusMessage::createMethodCall(
                QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
                QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
            reg << QString::fromLatin1(kind);
            bus.call(reg, QDBus::Block, 5000);
        }
        for (const char *interface : {"org.a11y.atspi.Event.Object", "org.a11y.atspi.Event.Window",
                                      "org.a11y.atspi.Event.Focus"})
            QVERIFY(bus.connect(QString(), QString(), QString::fromLatin1(interface), QString(), &listener,
                                SLOT(event(QDBusMessage))));
        listener.clock.start();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), qEnvironmentVariable("QZ_SIMULATOR_DIR"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        QDir().mkpath(home.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(executable, {});
        QVERIFY(program.waitForStarted());

        // The program's application object on the registry, found by its main window.
        const Ref registry{QStringLiteral("org.a11y.atspi.Registry"),
                           QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
        QVERIFY2(waitFor([&] {
                     for (const Ref &app : children(registry))
                         for (const Ref &top : children(app))
                             if (name(top) == QLatin1String("QZ5801 User Software")) {
                                 appService = app.service;
                                 return true;
                             }
                     return false;
                 }),
                 "the main window never showed on the accessibility bus");

        QTest::qWait(2000); // the start-up connection's end
        // The configuration read, as a reader's user reads it: the button, then OK in the box.
        const std::optional<Ref> read = find(appRoot(), [&](const Ref &r) {
            return role(r) == kRolePushButton && name(r).startsWith(QLatin1String("Read"));
        });
        QVERIFY(read);
        call(*read, "org.a11y.atspi.Action", "DoAction", {0});
        std::optional<Ref> ok;
        QVERIFY2(waitFor([&] {
                     ok = find(appRoot(), [&](const Ref &r) { return role(r) == kRolePushButton && name(r) == QLatin1String("OK"); });
                     return ok.has_value();
                 }),
                 "no box after the read");
        call(*ok, "org.a11y.atspi.Action", "DoAction", {0});
        QTest::qWait(500);
    }
    void cleanupTestCase()
    {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            program.waitForFinished(10000);
        }
    }

    // The mode boxes tell their selection as text, next to what they are.
    void modeBoxesTellTheirSelection_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("selected");
        // the simulated transmitter's configuration, read at start-up
        QTest::newRow("output 1") << "Output 1 configuration" << "Compression";
        QTest::newRow("output 2") << "Output 2 configuration" << "Extraction";
        QTest::newRow("output 3") << "Output 3 configuration" << "Correct value";
    }
    void modeBoxesTellTheirSelection()
    {
        QFETCH(QString, box);
        QFETCH(QString, selected);
        const std::optional<Ref> found = named(box, kRoleComboBox);
        QVERIFY2(found, qPrintable(box));
        QVERIFY(interfaces(*found).contains(QStringLiteral("org.a11y.atspi.Text")));
        QCOMPARE(text(*found), selected);
    }

    // With the live value on and the trend open: the trend is a window with
    // its Span heard, and the events a reader gets are few, none of them the
    // poll mark's, none a repeat.
    void liveValueAndTrendAreHeardOnce()
    {
        const std::optional<Ref> live = find(appRoot(), [&](const Ref &r) {
            return role(r) == kRoleCheckBox && name(r).startsWith(QLatin1String("Actual value"));
        });
        QVERIFY(live);
        call(*live, "org.a11y.atspi.Action", "DoAction", {0});
        const std::optional<Ref> trendItem = find(appRoot(), [&](const Ref &r) {
            return role(r) == kRoleMenuItem && name(r) == QLatin1String("Trend");
        });
        QVERIFY(trendItem);
        call(*trendItem, "org.a11y.atspi.Action", "DoAction", {0});
        std::optional<Ref> trend;
        QVERIFY2(waitFor([&] {
                     for (const Ref &top : children(appRoot()))
                         if (name(top).startsWith(QLatin1String("Trend - ")))
                             trend = top;
                     return trend.has_value();
                 }),
                 "the trend did not open");
        QTest::qWait(2000); // the trend's first drawing
        const std::size_t first = listener.events.size();
        const int seconds = qEnvironmentVariableIntValue("QZ_ATSPI_SECONDS") > 0
                                ? qEnvironmentVariableIntValue("QZ_ATSPI_SECONDS") : 10;
        QTest::qWait(seconds * 1000);
        const std::vector<Event> seen(listener.events.begin() + qsizetype(first), listener.events.end());
        std::map<QString, int> byKind;
        for (const Event &e : seen)
            ++byKind[e.member + u' ' + e.detail + u' ' + name({appService, QDBusObjectPath(e.path)})];
        for (const auto &[kind, count] : byKind)
            qInfo("%4d  %s", count, qPrintable(kind));
        qInfo("%zu events in %d s: %.1f a second", seen.size(), seconds, double(seen.size()) / seconds);
        // An object without a name is the poll mark between polls; the same
        // object's same kind of event within half a second is a repeat.
        std::map<QString, qint64> last;
        for (const Event &e : seen) {
            QVERIFY2(!name({appService, QDBusObjectPath(e.path)}).isEmpty(), qPrintable(e.path + u' ' + e.detail));
            const QString key = e.path + u' ' + e.member + u' ' + e.detail;
            if (last.count(key))
                QVERIFY2(e.ms - last[key] >= 500, qPrintable(key));
            last[key] = e.ms;
        }
        QVERIFY(seen.size() <= std::size_t(seconds) * 4);

        const uint trendRole = role(*trend);
        QVERIFY2(trendRole == kRoleFrame || trendRole == kRoleWindow, qPrintable(QString::number(trendRole)));
        const std::optional<Ref> span = named(QStringLiteral("Span"), kRoleComboBox);
        QVERIFY(span);
        QVERIFY(interfaces(*span).contains(QStringLiteral("org.a11y.atspi.Text")));
        QCOMPARE(text(*span), QStringLiteral("10 minutes"));

    }
};

QTEST_GUILESS_MAIN(AtspiWindowTest)
#include "tst_atspi_window.moc"
