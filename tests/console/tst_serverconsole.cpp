// The console as a host uses it, over a real server on loopback.
#include "../clientui/residentmemory.h"
#include "canvasmirror.h"
#include "consoletestclient.h"
#include "cp932.h"
#include "desktop.h"
#include "fileutil.h"
#include "gameserver.h"
#include "logview.h"
#include "playerpanel.h"
#include "receivelamps.h"
#include "runningpanel.h"
#include "server/core/messages.h"
#include "serverconsole.h"
#include "settingsarea.h"
#include "settingsstore.h"

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

using namespace zb;

class TestServerConsole : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startWithEmptyBoxesFillsInDefaults();
    void separatorsAreRemovedFromTexts_data();
    void separatorsAreRemovedFromTexts();
    void startRefusedWithoutWords();
    void portInUseKeepsConfiguring();
    void laterPressReappliesGameSettings();
    void optionsShowInTheBoxesAndAreNotSaved();
    void panelSwitch_data();
    void panelSwitch();
    void dictionaryChecksRefuseBadFiles();
    void kickAsksAboutBan_data();
    void kickAsksAboutBan();
    void announcementOnEnter();
    void mirrorFollowsStrokesOnlyWhenShown();
    void seatsShowNamesAddressesAndLamps();
    void drawerLabelAndWordDuringAGame();
    void hostileNamesAndChatShowAsText();
    void closeGuard();
    void lobbyStatusDoubleClickShortensTheWait();

  private:
    void makeConsole(int tickMs = 1000);
    void writeFile(const QString &name, const QByteArray &bytes);
    void startServer();
    ConsoleTestClient *join(int host, const QString &name);
    // Runs `action` and answers the message box it raises; returns the box
    // text, and the captions of its buttons in `buttons`.
    QString answerBox(const std::function<void()> &action, QMessageBox::StandardButton button,
                      QStringList *buttons = nullptr);
    int boxesShown(const std::function<void()> &action);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<GameServer> m_server;
    std::unique_ptr<ServerConsole> m_console;
    QList<ConsoleTestClient *> m_clients;
};

void TestServerConsole::initTestCase()
{
    // As zbserver does: the boxes' standard buttons in Japanese.
    QVERIFY(installQtTranslations());
}

void TestServerConsole::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    setProgramFolder(m_dir->path());
    SettingsStore::setFile(m_dir->filePath(QStringLiteral("settings.ini")));
    writeFile(QStringLiteral("default.dat"), toCp932(QStringLiteral("りんご\r\nみかん\r\n")));
}

void TestServerConsole::cleanup()
{
    qDeleteAll(m_clients);
    m_clients.clear();
    m_console.reset();
    m_server.reset();
    m_dir.reset();
}

void TestServerConsole::makeConsole(int tickMs)
{
    m_server = std::make_unique<GameServer>(tickMs);
    m_console = std::make_unique<ServerConsole>(m_server.get());
    // No lobby in these tests; the panel's box is what the host would untick.
    m_console->picSetting->chkLobbyRegister->setChecked(false);
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::Any, 0));
    m_console->picSetting->txtPort->setText(QString::number(probe.serverPort()));
    probe.close();
    m_console->show();
}

void TestServerConsole::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(m_dir->filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void TestServerConsole::startServer()
{
    m_console->picSetting->cmdStartServer->click();
    QVERIFY(m_server->serverStarted());
}

ConsoleTestClient *TestServerConsole::join(int host, const QString &name)
{
    auto *client = new ConsoleTestClient(QStringLiteral("127.0.0.%1").arg(host));
    m_clients << client;
    client->connectTo(m_server->listeningPort());
    if (!QTest::qWaitFor([client] { return client->connected(); }, 5000)) return client;
    client->join(name);
    const bool seated = QTest::qWaitFor(
        [this, name] {
            for (int i = 0; i < GameServer::Slots; ++i) {
                if (m_server->playerName(i) == name) return true;
            }
            return false;
        },
        5000);
    if (!seated) qWarning() << name << "was not seated";
    return client;
}

QString TestServerConsole::answerBox(const std::function<void()> &action, QMessageBox::StandardButton button,
                                     QStringList *buttons)
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

int TestServerConsole::boxesShown(const std::function<void()> &action)
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
            return std::none_of(boxes.cbegin(), boxes.cend(), [](QMessageBox *b) { return b->isVisible(); });
        },
        5000);
    if (!answered) qWarning() << "a message box stayed open";
    return count;
}

