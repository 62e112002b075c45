// The console keeps the last game's final standings in view until the next game.
#include "server/console/laststandings.h"
#include "server/console/serverconsole.h"
#include "server/core/gameserver.h"
#include "server/core/roundengine.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "tests/clientui/windowparts.h"
#include "tests/console/consoletestclient.h"
#include "tests/freeport.h"
#include "tests/server/roominternals.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <climits>
#include <memory>

using namespace zb;

class TestConsoleStandings : public QObject {
    Q_OBJECT
  private slots:
    void standingsStayUntilTheNextGame();
};

void TestConsoleStandings::standingsStayUntilTheNextGame()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    setProgramFolder(dir.path());
    SettingsStore::setFile(dir.filePath(QStringLiteral("settings.ini")));
    {
        QFile words(dir.filePath(QStringLiteral("default.dat")));
        QVERIFY(words.open(QIODevice::WriteOnly));
        words.write(toCp932(QStringLiteral("りんご\r\nみかん\r\n")));
    }
    GameServer server(40);
    ServerConsole console(&server);
    part<QCheckBox>(&console, "chkLobbyRegister")->setChecked(false);
    part<QLineEdit>(&console, "txtPort")->setText(QString::number(freePort()));
    console.show();
    part<QPushButton>(&console, "cmdStartServer")->click();
    QVERIFY((server.listeningPort() != 0));
    RoomInternals::engine(server).setRoundMax(1);

    // "%3" in a name must not be taken for a placeholder when the line is built.
    const QStringList names{QStringLiteral("a%3"), QStringLiteral("taro"), QStringLiteral("はなこ")};
    std::vector<std::unique_ptr<ConsoleTestClient>> players;
    for (int i = 0; i < 3; ++i) {
        players.push_back(std::make_unique<ConsoleTestClient>(QStringLiteral("127.0.0.%1").arg(i + 2)));
        players.back()->connectTo(server.listeningPort());
        QTRY_VERIFY(players.back()->connected());
        players.back()->join(names.at(i));
        QTRY_COMPARE(server.seats().name(i), names.at(i));
    }
    auto readyAll = [&] {
        for (auto &p : players)
            p->send(QStringLiteral("RDY"), QStringLiteral("OK"));
    };
    auto count = [&](const QString &prefix) {
        return int(std::count_if(players.at(0)->lines.cbegin(), players.at(0)->lines.cend(),
                                 [&](const QString &line) { return line.startsWith(prefix); }));
    };
    readyAll();
    LastStandings *standings = part<LastStandings>(&console, "lblLastStandings");
    // One round: slots 0, 1 and 2 draw in turn, and the scores come out unequal.
    for (int drawer = 0; drawer < 3; ++drawer) {
        QTRY_VERIFY_WITH_TIMEOUT(server.round().drawerSlot() == drawer && server.round().timeLeft() > 0 &&
                                     server.round().timeLeft() < 119,
                                 10000);
        QVERIFY(!standings->isVisible());
        players.at(drawer == 0 ? 1 : 0)
            ->send(QStringLiteral("MSG"), RoomInternals::engine(server).currentWord());
        QTRY_COMPARE(count(QStringLiteral("QOK ")), drawer + 1);
    }
    QTRY_VERIFY(!server.round().gameRunning());
    QCOMPARE(server.round().score(0), 0);
    QString lastScores;
    for (const QString &line : players.at(0)->lines) {
        if (line.startsWith(QStringLiteral("SCR "))) lastScores = line.mid(4);
    }
    const QStringList finalScores = lastScores.split(QLatin1Char(':'));
    // The server has cleared every score; the standings keep the final ones.
    QVERIFY(standings->isVisible());
    QCOMPARE(standings->standings().size(), 3);
    int previous = INT_MAX;
    for (const Standing &s : standings->standings()) {
        QCOMPARE(s.name, names.at(s.slot));
        QCOMPARE(QString::number(s.score), finalScores.value(s.slot));
        QVERIFY(s.score <= previous);
        previous = s.score;
    }
    const Standing &best = standings->standings().first();
    QCOMPARE(best.slot, 0);
    QVERIFY(standings->text().contains(QStringLiteral("1位 a%3 ") + QString::number(best.score) +
                                       QStringLiteral("点")));

    readyAll();
    QTRY_VERIFY(server.round().gameRunning());
    QVERIFY(!standings->isVisible());
}

QTEST_MAIN(TestConsoleStandings)
#include "tst_consolestandings.moc"
