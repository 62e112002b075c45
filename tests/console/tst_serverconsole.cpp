// The console's settings before and between games, over a real server on loopback.
#include "consolefixture.h"

#include <QDesktopServices>

using namespace zb;

// Stands in for the file manager.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestServerConsole : public ConsoleFixture {
    Q_OBJECT
  private slots:
    // As zbserver does: the boxes' standard buttons in Japanese.
    void initTestCase() { QVERIFY(installQtTranslations()); }
    void init() { setUpFolder(); }
    void cleanup() { tearDown(); }

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
    void dictionaryPageNamesFilesAndCountsWords();
    void lobbyAddressAndSameAddressStoredAndUsed();
};

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
    const QString port = QString::number(freePort());
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

void TestServerConsole::dictionaryPageNamesFilesAndCountsWords()
{
    const QString folder = m_dir->filePath(QStringLiteral("zbq"));
    writeFile(QStringLiteral("old.zbq"), toCp932(QStringLiteral("ねこ\r\nいぬ")));
    makeConsole();
    QVERIFY(QDir(folder).removeRecursively());
    // The link opens the folder where dictionaries go, made anew when it is gone.
    UrlCatcher files;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &files, "open");
    emit part<QLabel>(m_console.get(), "dictionariesLink")->linkActivated(QStringLiteral("folder"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(files.urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
    writeFile(QStringLiteral("zbq/new.zbq"), QStringLiteral("ねこ\nいぬ\nとり // 鳥\n").toUtf8());
    part<QPushButton>(m_console.get(), "cmdReload")->click();

    auto *list = part<QListWidget>(m_console.get(), "lstQuestion");
    QCOMPARE(list->item(1)->text(), QStringLiteral("zbq\\new.zbq"));
    QCOMPARE(list->item(1)->data(SettingsArea::WordsRole).toInt(), 3);
    QCOMPARE(boxesShown([list] { list->item(1)->setCheckState(Qt::Checked); }), 0);
    // A refusal names the file it is about.
    const QString text = answerBox([list] { list->item(0)->setCheckState(Qt::Checked); }, QMessageBox::Ok);
    QVERIFY2(text.startsWith(msg::dictionaryTitle(QStringLiteral("old.zbq")) + QLatin1Char('\n') +
                             msg::InvalidFile),
             qPrintable(text));
}

void TestServerConsole::lobbyAddressAndSameAddressStoredAndUsed()
{
    QTcpServer lobby;
    QVERIFY(lobby.listen(QHostAddress::LocalHost));
    makeConsole();
    part<QCheckBox>(m_console.get(), "chkLobbyRegister")->setChecked(true);
    auto *box = part<QLineEdit>(m_console.get(), "lobbyAddressEdit");
    // Refused as the room would refuse it, with the host taken to the box.
    box->setText(QStringLiteral("127.0.0.1:port"));
    QCOMPARE(
        answerBox([this] { part<QPushButton>(m_console.get(), "cmdStartServer")->click(); }, QMessageBox::Ok),
        msg::badLobbyAddress(QStringLiteral("127.0.0.1:port")));
    QVERIFY(!m_server->serverStarted() && box->isVisible());

    box->setText(QStringLiteral("127.0.0.1:%1").arg(lobby.serverPort()));
    auto *sameAddress = part<QCheckBox>(m_console.get(), "allowSameAddressBox");
    QVERIFY(!sameAddress->isChecked());
    sameAddress->setChecked(true);
    startServer();
    QCOMPARE(SettingsStore::read(QStringLiteral("LobbyServerAddress")), box->text());
    QVERIFY(m_server->settings().allowSameAddress);
    QCOMPARE(SettingsStore::read(QStringLiteral("AllowSameAddress")), QStringLiteral("1"));
    QVERIFY(lobby.waitForNewConnection(5000));
    // The lobby tries the room's port and says what it found; the address panel shows it.
    auto *reach = part<QLabel>(m_console.get(), "reachabilityLabel");
    QCOMPARE(reach->text(), msg::ReachabilityUnknown);
    const QString notice = msg::unreachableNotice(m_server->listeningPort());
    lobby.nextPendingConnection()->write(toCp932(QStringLiteral("SYM ") + notice + QStringLiteral("\r\n")));
    QTRY_COMPARE(reach->text(), notice);
}

QTEST_MAIN(TestServerConsole)
#include "tst_serverconsole.moc"
