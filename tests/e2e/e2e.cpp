#include "tests/e2e/e2e.h"
#include "tests/freeport.h"

#include "shared/cp932.h"
#include "shared/stroke.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

namespace e2e {

namespace {

const QSet<QString> &serverCommands()
{
    static const QSet<QString> commands{QStringLiteral("MSG"), QStringLiteral("SYM"), QStringLiteral("STK"),
                                        QStringLiteral("CLS"), QStringLiteral("NMS"), QStringLiteral("SCR"),
                                        QStringLiteral("RDY"), QStringLiteral("NUM"), QStringLiteral("QST"),
                                        QStringLiteral("QOK"), QStringLiteral("RST"), QStringLiteral("RET"),
                                        QStringLiteral("SND")};
    return commands;
}

bool isSlotDigit(const QString &s)
{
    return s.size() == 1 && s.at(0) >= QLatin1Char('0') && s.at(0) <= QLatin1Char('7');
}

} // namespace

QHostAddress loopback(int n)
{
    return QHostAddress(QStringLiteral("127.0.%1.%2").arg(n / 250).arg(2 + n % 250));
}

// ---------------------------------------------------------------- ServerRunner

ServerRunner::ServerRunner() = default;

ServerRunner::~ServerRunner()
{
    stop();
}

bool ServerRunner::start(int tickMs, const QStringList &extra)
{
    m_tickMs = tickMs;
    QFile::copy(QStringLiteral(ZB_BIN_DIR "/default.dat"), m_dir.filePath(QStringLiteral("default.dat")));
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Freed memory held back for error detection would hide what the server really keeps.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=16"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);

    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        QStringList args{QStringLiteral("--headless"),
                         QStringLiteral("--port"),
                         QString::number(m_port),
                         QStringLiteral("--players"),
                         QStringLiteral("8"),
                         QStringLiteral("--rounds"),
                         QStringLiteral("5"),
                         QStringLiteral("--tick-ms"),
                         QString::number(tickMs),
                         QStringLiteral("--data-dir"),
                         m_dir.path()};
        if (!extra.contains(QStringLiteral("--lobby"))) args << QStringLiteral("--no-lobby");
        args << extra;
        m_process.start(QStringLiteral(ZB_BIN_DIR "/zbserver"), args);
        if (!m_process.waitForStarted(5000)) return false;
        // The server says so once the port is its own (the log grows with every start).
        const QString listening = QStringLiteral("ゼンブリルからの接続を待機します");
        const qsizetype said = log().count(listening);
        if (QTest::qWaitFor([&] { return !running() || log().count(listening) > said; }, 10000) && running())
            return true;
        stop();
    }
    return false;
}

void ServerRunner::stop()
{
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString ServerRunner::log() const
{
    QFile f(m_dir.filePath(QStringLiteral("server.log")));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

long ServerRunner::statusField(const char *name) const
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            bool ok = false;
            const long v = line.mid(key.size()).trimmed().split(' ').value(0).toLong(&ok);
            return ok ? v : -1;
        }
    }
    return -1;
}

// ---------------------------------------------------------------- Bot

QString Bot::strokePayload()
{
    static const QString payload = [] {
        QList<QPointF> points;
        for (int i = 0; i < 200; ++i)
            points.append(QPointF(100 + (i * 3) % 400, 80 + (i * 7) % 300));
        points.prepend(points.first());
        return zb::encodeStroke(zb::PaletteValues[2], 8, points);
    }();
    return payload;
}

Bot::Bot(const QString &name, int address, quint16 port, QObject *parent) : QObject(parent), m_name(name)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &Bot::onReadyRead);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        send(QStringLiteral("PSW"), QString());
        send(QStringLiteral("VER"), QStringLiteral("1.16"));
        send(QStringLiteral("NAM"), m_name);
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { m_lost = true; });
    m_socket.bind(loopback(address));
    m_socket.connectToHost(QHostAddress::LocalHost, port);
}

void Bot::send(const QString &command, const QString &payload)
{
    m_socket.write(zb::toCp932(command + QLatin1Char(' ') + payload) + "\r\n");
}

int Bot::count(const QString &command) const
{
    return static_cast<int>(std::count_if(m_lines.cbegin(), m_lines.cend(),
                                          [&](const zb::Line &l) { return l.command == command; }));
}

bool Bot::sawSystemText(const QString &text) const
{
    return std::any_of(m_lines.cbegin(), m_lines.cend(), [&](const zb::Line &l) {
        return l.command == QLatin1String("SYM") && l.payload.contains(text);
    });
}