void TestServerConsole::startWithEmptyBoxesFillsInDefaults()
{
    makeConsole();
    SettingsArea *area = m_console->picSetting;
    area->txtRoomName->clear();
    area->txtComment->clear();
    const QString port = area->txtPort->text();
    startServer();

    QCOMPARE(area->txtRoomName->text(), msg::DefaultRoomName);
    QCOMPARE(area->txtComment->text(), msg::DefaultComment);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), msg::DefaultRoomName);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerComment")), msg::DefaultComment);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), port);

    // Running: the settings make way for the running panel, the server settings are fixed.
    QVERIFY(!area->isVisible());
    QVERIFY(m_console->picRunning->isVisible());
    QCOMPARE(area->cmdStartServer->text(), msg::ReloadCaption);
    QVERIFY(!area->txtPort->isEnabled());
    QVERIFY(!area->optServer[1]->isEnabled());
    QVERIFY(area->optServer[0]->isChecked());
    QCOMPARE(m_console->windowTitle(), QStringLiteral("zbserver Port:%1 [0] [-1]").arg(port));

    // The settings come back with the change button, the fixed ones still fixed.
    m_console->picRunning->cmdLoadQuestion->click();
    QVERIFY(area->isVisible());
    QVERIFY(!area->txtPort->isEnabled());
}

void TestServerConsole::separatorsAreRemovedFromTexts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("colons and semicolons") << QStringLiteral("あ:い;う:") << QStringLiteral("あいう");
    QTest::newRow("record separators") << QStringLiteral("a,b=c&d") << QStringLiteral("abcd");
    QTest::newRow("only separators") << QStringLiteral(" :;: ") << msg::DefaultRoomName;
}

void TestServerConsole::separatorsAreRemovedFromTexts()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    makeConsole();
    m_console->picSetting->txtRoomName->setText(typed);
    startServer();
    QCOMPARE(m_console->picSetting->txtRoomName->text(), stored);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), stored);
}

void TestServerConsole::startRefusedWithoutWords()
{
    makeConsole();
    SettingsArea *area = m_console->picSetting;
    area->optQuestion[1]->click(); // added dictionaries only, none ticked
    const QString text = answerBox([area] { area->cmdStartServer->click(); }, QMessageBox::Ok);
    QCOMPARE(text, msg::NothingLoaded);
    QVERIFY(!m_server->serverStarted());
    QCOMPARE(m_server->listeningPort(), quint16(0));
    QVERIFY(area->isVisible());
    QCOMPARE(area->cmdStartServer->text(), msg::StartServerCaption);
    QVERIFY(SettingsStore::read(QStringLiteral("ServerPort")).isEmpty());
    // Not listening yet, the caption already shows port and counts.
    QCOMPARE(m_console->windowTitle(), QStringLiteral("zbserver Port:0 [0] [-1]"));

    // With the built-in dictionary the same press starts the server.
    area->optQuestion[0]->click();
    startServer();
}

void TestServerConsole::portInUseKeepsConfiguring()
{
    makeConsole();
    QTcpServer blocker;
    QVERIFY(blocker.listen(QHostAddress::Any, 0));
    SettingsArea *area = m_console->picSetting;
    area->txtPort->setText(QString::number(blocker.serverPort()));
    const QString text = answerBox([area] { area->cmdStartServer->click(); }, QMessageBox::Ok);
    QVERIFY2(text.contains(QString::number(blocker.serverPort())), qPrintable(text));
    QVERIFY(!m_server->serverStarted());
    QVERIFY(area->isVisible());
    QVERIFY(area->txtPort->isEnabled());
    // The host is taken to the box that needs changing.
    QVERIFY(area->picLobby->isVisible());

    blocker.close();
    startServer();
}

