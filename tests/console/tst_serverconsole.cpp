// The console's settings before and between games, over a real server on loopback.
#include "tests/console/consolefixture.h"

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
    void namedDictionariesThatFailAreLoggedAndLeftUnticked();
    void panelSwitch_data();
    void panelSwitch();
    void dictionaryChecksRefuseBadFiles();
    void dictionaryPageNamesFilesAndCountsWords();
    void lobbyAddressAndSameAddressStoredAndUsed();
};

void TestServerConsole::startWithEmptyBoxesFillsInDefaults()
{
    makeConsole();
    SettingsArea *area = widget<SettingsArea>("picSetting");
    widget<QLineEdit>("txtRoomName")->clear();
    widget<QLineEdit>("txtComment")->clear();
    const QString port = widget<QLineEdit>("txtPort")->text();
    startServer();

    QCOMPARE(widget<QLineEdit>("txtRoomName")->text(), msg::DefaultRoomName);
    QCOMPARE(widget<QLineEdit>("txtComment")->text(), msg::DefaultComment);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), msg::DefaultRoomName);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerComment")), msg::DefaultComment);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), port);

    // Running: the settings make way for the running panel, the server settings are fixed.
    QVERIFY(!area->isVisible());
    QVERIFY(widget<RunningPanel>("picRunning")->isVisible());
    QCOMPARE(widget<QPushButton>("cmdStartServer")->text(), msg::ReloadCaption);
    QVERIFY(!widget<QLineEdit>("txtPort")->isEnabled());
    QVERIFY(!widget<QRadioButton>("optServer", 1)->isEnabled());
    QVERIFY(widget<QRadioButton>("optServer", 0)->isChecked());
    QCOMPARE(m_console->windowTitle(), QStringLiteral("zbserver Port:%1 [0] [-1]").arg(port));

    // The settings come back with the change button, the fixed ones still fixed.
    widget<QPushButton>("cmdLoadQuestion")->click();
    QVERIFY(area->isVisible());
    QVERIFY(!widget<QLineEdit>("txtPort")->isEnabled());
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
    widget<QLineEdit>("txtRoomName")->setText(typed);
    startServer();
    QCOMPARE(widget<QLineEdit>("txtRoomName")->text(), stored);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), stored);
}

void TestServerConsole::startRefusedWithoutWords()
{
    makeConsole();
    SettingsArea *area = widget<SettingsArea>("picSetting");
    widget<QRadioButton>("optQuestion", 1)->click(); // added dictionaries only, none ticked
    const QString text =
        answerBox([this] { widget<QPushButton>("cmdStartServer")->click(); }, QMessageBox::Ok);
    QCOMPARE(text, msg::NothingLoaded);
    QVERIFY(!(m_server->listeningPort() != 0));
    QCOMPARE(m_server->listeningPort(), quint16(0));
    QVERIFY(area->isVisible());
    QCOMPARE(widget<QPushButton>("cmdStartServer")->text(), msg::StartServerCaption);
    QVERIFY(SettingsStore::read(QStringLiteral("ServerPort")).isEmpty());
    // Not listening yet, the caption already shows port and counts.
    QCOMPARE(m_console->windowTitle(), QStringLiteral("zbserver Port:0 [0] [-1]"));

    // With the built-in dictionary the same press starts the server.
    widget<QRadioButton>("optQuestion", 0)->click();
    startServer();
}

void TestServerConsole::portInUseKeepsConfiguring()
{
    makeConsole();
    QTcpServer blocker;
    QVERIFY(blocker.listen(QHostAddress::Any, 0));
    SettingsArea *area = widget<SettingsArea>("picSetting");
    widget<QLineEdit>("txtPort")->setText(QString::number(blocker.serverPort()));
    const QString text =
        answerBox([this] { widget<QPushButton>("cmdStartServer")->click(); }, QMessageBox::Ok);
    QVERIFY2(text.contains(QString::number(blocker.serverPort())), qPrintable(text));
    QVERIFY(!(m_server->listeningPort() != 0));
    QVERIFY(area->isVisible());
    QVERIFY(widget<QLineEdit>("txtPort")->isEnabled());
    // The host is taken to the box that needs changing.
    QVERIFY(widget<QFrame>("picLobby")->isVisible());

    blocker.close();
    startServer();
}

