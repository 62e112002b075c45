// The console while players are seated: kicks, announcements, the mirror, the seats.
#include "tests/console/consolefixture.h"

using namespace zb;

class TestConsoleGame : public ConsoleFixture {
    Q_OBJECT
  private slots:
    // As zbserver does: the boxes' standard buttons in Japanese.
    void initTestCase() { QVERIFY(installQtTranslations()); }
    void init() { setUpFolder(); }
    void cleanup() { tearDown(); }

    void kickAsksAboutBan_data();
    void kickAsksAboutBan();
    void announcementOnEnter();
    void mirrorFollowsStrokesOnlyWhenShown();
    void seatsShowNamesAddressesAndLamps();
    void drawerLabelAndWordDuringAGame();
    void hostileNamesAndChatShowAsText();
    void closeGuard();
    void lobbyStatusDoubleClickShortensTheWait();
};

void TestConsoleGame::kickAsksAboutBan_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(QMessageBox::Yes);
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("cancel") << int(QMessageBox::Cancel);
}

void TestConsoleGame::kickAsksAboutBan()
{
    QFETCH(int, answer);
    makeConsole();
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    ConsoleTestClient *hanako = join(3, QStringLiteral("hanako"));
    QCOMPARE(m_server->seats().name(0), QStringLiteral("taro"));

    QPushButton *kick = widget<QPushButton>("cmdKick", 0);
    QStringList buttons;
    const QString text = answerBox([kick] { kick->click(); }, QMessageBox::StandardButton(answer), &buttons);
    QCOMPARE(text, msg::kickQuestion(QStringLiteral("taro")));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)"),
                                   QStringLiteral("キャンセル")}));
    QFile banFile(m_dir->filePath(QStringLiteral("ban.txt")));
    if (answer == QMessageBox::Cancel) {
        // Nothing happens: taro plays on.
        hanako->send(QStringLiteral("MSG"), QStringLiteral("まだいる？"));
        QTRY_VERIFY(taro->lines.contains(QStringLiteral("MSG 1:まだいる？")));
        QVERIFY(taro->connected());
        QCOMPARE(m_server->seats().name(0), QStringLiteral("taro"));
        QVERIFY(!banFile.exists());
        return;
    }
    QTRY_VERIFY(taro->closed());
    QTRY_VERIFY(hanako->lines.contains(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("taro"))));
    QTRY_COMPARE(widget<QLabel>("lblPlayer", 0)->text(), msg::FreeSeat);
    if (answer == QMessageBox::Yes) {
        QVERIFY(banFile.open(QIODevice::ReadOnly));
        QVERIFY(fromCp932(banFile.readAll()).contains(QStringLiteral("taro\t127.0.0.2\r\n")));
    } else {
        QVERIFY(!banFile.exists());
    }
}