void TestServerConsole::laterPressReappliesGameSettings()
{
    makeConsole();
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    m_console->picRunning->cmdLoadQuestion->click();
    SettingsArea *area = m_console->picSetting;
    area->optServer[2]->click();
    area->cmbPlayerMax->setCurrentIndex(0);
    area->cmbRoundMax->setCurrentIndex(3);
    area->chkQuestionControl->setChecked(true);
    area->cmdStartServer->click();

    QVERIFY(!area->isVisible());
    QVERIFY(area->optServer[0]->isChecked() || area->optServer[2]->isChecked());
    QCOMPARE(SettingsStore::read(QStringLiteral("PlayerMax")), QStringLiteral("0"));
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("3"));
    QCOMPARE(SettingsStore::read(QStringLiteral("QuestionControl")), QStringLiteral("1"));
    QTRY_VERIFY(taro->lines.contains(QStringLiteral("SYM ") + msg::settingsLine(3, 5, true)));
}

void TestServerConsole::optionsShowInTheBoxesAndAreNotSaved()
{
    // Stored from an earlier run; the command line of this one says otherwise.
    SettingsStore::write(QStringLiteral("ServerPort"), QStringLiteral("1111"));
    SettingsStore::write(QStringLiteral("ServerRoomName"), QStringLiteral("いつもの部屋"));
    SettingsStore::write(QStringLiteral("ServerComment"), QStringLiteral("いつもの"));
    SettingsStore::write(QStringLiteral("RoundMax"), QStringLiteral("0"));
    writeFile(QStringLiteral("good.zbq"), toCp932(QStringLiteral("ねこ\r\n")));
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::Any, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    ServerSettings options;
    options.port = port;
    options.roomName = QStringLiteral("今日だけ");
    options.comment = QStringLiteral("今日だけ");
    options.roundMaxIndex = 3;
    options.password = QStringLiteral("pw");
    options.lobbyRegister = false;
    options.dictionaryMode = 2;
    options.tickedDictionaries = {QStringLiteral("good.zbq")};
    m_server = std::make_unique<GameServer>();
    m_server->setRunOptions(options, ServerSettings::AllFields & ~ServerSettings::PlayerMax);
    m_console = std::make_unique<ServerConsole>(m_server.get());
    m_console->show();

    SettingsArea *area = m_console->picSetting;
    QCOMPARE(area->txtPort->text(), port);
    QCOMPARE(area->txtRoomName->text(), QStringLiteral("今日だけ"));
    QCOMPARE(area->cmbRoundMax->currentIndex(), 3);
    QCOMPARE(area->txtPassword->text(), QStringLiteral("pw"));
    QVERIFY(!area->chkLobbyRegister->isChecked());
    QVERIFY(area->optQuestion[2]->isChecked());
    QCOMPARE(area->tickedEntries(), QStringList{QStringLiteral("good.zbq")});

    // The host changes one option, the comment: that one is saved, the others are not.
    area->txtComment->setText(QStringLiteral("書き換えた"));
    startServer();
    QCOMPARE(m_server->listeningPort(), quint16(port.toUInt()));
    QVERIFY(!m_server->settings().lobbyRegister);
    QCOMPARE(m_server->questionBank().dictionaryList(),
             msg::BuiltInDictionary + QStringLiteral(":good.zbq:"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerComment")), QStringLiteral("書き換えた"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), QStringLiteral("1111"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), QStringLiteral("いつもの部屋"));
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("0"));
    QCOMPARE(SettingsStore::read(QStringLiteral("PlayerMax")), QStringLiteral("5"));

    // A later press saves the rounds once the host has changed them, and
    // goes on saving them after he changes them back.
    m_console->picRunning->cmdLoadQuestion->click();
    area->cmdStartServer->click();
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("0"));
    area->cmbRoundMax->setCurrentIndex(2);
    area->cmdStartServer->click();
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("2"));
    area->cmbRoundMax->setCurrentIndex(3);
    area->cmdStartServer->click();
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("3"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), QStringLiteral("1111"));
}

void TestServerConsole::panelSwitch_data()
{
    QTest::addColumn<int>("k");
    QTest::newRow("dictionaries") << 0;
    QTest::newRow("server") << 1;
    QTest::newRow("game") << 2;
}

