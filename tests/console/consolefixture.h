#pragma once

// The console as a host uses it, over a real server on loopback.

#include "desktop/desktop.h"
#include "desktop/logview.h"
#include "server/console/canvasmirror.h"
#include "server/console/dictionarypanel.h"
#include "server/console/playerpanel.h"
#include "server/console/receivelamps.h"
#include "server/console/runningpanel.h"
#include "server/console/serverconsole.h"
#include "server/console/settingsarea.h"
#include "server/core/gameserver.h"
#include "server/core/lobbylink.h"
#include "server/core/roomconfig.h"
#include "server/core/roomlog.h"
#include "server/core/roundengine.h"
#include "server/core/seats.h"
#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "tests/clientui/residentmemory.h"
#include "tests/clientui/windowparts.h"
#include "tests/console/consoletestclient.h"
#include "tests/freeport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

class ConsoleFixture : public QObject {
  protected:
    // A part of the console, by its object name (and index).
    template <typename T> T *widget(const char *name, int index = -1) const
    {
        return part<T>(m_console.get(), name, index);
    }

    void setUpFolder()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        zb::setProgramFolder(m_dir->path());
        zb::SettingsStore::setFile(m_dir->filePath(QStringLiteral("settings.ini")));
        writeFile(QStringLiteral("default.dat"), zb::toCp932(QStringLiteral("りんご\r\nみかん\r\n")));
    }

    void tearDown()
    {
        qDeleteAll(m_clients);
        m_clients.clear();
        m_console.reset();
        m_server.reset();
        m_dir.reset();
    }

    void makeConsole(int tickMs = 1000)
    {
        m_server = std::make_unique<zb::GameServer>(tickMs);
        m_console = std::make_unique<zb::ServerConsole>(m_server.get());
        // No lobby in these tests; the panel's box is what the host would untick.
        widget<QCheckBox>("chkLobbyRegister")->setChecked(false);
        widget<QLineEdit>("txtPort")->setText(QString::number(freePort()));
        m_console->show();
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void startServer()
    {
        widget<QPushButton>("cmdStartServer")->click();
        QVERIFY((m_server->listeningPort() != 0));
    }

    ConsoleTestClient *join(int host, const QString &name)
    {
        auto *client = new ConsoleTestClient(QStringLiteral("127.0.0.%1").arg(host));
        m_clients << client;
        client->connectTo(m_server->listeningPort());
        if (!QTest::qWaitFor([client] { return client->connected(); }, 5000)) return client;
        client->join(name);
        const bool seated = QTest::qWaitFor(
            [this, name] {
                for (int i = 0; i < zb::Seats::Slots; ++i) {
                    if (m_server->seats().name(i) == name) return true;
                }
                return false;
            },
            5000);
        if (!seated) qWarning() << name << "was not seated";
        return client;
    }

    // Runs `action` and answers the message box it raises; returns the box
    // text, and the captions of its buttons in `buttons`.
    QString answerBox(const std::function<void()> &action, QMessageBox::StandardButton button,
                      QStringList *buttons = nullptr)
    {
        QString text;
        bool answered = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) return;
            text = box->text();
            for (QAbstractButton *b : box->buttons())
                if (buttons) *buttons << b->text();
            poll.stop();
            answered = true;
            if (QAbstractButton *b = box->button(button))
                b->click();
            else
                box->reject();
        });
        poll.start();
        action();
        if (!QTest::qWaitFor([&] { return answered; }, 3000)) qWarning() << "no message box";
        return text;
    }

    int boxesShown(const std::function<void()> &action)
    {
        int count = 0;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                ++count;
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start();
        action();
        // Answering a box opens the next at once, so none open means the last was answered.
        const bool answered = QTest::qWaitFor(
            [this] {
                const QList<QMessageBox *> boxes = m_console->findChildren<QMessageBox *>();
                return std::none_of(boxes.cbegin(), boxes.cend(),
                                    [](QMessageBox *b) { return b->isVisible(); });
            },
            5000);
        if (!answered) qWarning() << "a message box stayed open";
        return count;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<zb::GameServer> m_server;
    std::unique_ptr<zb::ServerConsole> m_console;
    QList<ConsoleTestClient *> m_clients;
};
