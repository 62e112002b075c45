#pragma once

#include "server/core/gameserver.h"
#include "server/core/lobbylink.h"
#include "server/core/roomconfig.h"
#include "server/core/roomlog.h"
#include "server/core/roundengine.h"
#include "server/core/seats.h"
#include "server/texts/messages.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "tests/freeport.h"
#include "tests/server/roominternals.h"
#include "tests/server/testclient.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// A server over a temporary program folder with a small built-in dictionary,
// and raw clients on 127.0.0.2, 127.0.0.3, …
class ServerFixture : public QObject {
  protected:
    void setUpFolder(const QString &dictionary)
    {
        m_dir = std::make_unique<QTemporaryDir>();
        zb::setProgramFolder(m_dir->path());
        zb::SettingsStore::setFile(m_dir->filePath(QStringLiteral("settings.ini")));
        writeFile(QStringLiteral("default.dat"), zb::toCp932(dictionary));
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static zb::ServerSettings quietSettings()
    {
        zb::ServerSettings s;
        s.lobbyRegister = false;
        return s;
    }

    // tickMs 0: the timers stay still and the test ticks by hand.
    zb::GameServer *startServer(zb::ServerSettings s = quietSettings(), int tickMs = 1000)
    {
        m_server = std::make_unique<zb::GameServer>(tickMs == 0 ? 3600 * 1000 : tickMs);
        QObject::connect(&m_server->log(), &zb::RoomLog::line, this,
                         [this](const QString &line) { m_log << line.mid(6).chopped(2); });
        m_server->prepare();
        // The probed port can be taken again before the server binds it.
        auto result = zb::GameServer::StartResult::Started;
        for (int attempt = 0; attempt < 3; ++attempt) {
            s.port = QString::number(freePort());
            result = m_server->startOrApply(s);
            if (result == zb::GameServer::StartResult::Started) break;
        }
        if (result != zb::GameServer::StartResult::Started)
            qWarning() << "start failed" << m_server->startError();
        m_port = m_server->listeningPort();
        return m_server.get();
    }

    TestClient *connectClient(int host) { return connectFrom(QStringLiteral("127.0.0.%1").arg(host)); }
    TestClient *connectFrom(const QString &address)
    {
        auto *c = new TestClient(address, this);
        m_clients << c;
        c->connectTo(m_port);
        if (!QTest::qWaitFor([c] { return c->connected() || c->closed(); }, 5000))
            qWarning() << "client" << address << "did not connect";
        return c;
    }

    // Connects and joins; waits until the server has seated the name.
    TestClient *joinClient(int host, const QString &name, const QString &password = QString())
    {
        // The players already seated hear of the join on their own connections,
        // maybe after the newcomer: wait for them too, so that a test clearing
        // their lines next does not get the end of it afterwards.
        QList<QPair<TestClient *, int>> others;
        for (TestClient *o : std::as_const(m_clients)) {
            if (o->seated && o->connected()) others.append({o, o->joinSounds});
        }
        TestClient *c = connectClient(host);
        c->join(name, password);
        const bool joined = QTest::qWaitFor(
            [c] {
                return c->payloads(QStringLiteral("SYM")).contains(zb::msg::GameSettingsHeading) &&
                       c->lines.size() >= 10;
            },
            5000);
        if (!joined) {
            qWarning() << "client" << host << "did not join";
            return c;
        }
        c->seated = true;
        for (const auto &[other, before] : others) {
            if (!QTest::qWaitFor([other = other, before = before] { return other->joinSounds > before; },
                                 5000))
                qWarning() << "a seated client did not hear of" << name;
        }
        return c;
    }

    void tearDownServer()
    {
        qDeleteAll(m_clients);
        m_clients.clear();
        m_server.reset();
        m_log.clear();
    }

    static QString sys(const QString &text) { return QStringLiteral("<system> ") + text; }
    bool logged(const QString &line) const { return m_log.contains(line); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<zb::GameServer> m_server;
    QList<TestClient *> m_clients;
    QStringList m_log;
    quint16 m_port = 0;
};