void TestServerConsole::panelSwitch()
{
    QFETCH(int, k);
    makeConsole();
    SettingsArea *area = m_console->picSetting;
    // At load the dictionary page shows.
    QVERIFY(area->optServer[0]->isChecked());
    QVERIFY(area->fraQuestion->isVisible());
    QVERIFY(!area->picLobby->isVisible());
    QVERIFY(!area->picGame->isVisible());

    area->optServer[(k + 1) % 3]->click();
    area->optServer[k]->click();
    QCOMPARE(area->fraQuestion->isVisible(), k == 0);
    QCOMPARE(area->picLobby->isVisible(), k == 1);
    QCOMPARE(area->picGame->isVisible(), k == 2);
    // The window does not change size with the panels.
    m_console->layout()->activate();
    const QSize size = m_console->size();
    for (int other = 0; other < 3; ++other) {
        area->optServer[other]->click();
        m_console->layout()->activate();
        QCOMPARE(m_console->size(), size);
    }
}

void TestServerConsole::dictionaryChecksRefuseBadFiles()
{
    writeFile(QStringLiteral("good.zbq"), toCp932(QStringLiteral("ねこ\r\nいぬ\r\n")));
    makeConsole();
    SettingsArea *area = m_console->picSetting;
    QCOMPARE(area->lstQuestion->count(), 1);
    writeFile(QStringLiteral("nobreak.zbq"), toCp932(QStringLiteral("ねこ\r\nいぬ")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("zbq")));
    writeFile(QStringLiteral("zbq/worst.zbq"), toCp932(QStringLiteral("//x\r\n\r\n//y")));
    // Files dropped in after the start show after a new search.
    area->cmdReload->click();
    QCOMPARE(area->lstQuestion->count(), 3);
    QListWidgetItem *good = area->lstQuestion->item(0);
    QListWidgetItem *nobreak = area->lstQuestion->item(1);
    QListWidgetItem *worst = area->lstQuestion->item(2);
    QCOMPARE(nobreak->text(), QStringLiteral("nobreak.zbq"));
    QCOMPARE(worst->text(), m_server->questionBank().entries().at(2));

    const QString text = answerBox([nobreak] { nobreak->setCheckState(Qt::Checked); }, QMessageBox::Ok);
    QVERIFY2(text.contains(msg::NoFinalBreak), qPrintable(text));
    QCOMPARE(nobreak->checkState(), Qt::Unchecked);

    // Every failed check has its own box, one after the other.
    QCOMPARE(boxesShown([worst] { worst->setCheckState(Qt::Checked); }), 4);
    QCOMPARE(worst->checkState(), Qt::Unchecked);

    QCOMPARE(boxesShown([good] { good->setCheckState(Qt::Checked); }), 0);
    QCOMPARE(good->checkState(), Qt::Checked);

    area->optQuestion[1]->click();
    area->chkQuestionControl->setChecked(true);
    startServer();
    QCOMPARE(m_server->questionBank().dictionaryList(), QStringLiteral("good.zbq:"));

    // A pool used up mid-game is rebuilt from the console as it is now,
    // without the start button.
    m_console->picRunning->cmdLoadQuestion->click();
    area->optQuestion[0]->click();
    // Draws as the next turn would, without playing one.
    auto &bank = const_cast<QuestionBank &>(m_server->questionBank());
    const QStringList drawn{bank.drawWord(), bank.drawWord()};
    QCOMPARE(QSet<QString>(drawn.begin(), drawn.end()),
             (QSet<QString>{QStringLiteral("ねこ"), QStringLiteral("いぬ")}));
    QCOMPARE(bank.dictionaryList(), msg::BuiltInDictionary + QLatin1Char(':'));
}

void TestServerConsole::kickAsksAboutBan_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(QMessageBox::Yes);
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("cancel") << int(QMessageBox::Cancel);
}

void TestServerConsole::kickAsksAboutBan()
{
    QFETCH(int, answer);
    makeConsole();
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    ConsoleTestClient *hanako = join(3, QStringLiteral("hanako"));
    QCOMPARE(m_server->playerName(0), QStringLiteral("taro"));

    QPushButton *kick = m_console->players->cmdKick[0];
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
        QCOMPARE(m_server->playerName(0), QStringLiteral("taro"));
        QVERIFY(!banFile.exists());
        return;
    }
    QTRY_VERIFY(taro->closed());
    QTRY_VERIFY(hanako->lines.contains(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("taro"))));
    QTRY_COMPARE(m_console->players->lblPlayer[0]->text(), msg::FreeSeat);
    if (answer == QMessageBox::Yes) {
        QVERIFY(banFile.open(QIODevice::ReadOnly));
        QVERIFY(fromCp932(banFile.readAll()).contains(QStringLiteral("taro\t127.0.0.2\r\n")));
    } else {
        QVERIFY(!banFile.exists());
    }
}

