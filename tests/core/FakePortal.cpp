// The desktop portal's settings service as far as the dark-mode tests need
// it: org.freedesktop.portal.Settings on /org/freedesktop/portal/desktop with
// Read and SettingChanged. The test drives it through standard input:
//   set NAMESPACE KEY NUMBER   store the value and announce the change
//   mute                       answer no call from now on (still announce)
// --color-scheme N sets the appearance's colour scheme before the service
// shows up; with --silent it takes the name but never answers a call, with
// --slow MS it answers each call that much later.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

class PortalSettings : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
    Q_PROPERTY(uint version READ version)

public:
    PortalSettings(QObject* parent, bool silent, int answerDelayMs)
        : QDBusAbstractAdaptor(parent)
        , silent(silent)
        , answerDelayMs(answerDelayMs)
    {
    }

    uint version() const { return 1; }
    void mute() { silent = true; }

    void set(const QString& group, const QString& key, uint value)
    {
        values.insert(group + '\n' + key, value);
        emit SettingChanged(group, key, QDBusVariant(value));
    }

public slots:
    QDBusVariant Read(const QString& group, const QString& key, const QDBusMessage& message)
    {
        if (silent) {
            message.setDelayedReply(true);
            pending << message;
            return {};
        }
        const auto found = values.constFind(group + '\n' + key);
        if (found == values.constEnd()) {
            message.setDelayedReply(true);
            QDBusConnection::sessionBus().send(
                message.createErrorReply("org.freedesktop.portal.Error.NotFound", "Requested setting not found"));
            return {};
        }
        // Wrapped twice, as the portal does.
        const QDBusVariant value(QVariant::fromValue(QDBusVariant(*found)));
        if (answerDelayMs > 0) {
            message.setDelayedReply(true);
            QTimer::singleShot(answerDelayMs, this, [message, value] {
                QDBusConnection::sessionBus().send(message.createReply(QVariant::fromValue(value)));
            });
            return {};
        }
        return value;
    }

signals:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    bool silent;
    int answerDelayMs;
    QHash<QString, uint> values;
    QList<QDBusMessage> pending;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    // The word after `option`, null without one.
    const auto optionValue = [&arguments](const QString& option) {
        const int at = arguments.indexOf(option);
        return at > 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
    };
    qRegisterMetaType<QDBusVariant>();
    QObject root;
    auto* settings = new PortalSettings(&root, arguments.contains("--silent"), optionValue("--slow").toInt());
    const QString scheme = optionValue("--color-scheme");
    if (!scheme.isNull())
        settings->set("org.freedesktop.appearance", "color-scheme", scheme.toUInt());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/portal/desktop", &root)
        || !bus.registerService("org.freedesktop.portal.Desktop")) {
        std::fprintf(stderr, "fake portal: cannot register on the bus\n");
        return 1;
    }

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray buffer;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[1024];
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof(chunk));
        if (n <= 0) {
            app.quit();
            return;
        }
        buffer.append(chunk, n);
        int end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = buffer.left(end).split(' ');
            buffer.remove(0, end + 1);
            if (words.size() == 4 && words[0] == "set")
                settings->set(QString::fromUtf8(words[1]), QString::fromUtf8(words[2]), words[3].toUInt());
            else if (words.size() == 1 && words[0] == "mute")
                settings->mute();
        }
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "FakePortal.moc"