void TestConsoleGame::announcementOnEnter()
{
    makeConsole();
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    QLineEdit *box = widget<QLineEdit>("txtSend");
    QCOMPARE(box->placeholderText(), msg::AnnounceHint);

    // Enter on an empty box says nothing.
    const QString before = widget<LogView>("txtState")->logText();
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(widget<LogView>("txtState")->logText(), before);

    box->setText(QStringLiteral("あと5分で閉めます"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(box->text().isEmpty());
    QVERIFY(widget<LogView>("txtState")
                ->logText()
                .endsWith(QStringLiteral(" <") + msg::announcementLog(QStringLiteral("あと5分で閉めます")) +
                          QStringLiteral("\r\n")));
    QTRY_VERIFY(taro->lines.contains(QStringLiteral("SYM ") +
                                     msg::announcement(QStringLiteral("あと5分で閉めます"))));
}

void TestConsoleGame::mirrorFollowsStrokesOnlyWhenShown()
{
    makeConsole();
    startServer();
    ConsoleTestClient *drawer = join(2, QStringLiteral("taro"));
    ConsoleTestClient *watcher = join(3, QStringLiteral("hanako"));
    CanvasMirror *mirror = widget<CanvasMirror>("picMain");
    const int hiddenHeight = m_console->height();
    QVERIFY(!widget<QFrame>("picBack")->isVisible());

    drawer->send(QStringLiteral("STK"), QStringLiteral("0:3:10,10;20,10;"));
    drawer->send(QStringLiteral("CLS"), QStringLiteral("2"));
    QTRY_VERIFY(watcher->lines.contains(QStringLiteral("CLS 2")));
    QCOMPARE(mirror->pixelValue(15, 10), 16777215);
    QCOMPARE(mirror->pixelValue(0, 0), 16777215);

    widget<QCheckBox>("chkPictureView")->click();
    QVERIFY(widget<QFrame>("picBack")->isVisible());
    QTRY_VERIFY(m_console->height() > hiddenHeight + 400);
    drawer->send(QStringLiteral("STK"), QStringLiteral("255:3:10,30;20,30;"));
    QTRY_COMPARE(mirror->pixelValue(15, 30), 255);

    // A stroke no player's program sends never reaches the players or the mirror.
    const QImage before = mirror->image();
    drawer->send(QStringLiteral("STK"), QStringLiteral("0:3:x;"));
    drawer->send(QStringLiteral("CLS"), QStringLiteral("8"));
    QTRY_COMPARE(mirror->pixelValue(0, 0), 16711935);
    QTRY_VERIFY(watcher->lines.contains(QStringLiteral("CLS 8")));
    QVERIFY(!watcher->lines.contains(QStringLiteral("STK 0:3:x;")));
    QVERIFY(before != mirror->image());
    QVERIFY(drawer->connected());

    widget<QCheckBox>("chkPictureView")->click();
    QTRY_COMPARE(m_console->height(), hiddenHeight);

    // A larger window gives the log the room, in both directions.
    const QSize log = widget<LogView>("txtState")->size();
    m_console->resize(m_console->size() + QSize(300, 200));
    QTRY_COMPARE(widget<LogView>("txtState")->size(), log + QSize(300, 200));
}

void TestConsoleGame::seatsShowNamesAddressesAndLamps()
{
    makeConsole();
    startServer();
    PlayerPanel *seats = widget<PlayerPanel>("fraPlayers");
    QCOMPARE(seats->lamps().interval(), 50);
    ConsoleTestClient *taro = join(4, QStringLiteral("taro"));
    QCOMPARE(widget<QLabel>("lblPlayer", 1)->text(), msg::FreeSeat);
    QTRY_COMPARE(widget<QLabel>("lblPlayer", 0)->text(), QStringLiteral("taro Score: 0"));
    QCOMPARE(widget<QLabel>("lblPlayer", 0)->toolTip(), QStringLiteral("127.0.0.4"));
    QCOMPARE(seats->labelColor(0), QColor(128, 128, 128));

    QTRY_COMPARE(seats->lamps().level(0), 255);
    taro->send(QStringLiteral("MSG"), QStringLiteral("こんにちは"));
    QTRY_VERIFY(seats->lamps().level(0) < 255);
    QCOMPARE(seats->lamps().level(1), 255);
    QTRY_VERIFY(widget<LogView>("txtState")->logText().contains(QStringLiteral(" <taro> こんにちは\r\n")));

    // A connection that has not named itself yet holds its seat.
    auto *stranger = new ConsoleTestClient(QStringLiteral("127.0.0.5"));
    m_clients << stranger;
    stranger->connectTo(m_server->listeningPort());
    QTRY_COMPARE(widget<QLabel>("lblPlayer", 1)->text(), msg::JoiningLabel);
    QCOMPARE(widget<QLabel>("lblPlayer", 1)->toolTip(), QStringLiteral("127.0.0.5"));
}

void TestConsoleGame::drawerLabelAndWordDuringAGame()
{
    makeConsole(40);
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    ConsoleTestClient *hanako = join(3, QStringLiteral("hanako"));
    // The mirror stays hidden: the turn start clears it all the same.
    widget<CanvasMirror>("picMain")->fill(0);
    taro->send(QStringLiteral("RDY"), QStringLiteral("OK"));
    hanako->send(QStringLiteral("RDY"), QStringLiteral("OK"));

    QTRY_COMPARE_WITH_TIMEOUT(widget<QLabel>("lblQuestion")->text(), msg::HiddenQuestion, 5000);
    const int drawer = m_server->round().drawerSlot();
    // The seats follow the room's player lists, which may come a moment after the word.
    QTRY_COMPARE(widget<PlayerPanel>("fraPlayers")->labelColor(drawer), QColor(0, 0, 192));
    QCOMPARE(widget<PlayerPanel>("fraPlayers")->labelColor(1 - drawer), QColor(128, 128, 128));
    // Every turn starts on a white mirror.
    QCOMPARE(widget<CanvasMirror>("picMain")->pixelValue(320, 240), 16777215);
    QTRY_VERIFY(widget<QLabel>("lblTimeLimit")->text().toInt() < 120);
    QCOMPARE(widget<QLabel>("lblTimeLimit")->text(), QString::number(m_server->round().timeLeft()));
}

void TestConsoleGame::hostileNamesAndChatShowAsText()
{
    makeConsole();
    startServer();
    const qint64 before = residentKiB();
    const QStringList names{QStringLiteral("<img src=/dev/zero>"), QStringLiteral("<font size=7>big")};
    QList<ConsoleTestClient *> players;
    for (int i = 0; i < names.size(); ++i) {
        auto *client = new ConsoleTestClient(QStringLiteral("127.0.0.%1").arg(2 + i));
        m_clients << client;
        players << client;
        client->connectTo(m_server->listeningPort());
        QTRY_VERIFY(client->connected());
        client->join(names.at(i));
        QTRY_VERIFY(!m_server->seats().name(i).isEmpty());
    }
    // A lone LF inside a line must not forge a second line of the log.
    players.first()->send(QStringLiteral("MSG"), QStringLiteral("hi\n12:34 <system> forged"));
    const QString chat = m_server->seats().name(0) + QStringLiteral("> hi12:34 <system> forged");
    QTRY_VERIFY(widget<LogView>("txtState")->logText().contains(chat + QStringLiteral("\r\n")));
    QVERIFY(widget<LogView>("txtState")->toPlainText().contains(chat + QLatin1Char('\n')));

    m_console->grab();
    for (int i = 0; i < names.size(); ++i) {
        QLabel *seat = widget<QLabel>("lblPlayer", i);
        QCOMPARE(seat->text(), m_server->seats().label(i));
        QVERIFY(seat->text().startsWith(names.at(i).left(5)));
        QCOMPARE(seat->textFormat(), Qt::PlainText);
    }
    QVERIFY(residentKiB() - before < HostileTextBudgetKiB);
}

void TestConsoleGame::closeGuard()
{
    // Nobody seated: the window closes without a question.
    makeConsole();
    startServer();
    QVERIFY(m_console->close());

    cleanup();
    init();
    makeConsole();
    startServer();
    join(2, QStringLiteral("taro"));
    QVERIFY(!m_server->seats().name(0).isEmpty());
    QString text = answerBox([this] { m_console->close(); }, QMessageBox::Cancel);
    QCOMPARE(text, msg::CloseQuestion);
    QVERIFY(m_console->isVisible());

    text = answerBox([this] { m_console->close(); }, QMessageBox::Ok);
    QCOMPARE(text, msg::CloseQuestion);
    QTRY_VERIFY(!m_console->isVisible());
}

void TestConsoleGame::lobbyStatusDoubleClickShortensTheWait()
{
    makeConsole(50);
    QCOMPARE(widget<QLabel>("lblLobbyStatus")->text(), msg::LobbyStatusCaption);
    // Nobody there: every attempt is refused.
    m_server->config().setLobbyOverride(QStringLiteral("127.0.0.1:%1").arg(freePort()));
    widget<QCheckBox>("chkLobbyRegister")->setChecked(true);
    startServer();

    const auto attempts = [this] {
        return widget<LogView>("txtState")
            ->logText()
            .count(QStringLiteral("<system> ") + msg::LobbyConnecting);
    };
    QTRY_VERIFY(widget<QLabel>("lblLobbyStatus")->text().startsWith(msg::LobbyRetryPrefix));
    QCOMPARE(attempts(), 1);
    QVERIFY(m_server->lobby().retryWait() > 5);
    QTest::mouseDClick(widget<QLabel>("lblLobbyStatus"), Qt::LeftButton);
    // The next tick connects instead of a hundred ticks later.
    QTRY_COMPARE_WITH_TIMEOUT(attempts(), 2, 2000);
}

QTEST_MAIN(TestConsoleGame)
#include "tst_consolegame.moc"