void TestServerConsole::announcementOnEnter()
{
    makeConsole();
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    QLineEdit *box = m_console->txtSend;
    QCOMPARE(box->placeholderText(), msg::AnnounceHint);

    // Enter on an empty box says nothing.
    const QString before = m_console->txtState->logText();
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(m_console->txtState->logText(), before);

    box->setText(QStringLiteral("あと5分で閉めます"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(box->text().isEmpty());
    QVERIFY(m_console->txtState->logText().endsWith(
        QStringLiteral(" <") + msg::announcementLog(QStringLiteral("あと5分で閉めます")) +
        QStringLiteral("\r\n")));
    QTRY_VERIFY(taro->lines.contains(QStringLiteral("SYM ") +
                                     msg::announcement(QStringLiteral("あと5分で閉めます"))));
}

void TestServerConsole::mirrorFollowsStrokesOnlyWhenShown()
{
    makeConsole();
    startServer();
    ConsoleTestClient *drawer = join(2, QStringLiteral("taro"));
    ConsoleTestClient *watcher = join(3, QStringLiteral("hanako"));
    CanvasMirror *mirror = m_console->picMain;
    const int hiddenHeight = m_console->height();
    QVERIFY(!m_console->picBack->isVisible());

    drawer->send(QStringLiteral("STK"), QStringLiteral("0:3:10,10;20,10;"));
    drawer->send(QStringLiteral("CLS"), QStringLiteral("2"));
    QTRY_VERIFY(watcher->lines.contains(QStringLiteral("CLS 2")));
    QCOMPARE(mirror->pixelValue(15, 10), 16777215);
    QCOMPARE(mirror->pixelValue(0, 0), 16777215);

    m_console->chkPictureView->click();
    QVERIFY(m_console->picBack->isVisible());
    QTRY_VERIFY(m_console->height() > hiddenHeight + 400);
    drawer->send(QStringLiteral("STK"), QStringLiteral("255:3:10,30;20,30;"));
    QTRY_COMPARE(mirror->pixelValue(15, 30), 255);

    // A stroke the mirror cannot read is relayed and leaves the mirror alone.
    const QImage before = mirror->image();
    drawer->send(QStringLiteral("STK"), QStringLiteral("0:3:x;"));
    drawer->send(QStringLiteral("CLS"), QStringLiteral("8"));
    QTRY_COMPARE(mirror->pixelValue(0, 0), 16711935);
    QTRY_VERIFY(watcher->lines.contains(QStringLiteral("STK 0:3:x;")));
    QVERIFY(before != mirror->image());
    QVERIFY(drawer->connected());

    m_console->chkPictureView->click();
    QTRY_COMPARE(m_console->height(), hiddenHeight);

    // A larger window gives the log the room, in both directions.
    const QSize log = m_console->txtState->size();
    m_console->resize(m_console->size() + QSize(300, 200));
    QTRY_COMPARE(m_console->txtState->size(), log + QSize(300, 200));
}

void TestServerConsole::seatsShowNamesAddressesAndLamps()
{
    makeConsole();
    startServer();
    PlayerPanel *seats = m_console->players;
    QCOMPARE(seats->lamps().interval(), 50);
    ConsoleTestClient *taro = join(4, QStringLiteral("taro"));
    QCOMPARE(seats->lblPlayer[1]->text(), msg::FreeSeat);
    QTRY_COMPARE(seats->lblPlayer[0]->text(), QStringLiteral("taro Score: 0"));
    QCOMPARE(seats->lblPlayer[0]->toolTip(), QStringLiteral("127.0.0.4"));
    QCOMPARE(seats->labelColor(0), QColor(128, 128, 128));

    QTRY_COMPARE(seats->lamps().level(0), 255);
    taro->send(QStringLiteral("MSG"), QStringLiteral("こんにちは"));
    QTRY_VERIFY(seats->lamps().level(0) < 255);
    QCOMPARE(seats->lamps().level(1), 255);
    QTRY_VERIFY(m_console->txtState->logText().contains(QStringLiteral(" <taro> こんにちは\r\n")));

    // A connection that has not named itself yet holds its seat.
    auto *stranger = new ConsoleTestClient(QStringLiteral("127.0.0.5"));
    m_clients << stranger;
    stranger->connectTo(m_server->listeningPort());
    QTRY_COMPARE(seats->lblPlayer[1]->text(), msg::JoiningLabel);
    QCOMPARE(seats->lblPlayer[1]->toolTip(), QStringLiteral("127.0.0.5"));
}

void TestServerConsole::drawerLabelAndWordDuringAGame()
{
    makeConsole(40);
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    ConsoleTestClient *hanako = join(3, QStringLiteral("hanako"));
    // The mirror stays hidden: the turn start clears it all the same.
    m_console->picMain->fill(0);
    taro->send(QStringLiteral("RDY"), QStringLiteral("OK"));
    hanako->send(QStringLiteral("RDY"), QStringLiteral("OK"));

    QTRY_COMPARE_WITH_TIMEOUT(m_console->lblQuestion->text(), msg::HiddenQuestion, 5000);
    const int drawer = m_server->drawerSlot();
    QCOMPARE(m_console->players->labelColor(drawer), QColor(0, 0, 192));
    QCOMPARE(m_console->players->labelColor(1 - drawer), QColor(128, 128, 128));
    // Every turn starts on a white mirror.
    QCOMPARE(m_console->picMain->pixelValue(320, 240), 16777215);
    QTRY_VERIFY(m_console->lblTimeLimit->text().toInt() < 120);
    QCOMPARE(m_console->lblTimeLimit->text(), QString::number(m_server->timeLeft()));
}

void TestServerConsole::hostileNamesAndChatShowAsText()
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
        QTRY_VERIFY(!m_server->playerName(i).isEmpty());
    }
    // A lone LF inside a line must not forge a second line of the log.
    players.first()->send(QStringLiteral("MSG"), QStringLiteral("hi\n12:34 <system> forged"));
    const QString chat = m_server->playerName(0) + QStringLiteral("> hi12:34 <system> forged");
    QTRY_VERIFY(m_console->txtState->logText().contains(chat + QStringLiteral("\r\n")));
    QVERIFY(m_console->txtState->toPlainText().contains(chat + QLatin1Char('\n')));

    m_console->grab();
    for (int i = 0; i < names.size(); ++i) {
        QLabel *seat = m_console->players->lblPlayer[i];
        QCOMPARE(seat->text(), m_server->playerLabel(i));
        QVERIFY(seat->text().startsWith(names.at(i).left(5)));
        QCOMPARE(seat->textFormat(), Qt::PlainText);
    }
    QVERIFY(residentKiB() - before < HostileTextBudgetKiB);
}