void TestServerConsole::laterPressReappliesGameSettings()
{
    makeConsole();
    startServer();
    ConsoleTestClient *taro = join(2, QStringLiteral("taro"));
    widget<QPushButton>("cmdLoadQuestion")->click();
    SettingsArea *area = widget<SettingsArea>("picSetting");
    widget<QRadioButton>("optServer", 2)->click();
    widget<QComboBox>("cmbPlayerMax")->setCurrentIndex(0);
    widget<QComboBox>("cmbRoundMax")->setCurrentIndex(3);
    widget<QCheckBox>("chkQuestionControl")->setChecked(true);
    widget<QPushButton>("cmdStartServer")->click();

    QVERIFY(!area->isVisible());
    QVERIFY(widget<QRadioButton>("optServer", 0)->isChecked() ||
            widget<QRadioButton>("optServer", 2)->isChecked());
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
    m_server->config().setRunOptions(options, ServerSettings::AllFields & ~ServerSettings::PlayerMax);
    m_console = std::make_unique<ServerConsole>(m_server.get());
    m_console->show();

    SettingsArea *area = widget<SettingsArea>("picSetting");
    QCOMPARE(widget<QLineEdit>("txtPort")->text(), port);
    QCOMPARE(widget<QLineEdit>("txtRoomName")->text(), QStringLiteral("今日だけ"));
    QCOMPARE(widget<QComboBox>("cmbRoundMax")->currentIndex(), 3);
    QCOMPARE(widget<QLineEdit>("txtPassword")->text(), QStringLiteral("pw"));
    QVERIFY(!widget<QCheckBox>("chkLobbyRegister")->isChecked());
    QVERIFY(widget<QRadioButton>("optQuestion", 2)->isChecked());
    QCOMPARE(area->dictionaries()->tickedEntries(), QStringList{QStringLiteral("good.zbq")});

    // The host changes one option, the comment: that one is saved, the others are not.
    widget<QLineEdit>("txtComment")->setText(QStringLiteral("書き換えた"));
    startServer();
    QCOMPARE(m_server->listeningPort(), quint16(port.toUInt()));
    QVERIFY(!m_server->settings().lobbyRegister);
    QCOMPARE(m_server->dictionaries().dictionaryList(),
             msg::BuiltInDictionary + QStringLiteral(":good.zbq:"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerComment")), QStringLiteral("書き換えた"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), QStringLiteral("1111"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), QStringLiteral("いつもの部屋"));
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("0"));
    QCOMPARE(SettingsStore::read(QStringLiteral("PlayerMax")), QStringLiteral("5"));

    // A later press saves the rounds once the host has changed them, and
    // goes on saving them after he changes them back.
    widget<QPushButton>("cmdLoadQuestion")->click();
    widget<QPushButton>("cmdStartServer")->click();
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("0"));
    widget<QComboBox>("cmbRoundMax")->setCurrentIndex(2);
    widget<QPushButton>("cmdStartServer")->click();
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("2"));
    widget<QComboBox>("cmbRoundMax")->setCurrentIndex(3);
    widget<QPushButton>("cmdStartServer")->click();
    QCOMPARE(SettingsStore::read(QStringLiteral("RoundMax")), QStringLiteral("3"));
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), QStringLiteral("1111"));
}

void TestServerConsole::namedDictionariesThatFailAreLoggedAndLeftUnticked()
{
    writeFile(QStringLiteral("nobreak.zbq"), toCp932(QStringLiteral("ねこ")));
    ServerSettings options;
    options.tickedDictionaries = {QStringLiteral("gone.zbq"), QStringLiteral("nobreak.zbq")};
    m_server = std::make_unique<GameServer>();
    m_server->config().setRunOptions(options, ServerSettings::Dictionaries);
    m_console = std::make_unique<ServerConsole>(m_server.get());

    // The log's lines without their time stamps.
    QStringList log;
    for (const QString &line : widget<LogView>("txtState")->logText().split(QStringLiteral("\r\n")))
        log << line.section(QStringLiteral(" <system> "), 1);
    QVERIFY(log.contains(msg::dictionaryMissing(QStringLiteral("gone.zbq"))));
    const qsizetype title = log.indexOf(msg::dictionaryTitle(QStringLiteral("nobreak.zbq")));
    QVERIFY(title >= 0 && title + 2 < log.size());
    QCOMPARE(log.mid(title + 1, 2), QStringList({msg::InvalidFile, msg::NoFinalBreak}));
    QVERIFY(widget<SettingsArea>("picSetting")->dictionaries()->tickedEntries().isEmpty());
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
    // At load the dictionary page shows.
    QVERIFY(widget<QRadioButton>("optServer", 0)->isChecked());
    QVERIFY(widget<QGroupBox>("fraQuestion")->isVisible());
    QVERIFY(!widget<QFrame>("picLobby")->isVisible());
    QVERIFY(!widget<QFrame>("picGame")->isVisible());

    widget<QRadioButton>("optServer", (k + 1) % 3)->click();
    widget<QRadioButton>("optServer", k)->click();
    QCOMPARE(widget<QGroupBox>("fraQuestion")->isVisible(), k == 0);
    QCOMPARE(widget<QFrame>("picLobby")->isVisible(), k == 1);
    QCOMPARE(widget<QFrame>("picGame")->isVisible(), k == 2);
    // The window does not change size with the panels.
    m_console->layout()->activate();
    const QSize size = m_console->size();
    for (int other = 0; other < 3; ++other) {
        widget<QRadioButton>("optServer", other)->click();
        m_console->layout()->activate();
        QCOMPARE(m_console->size(), size);
    }
}

