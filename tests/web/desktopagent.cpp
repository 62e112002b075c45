// zbdesktopagent: the player's game window, driven from stdin for the browser
// room test. It joins the room named on the command line and then reads one
// command a line, answering each with one line "= ...":
//   ready                 clicks the ready button ("= ok", or "= error ...")
//   say TEXT              types TEXT into the chat input and presses Enter
//   draw X,Y X,Y ...      one stroke with the mouse, in canvas pixels
//   pixel X Y             the canvas pixel as RRGGBB
//   text NAME             the text of the label or input of that object name
//   scores                "SLOT:SCORE" for every seated slot, as shown
//   quit
// What it sees of the game comes as events "* ready 0|1", "* turn SLOT
// drawer|guesser", "* hit SLOT", "* left REASON", "* system TEXT",
// "* chat TEXT". Everything is UTF-8.
#include "client/ui/canvaswidget.h"
#include "client/ui/commandlinejoin.h"
#include "client/ui/gamewindow.h"
#include "client/ui/gamewindowlayout.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QHostAddress>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <unistd.h>

using namespace zb;

namespace {

void put(const QString &line)
{
    // One line per write: the reader may see events and answers interleaved, never mixed.
    QString flat = line;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fputs((flat + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

class Agent {
  public:
    explicit Agent(GameWindow &window) : m_window(window) {}

    QString run(const QString &line)
    {
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        if (command == QLatin1String("ready")) return ready();
        if (command == QLatin1String("say")) return say(rest);
        if (command == QLatin1String("draw")) return draw(rest);
        if (command == QLatin1String("pixel")) return pixel(rest);
        if (command == QLatin1String("text")) return text(rest);
        if (command == QLatin1String("scores")) return scores();
        if (command == QLatin1String("quit")) {
            QCoreApplication::quit();
            return QStringLiteral("ok");
        }
        return QStringLiteral("error unknown command");
    }

  private:
    template <typename T> T *find(const QString &name) const { return m_window.findChild<T *>(name); }

    QString ready()
    {
        auto *button = find<QPushButton>(QStringLiteral("cmdReady"));
        if (!button || !button->isEnabled()) return QStringLiteral("error the ready button is not enabled");
        QTest::mouseClick(button, Qt::LeftButton);
        return QStringLiteral("ok");
    }

    QString say(const QString &words)
    {
        auto *input = find<QLineEdit>(QStringLiteral("txtSend"));
        if (!input) return QStringLiteral("error no chat input");
        input->setFocus();
        // Japanese comes from the input method as committed text, not as keys.
        QInputMethodEvent typed;
        typed.setCommitString(words);
        QApplication::sendEvent(input, &typed);
        QTest::keyClick(input, Qt::Key_Return);
        return QStringLiteral("ok");
    }

    QString draw(const QString &points)
    {
        auto *canvas = find<CanvasWidget>(QStringLiteral("picMain"));
        if (!canvas) return QStringLiteral("error no canvas");
        QList<QPoint> at;
        for (const QString &pair : points.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            bool okX = false, okY = false;
            const int x = pair.section(QLatin1Char(','), 0, 0).toInt(&okX);
            const int y = pair.section(QLatin1Char(','), 1, 1).toInt(&okY);
            if (!okX || !okY) return QStringLiteral("error bad point ") + pair;
            // The middle of the canvas pixel, wherever the window has put and scaled it.
            at << QPoint(int((x + 0.5) * canvas->width() / CanvasWidth),
                         int((y + 0.5) * canvas->height() / CanvasHeight));
        }
        if (at.isEmpty()) return QStringLiteral("error no points");
        QTest::mousePress(canvas, Qt::LeftButton, {}, at.first());
        for (const QPoint &p : at)
            QTest::mouseMove(canvas, p);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, at.last());
        return QStringLiteral("ok");
    }

    QString pixel(const QString &where)
    {
        bool okX = false, okY = false;
        const int x = where.section(QLatin1Char(' '), 0, 0).toInt(&okX);
        const int y = where.section(QLatin1Char(' '), 1, 1).toInt(&okY);
        const QImage &image = m_window.client().canvas().image();
        if (!okX || !okY || !image.valid(x, y)) return QStringLiteral("error no such pixel");
        return QStringLiteral("%1").arg(image.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'));
    }

    QString text(const QString &name)
    {
        if (auto *label = find<QLabel>(name)) return label->text();
        if (auto *input = find<QLineEdit>(name)) return input->text();
        return QStringLiteral("error no label or input ") + name;
    }

    QString scores()
    {
        QStringList shown;
        for (int slot = 0; slot < SlotCount; ++slot) {
            auto *name = find<QLabel>(QStringLiteral("lblPlayer%1").arg(slot));
            auto *score = find<QLabel>(QStringLiteral("lblScore%1").arg(slot));
            if (name && score && !name->text().isEmpty())
                shown << QStringLiteral("%1:%2").arg(slot).arg(score->text());
        }
        return shown.join(QLatin1Char(' '));
    }

    GameWindow &m_window;
};

} // namespace

int main(int argc, char **argv)
{
    const QStringList nameOption = takeNameOption(argc, argv);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption bind(QStringLiteral("bind"), QStringLiteral("Local address."),
                                  QStringLiteral("ADDRESS"));
    const QCommandLineOption tick(QStringLiteral("tick-ms"), QStringLiteral("Clock tick."),
                                  QStringLiteral("N"));
    parser.addOptions({bind, tick});
    parser.addOptions(joinOptions());
    parser.process(QCoreApplication::arguments() + nameOption);
    JoinRequest join;
    QString error;
    if (!readJoinRequest(parser, join, error) || join.address.isEmpty() || join.name.isEmpty()) {
        std::fprintf(stderr, "zbdesktopagent: --connect HOST:PORT and --name NAME are needed %s\n",
                     qPrintable(error));
        return 2;
    }

    // Settings and pictures of its own, never the user's.
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    setProgramFolder(home.path());
    SettingsStore::setFile(home.filePath(QStringLiteral("settings.ini")));

    GameWindow window;
    if (parser.isSet(tick)) window.client().setTickMs(parser.value(tick).toInt());
    if (parser.isSet(bind)) window.client().setBindAddress(QHostAddress(parser.value(bind)));
    window.prepare();
    window.client().setSoundOn(false);
    // Canvas pixels one to one on the screen.
    window.resize(GameWindowLayout::ClassicSize);

    GameClient &client = window.client();
    QObject::connect(&client, &GameClient::readyEnabledChanged,
                     [](bool on) { put(QStringLiteral("* ready %1").arg(on ? 1 : 0)); });
    QObject::connect(&client, &GameClient::turnStarted, [](int drawer, bool isDrawer) {
        put(QStringLiteral("* turn %1 %2").arg(drawer).arg(isDrawer ? "drawer" : "guesser"));
    });
    QObject::connect(&client, &GameClient::qokSlotChanged, [](int slot) {
        if (slot >= 0) put(QStringLiteral("* hit %1").arg(slot));
    });
    QObject::connect(&client, &GameClient::leftRoom,
                     [](const QString &why) { put(QStringLiteral("* left ") + why); });
    QObject::connect(&client, &GameClient::systemText,
                     [](const QString &t) { put(QStringLiteral("* system ") + t); });
    QObject::connect(&client, &GameClient::chatText,
                     [](const QString &t) { put(QStringLiteral("* chat ") + t); });

    Agent agent(window);
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // The test went away: so does the player.
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (!line.isEmpty()) put(QStringLiteral("= ") + agent.run(line));
        }
    });

    joinFromCommandLine(window, join);
    return app.exec();
}