void TestServerConsole::closeGuard()
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
    QVERIFY(!m_server->playerName(0).isEmpty());
    QString text = answerBox([this] { m_console->close(); }, QMessageBox::Cancel);
    QCOMPARE(text, msg::CloseQuestion);
    QVERIFY(m_console->isVisible());

    text = answerBox([this] { m_console->close(); }, QMessageBox::Ok);
    QCOMPARE(text, msg::CloseQuestion);
    QTRY_VERIFY(!m_console->isVisible());
}

void TestServerConsole::lobbyStatusDoubleClickShortensTheWait()
{
    makeConsole(50);
    QCOMPARE(m_console->lblLobbyStatus->text(), msg::LobbyStatusCaption);
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    m_server->setLobbyAddressOverride(QStringLiteral("127.0.0.1:%1").arg(probe.serverPort()));
    probe.close(); // nobody there: every attempt is refused
    m_console->picSetting->chkLobbyRegister->setChecked(true);
    startServer();

    const auto attempts = [this] {
        return m_console->txtState->logText().count(QStringLiteral("<system> ") + msg::LobbyConnecting);
    };
    QTRY_VERIFY(m_console->lblLobbyStatus->text().startsWith(msg::LobbyRetryPrefix));
    QCOMPARE(attempts(), 1);
    QVERIFY(m_server->lobbyLink().retryWait() > 5);
    QTest::mouseDClick(m_console->lblLobbyStatus, Qt::LeftButton);
    // The next tick connects instead of a hundred ticks later.
    QTRY_COMPARE_WITH_TIMEOUT(attempts(), 2, 2000);
}

QTEST_MAIN(TestServerConsole)
#include "tst_serverconsole.moc"