void Bot::onReadyRead()
{
    const QByteArray chunk = m_socket.readAll();
    m_bytes += chunk.size();
    QList<QByteArray> raw;
    if (!m_framer.feed(chunk, raw)) m_foreign << QStringLiteral("a line longer than the framing cap");
    for (const QByteArray &bytes : raw)
        onLine(zb::splitLine(zb::fromCp932(bytes)));
}

void Bot::onLine(const zb::Line &line)
{
    // Strokes are checked and counted but not kept: some tests relay megabytes.
    if (line.command != QLatin1String("STK")) m_lines.append(line);
    emit lineReceived(line.command, line.payload);
    const QString &c = line.command;
    const QString &p = line.payload;
    auto foreign = [&] { m_foreign << (c + QLatin1Char(' ') + p.left(80)); };
    if (!serverCommands().contains(c)) {
        foreign();
    } else if (c == QLatin1String("NMS") || c == QLatin1String("SCR") || c == QLatin1String("RDY")) {
        const QStringList entries = p.split(QLatin1Char(':'));
        if (entries.size() != 9 || !entries.last().isEmpty())
            foreign();
        else if (c == QLatin1String("NMS"))
            m_names = entries.mid(0, 8);
        else if (c == QLatin1String("SCR"))
            m_scores = entries.mid(0, 8);
    } else if (c == QLatin1String("NUM")) {
        if (m_slot >= 0 || !isSlotDigit(p))
            foreign();
        else
            m_slot = p.toInt();
    } else if (c == QLatin1String("MSG")) {
        if (p.size() < 2 || !isSlotDigit(p.left(1)) || p.at(1) != QLatin1Char(':')) foreign();
    } else if (c == QLatin1String("QOK")) {
        if (!isSlotDigit(p)) foreign();
        ++m_hits;
    } else if (c == QLatin1String("QST")) {
        if (p.size() < 3 || !isSlotDigit(p.left(1)) || p.at(1) != QLatin1Char(':')) {
            foreign();
            return;
        }
        m_drawer = p.left(1).toInt();
        m_word = p.mid(2);
        const int turn = ++m_turns;
        if (m_drawer == m_slot) {
            send(QStringLiteral("STK"), strokePayload());
        } else if (m_guessing) {
            // A guess counts only once the clock has left 120.
            QTimer::singleShot(m_tickMs * 5 / 2, this, [this, turn] {
                if (m_turns == turn && m_guessing) send(QStringLiteral("MSG"), m_word);
            });
        }
    } else if (c == QLatin1String("STK")) {
        if (p == strokePayload()) ++m_goodStrokes;
    } else if (c == QLatin1String("RET")) {
        ready();
    }
}

// ---------------------------------------------------------------- Table

Table::Table(ServerRunner &server, int firstAddress)
{
    for (int i = 0; i < 3; ++i) {
        auto *bot =
            new Bot(QStringLiteral("ぷれいやー%1").arg(firstAddress + i), firstAddress + i, server.port());
        bot->setTickMs(server.tickMs());
        m_bots << bot;
    }
}

Table::~Table()
{
    qDeleteAll(m_bots);
}

bool Table::seatAndStart()
{
    const auto allSeated = [this] {
        for (Bot *b : m_bots) {
            for (Bot *other : m_bots) {
                if (!b->names().contains(other->name())) return false;
            }
        }
        return true;
    };
    if (!QTest::qWaitFor(allSeated, 10000)) return false;
    for (Bot *b : m_bots)
        b->ready();
    return QTest::qWaitFor(
        [this] { return std::all_of(m_bots.cbegin(), m_bots.cend(), [](Bot *b) { return b->turns() > 0; }); },
        10000);
}

int Table::totalHits() const
{
    int hits = INT_MAX;
    for (Bot *b : m_bots)
        hits = std::min(hits, b->hits());
    return hits;
}

QString Table::trouble() const
{
    QStringList problems;
    for (Bot *b : m_bots) {
        if (b->lostConnection() || !b->connected())
            problems << b->name() + QStringLiteral(" lost its connection");
        if (!b->foreign().isEmpty())
            problems << b->name() + QStringLiteral(" saw: ") +
                            b->foreign().mid(0, 5).join(QStringLiteral(" | "));
    }
    return problems.join(QStringLiteral("; "));
}

} // namespace e2e