void TestServerConsole::dictionaryChecksRefuseBadFiles()
{
    writeFile(QStringLiteral("good.zbq"), toCp932(QStringLiteral("ねこ\r\nいぬ\r\n")));
    makeConsole();
    QCOMPARE(widget<QListWidget>("lstQuestion")->count(), 1);
    writeFile(QStringLiteral("nobreak.zbq"), toCp932(QStringLiteral("ねこ\r\nいぬ")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("zbq")));
    writeFile(QStringLiteral("zbq/worst.zbq"), toCp932(QStringLiteral("//x\r\n\r\n//y")));
    // Files dropped in after the start show after a new search.
    widget<QPushButton>("cmdReload")->click();
    QCOMPARE(widget<QListWidget>("lstQuestion")->count(), 3);
    QListWidgetItem *good = widget<QListWidget>("lstQuestion")->item(0);
    QListWidgetItem *nobreak = widget<QListWidget>("lstQuestion")->item(1);
    QListWidgetItem *worst = widget<QListWidget>("lstQuestion")->item(2);
    QCOMPARE(nobreak->text(), QStringLiteral("nobreak.zbq"));
    QCOMPARE(worst->text(), m_server->dictionaries().entries().at(2));

    const QString text = answerBox([nobreak] { nobreak->setCheckState(Qt::Checked); }, QMessageBox::Ok);
    QVERIFY2(text.contains(msg::NoFinalBreak), qPrintable(text));
    QCOMPARE(nobreak->checkState(), Qt::Unchecked);

    // Every failed check has its own box, one after the other.
    QCOMPARE(boxesShown([worst] { worst->setCheckState(Qt::Checked); }), 4);
    QCOMPARE(worst->checkState(), Qt::Unchecked);

    QCOMPARE(boxesShown([good] { good->setCheckState(Qt::Checked); }), 0);
    QCOMPARE(good->checkState(), Qt::Checked);

    widget<QRadioButton>("optQuestion", 1)->click();
    widget<QCheckBox>("chkQuestionControl")->setChecked(true);
    startServer();
    QCOMPARE(m_server->dictionaries().dictionaryList(), QStringLiteral("good.zbq:"));

    // A pool used up mid-game is rebuilt from the console as it is now,
    // without the start button.
    widget<QPushButton>("cmdLoadQuestion")->click();
    widget<QRadioButton>("optQuestion", 0)->click();
    // Draws as the next turn would, without playing one.
    auto &bank = const_cast<QuestionBank &>(m_server->dictionaries());
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
    emit widget<QLabel>("dictionariesLink")->linkActivated(QStringLiteral("folder"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(files.urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
    writeFile(QStringLiteral("zbq/new.zbq"), QStringLiteral("ねこ\nいぬ\nとり // 鳥\n").toUtf8());
    widget<QPushButton>("cmdReload")->click();

    auto *list = widget<QListWidget>("lstQuestion");
    QCOMPARE(list->item(1)->text(), QStringLiteral("zbq\\new.zbq"));
    QCOMPARE(list->item(1)->data(DictionaryPanel::WordsRole).toInt(), 3);
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
    widget<QCheckBox>("chkLobbyRegister")->setChecked(true);
    auto *box = widget<QLineEdit>("lobbyAddressEdit");
    // Refused as the room would refuse it, with the host taken to the box.
    box->setText(QStringLiteral("127.0.0.1:port"));
    QCOMPARE(answerBox([this] { widget<QPushButton>("cmdStartServer")->click(); }, QMessageBox::Ok),
             msg::badLobbyAddress(QStringLiteral("127.0.0.1:port")));
    QVERIFY(!(m_server->listeningPort() != 0) && box->isVisible());

    box->setText(QStringLiteral("127.0.0.1:%1").arg(lobby.serverPort()));
    auto *sameAddress = widget<QCheckBox>("allowSameAddressBox");
    QVERIFY(!sameAddress->isChecked());
    sameAddress->setChecked(true);
    startServer();
    QCOMPARE(SettingsStore::read(QStringLiteral("LobbyServerAddress")), box->text());
    QVERIFY(m_server->settings().allowSameAddress);
    QCOMPARE(SettingsStore::read(QStringLiteral("AllowSameAddress")), QStringLiteral("1"));
    QVERIFY(lobby.waitForNewConnection(5000));
    // The lobby tries the room's port and says what it found; the address panel shows it.
    auto *reach = widget<QLabel>("reachabilityLabel");
    QCOMPARE(reach->text(), msg::ReachabilityUnknown);
    const QString notice = msg::unreachableNotice(m_server->listeningPort());
    lobby.nextPendingConnection()->write(toCp932(QStringLiteral("SYM ") + notice + QStringLiteral("\r\n")));
    QTRY_COMPARE(reach->text(), notice);
}

QTEST_MAIN(TestServerConsole)
#include "tst_serverconsole.moc"
