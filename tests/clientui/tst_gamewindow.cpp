#include "client/core/messages.h"
#include "client/lobby/lobbysession.h"
#include "client/ui/canvaswidget.h"
#include "client/ui/clicklabel.h"
#include "client/ui/gamewindow.h"
#include "client/ui/gamewindowlayout.h"
#include "client/ui/questionwindow.h"
#include "client/ui/resultsview.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "shared/textclean.h"
#include "tests/client/fakeserver.h"
#include "tests/clientui/residentmemory.h"
#include "tests/clientui/windowparts.h"
#include "tests/lobby/fakelobby.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

using namespace zb;

namespace {
QStringList viewLines(const QPlainTextEdit *view)
{
    return view->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
QColor textColor(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}
QColor background(const QWidget *w)
{
    return w->palette().color(QPalette::Window);
}

// Puts a window somewhere when it is shown, as a window manager does.
class PlaceOnShow : public QObject {
  public:
    PlaceOnShow(QWidget *window, QPoint at) : m_at(at) { window->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) static_cast<QWidget *>(watched)->move(m_at);
        return false;
    }

  private:
    QPoint m_at;
};
} // namespace

class TestGameWindow : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void startUp();
    void startUpSettings();
    void functionKeys();
    void readyLabels();
    void turnDisplay();
    void connectReadyAndChat();
    void chatNotConnected();
    void disconnectButton();
    void optionsDialogApplies();
    void viewTrim();
    void hostileNamesAndChatStayText();
    void drawerSeesHostileWordAsText();
    void overlongNamesShownCut();
    void soundSwitch();
    void lobbyWindowOpensAfresh();
    void lobbyAddressChosenInOptions();
    void kickShownAndPanelsEmptied();

  private:
    QTemporaryDir m_dir;
};

void TestGameWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    setProgramFolder(m_dir.path());
}

void TestGameWindow::init()
{
    static int n = 0;
    SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings%1.ini").arg(++n)));
}

void TestGameWindow::startUp()
{
    GameWindow w;
    w.prepare();
    QVERIFY(QDir(m_dir.filePath(QStringLiteral("png"))).exists());
    const QStringList lines = viewLines(part<QPlainTextEdit>(&w, "txtSystem"));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).endsWith(QLatin1Char(' ') + msg::versionLine(QStringLiteral("1.16"))));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d ")).match(lines.at(0)).hasMatch());
    QVERIFY(lines.at(1).endsWith(msg::PressLobbyToStart));
    QCOMPARE(w.windowTitle(), msg::ProgramName);
    // Today's size, or less on a screen too small for it; the canvas is 640 x 480 at today's size.
    const QSize room = w.screen()->availableGeometry().size().expandedTo(GameWindowLayout::SmallestSize);
    QVERIFY(w.frameGeometry().width() <= room.width() && w.frameGeometry().height() <= room.height());
    if (room.width() >= 1000 && room.height() >= 800) QCOMPARE(w.size(), GameWindowLayout::ClassicSize);
    w.resize(GameWindowLayout::ClassicSize);
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->size(), QSize(640, 480));
    QCOMPARE(part<QLabel>(&w, "lblTimeLimit")->text(), QStringLiteral("-1"));
    QVERIFY(!part<QPushButton>(&w, "cmdReady")->isEnabled());
    QVERIFY(!part<QLabel>(&w, "lblOekakiChat")->isVisible());
    QCOMPARE(part<QLineEdit>(&w, "txtSend")->text(), QString());
    QCOMPARE(part<QLineEdit>(&w, "txtSend")->placeholderText(), msg::SendHint);
    QCOMPARE(part<QLineEdit>(&w, "txtSend")->maxLength(), 100);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(part<QLabel>(&w, "lblPlayer", i)->text(), QString());
        QCOMPARE(part<QLabel>(&w, "lblReady", i)->text(), msg::EmptySeat);
        QCOMPARE(part<QLabel>(&w, "lblScore", i)->text(), QStringLiteral("0"));
        QCOMPARE(part<QLabel>(&w, "lblScoreTitle", i)->y(), part<QLabel>(&w, "lblScoreTitle", 0)->y());
    }
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->mousePointer(), 0);
    QCOMPARE(part<QPlainTextEdit>(&w, "txtState")->font().pointSize(), 9);
    QVERIFY(!w.questionWindow());
    QVERIFY(!w.lobbyWindow());
    QCOMPARE(part<QPushButton>(&w, "cmdSavePicture")->toolTip(), msg::SavePictureTip);
}

void TestGameWindow::startUpSettings()
{
    SettingsStore::write(QStringLiteral("ChatTextSize2"), QStringLiteral("2"));
    SettingsStore::write(QStringLiteral("QuestionWindow"), QStringLiteral("1"));
    SettingsStore::write(QStringLiteral("MousePointer"), QStringLiteral("1"));
    SettingsStore::write(QStringLiteral("LobbyAutoConnect"), QStringLiteral("1"));
    GameWindow w;
    PlaceOnShow placed(&w, QPoint(240, 160));
    w.prepare();
    QCOMPARE(viewLines(part<QPlainTextEdit>(&w, "txtSystem")).size(), 2);
    for (QPlainTextEdit *view :
         {part<QPlainTextEdit>(&w, "txtState"), part<QPlainTextEdit>(&w, "txtSystem")}) {
        QCOMPARE(view->font().pointSize(), 12);
        QVERIFY(view->font().bold());
    }
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->mousePointer(), 1);
    QVERIFY(w.lobbyWindow());
    QVERIFY(w.lobbyWindow()->isVisible());
    QVERIFY(w.questionWindow());
    QVERIFY(w.questionWindow()->isVisible());
    // Both measured from where the game window was shown, not from where it was built.
    QCOMPARE(w.pos(), QPoint(240, 160));
    QCOMPARE(w.questionWindow()->pos(), w.pos() + QPoint(80, 80));
    QCOMPARE(w.lobbyWindow()->pos(), w.pos());
    // The drawer reads the word in the floating window, the line shows hints.
    w.client().dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    w.client().dispatch(QStringLiteral("QST"), QStringLiteral("0:うさぎ"));
    QCOMPARE(w.questionWindow()->word(), QStringLiteral("うさぎ"));
    QCOMPARE(part<QLabel>(&w, "lblQuestion")->text(), msg::HiddenWord);
    w.close();
    QVERIFY(!w.questionWindow() || !w.questionWindow()->isVisible());
    QVERIFY(!w.lobbyWindow() || !w.lobbyWindow()->isVisible());
}

void TestGameWindow::functionKeys()
{
    GameWindow w;
    w.prepare();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QSignalSpy sounds(&w.client(), &GameClient::soundRequested);
    part<QLineEdit>(&w, "txtSend")->setFocus();
    QTest::keyClick(part<QLineEdit>(&w, "txtSend"), Qt::Key_F2);
    QCOMPARE(w.client().canvas().penWidth(), 8);
    QCOMPARE(sounds.size(), 1);
    QCOMPARE(sounds.at(0).at(0).toString(), QStringLiteral("click2"));
    QVERIFY(part<QFrame>(&w, "shpSelectedDrawWidth")
                ->geometry()
                .contains(part<ClickLabel>(&w, "lblDrawWidth", 1)->geometry()));
    QTest::keyClick(&w, Qt::Key_F4);
    QCOMPARE(w.client().canvas().penWidth(), 28);
    QTest::keyClick(&w, Qt::Key_F1);
    QCOMPARE(w.client().canvas().penWidth(), 3);
    // The keys belong to the game window: another window's F keys are its own.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(&other, Qt::Key_F3);
    QCOMPARE(w.client().canvas().penWidth(), 3);
}

void TestGameWindow::readyLabels()
{
    GameWindow w;
    w.prepare();
    w.client().dispatch(QStringLiteral("NMS"), QStringLiteral("a:b:c:d::::"));
    w.client().dispatch(QStringLiteral("RDY"), QStringLiteral("OK:VER:PSW:x::::"));
    w.client().dispatch(QStringLiteral("SCR"), QStringLiteral("3:0:12:0:0:0:0:0:"));
    const QStringList texts{msg::Ready,     msg::VersionMismatch, msg::PasswordMismatch, msg::NotReady,
                            msg::EmptySeat, msg::EmptySeat,       msg::EmptySeat,        msg::EmptySeat};
    const QList<QColor> colors{QColor(0, 0, 255), QColor(255, 0, 0), QColor(255, 0, 0), QColor(128, 128, 255),
                               QColor(0, 0, 0),   QColor(0, 0, 0),   QColor(0, 0, 0),   QColor(0, 0, 0)};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(part<QLabel>(&w, "lblReady", i)->text(), texts.at(i));
        QCOMPARE(textColor(part<QLabel>(&w, "lblReady", i)), colors.at(i));
    }
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 2)->text(), QStringLiteral("c"));
    QCOMPARE(part<QLabel>(&w, "lblScore", 2)->text(), QStringLiteral("12"));
    // A short list changes nothing on screen.
    w.client().dispatch(QStringLiteral("NMS"), QStringLiteral("x:y"));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 0)->text(), QStringLiteral("a"));
    QVERIFY(viewLines(part<QPlainTextEdit>(&w, "txtSystem")).last().endsWith(msg::UnknownError));
}

void TestGameWindow::turnDisplay()
{
    GameWindow w;
    w.prepare();
    w.client().dispatch(QStringLiteral("NMS"), QStringLiteral("a:b:::::::"));
    w.client().dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    w.client().dispatch(QStringLiteral("QST"), QStringLiteral("1:ねずみ"));
    QCOMPARE(background(part<QLabel>(&w, "lblPlayer", 1)), QColor(0, 0, 192));
    QCOMPARE(background(part<QFrame>(&w, "picPlayer", 1)), QColor(255, 210, 210));
    QCOMPARE(background(part<QLabel>(&w, "lblPlayer", 0)), QColor(128, 128, 128));
    QCOMPARE(background(part<QFrame>(&w, "picPlayer", 0)), QColor(255, 255, 255));
    QCOMPARE(part<QLabel>(&w, "lblTimeLimit")->text(), QStringLiteral("120"));
    QCOMPARE(part<QLabel>(&w, "lblQuestion")->text(), msg::HiddenWord);
    for (int i = 0; i < 30; ++i)
        w.client().onClockTick();
    QCOMPARE(part<QLabel>(&w, "lblQuestion")->text(), QStringLiteral("○○○"));
    QCOMPARE(part<QLabel>(&w, "lblTimeLimit")->text(), QStringLiteral("90"));
    w.client().dispatch(QStringLiteral("QOK"), QStringLiteral("0"));
    QCOMPARE(part<QLabel>(&w, "lblTimeLimit")->text(), QStringLiteral("-1"));
    QCOMPARE(part<QLabel>(&w, "lblQuestion")->text(), QStringLiteral("ねずみ"));
    QVERIFY(part<QFrame>(&w, "shpQok")->isVisible());
    QCOMPARE(part<QFrame>(&w, "shpQok")->geometry().center().y(),
             part<QFrame>(&w, "picPlayer", 0)->geometry().center().y());
    w.client().dispatch(QStringLiteral("QST"), QStringLiteral("0:いぬ"));
    QVERIFY(!part<QFrame>(&w, "shpQok")->isVisible());
    QCOMPARE(part<QLabel>(&w, "lblQuestion")->text(), QStringLiteral("いぬ"));
    QCOMPARE(background(part<QLabel>(&w, "lblPlayer", 1)), QColor(128, 128, 128));
}

void TestGameWindow::connectReadyAndChat()
{
    FakeServer server;
    SettingsStore::write(QStringLiteral("Name"), QStringLiteral("Hanako"));
    GameWindow w;
    w.prepare();
    w.openConnectDialog(server.address());
    QVERIFY(w.connectDialog());
    QCOMPARE(part<QLineEdit>(w.connectDialog(), "txtIPPort")->text(), server.address());
    QTest::mouseClick(part<QPushButton>(w.connectDialog(), "cmdServer"), Qt::LeftButton);
    QTRY_VERIFY(w.client().isConnected());
    QTRY_VERIFY(!w.connectDialog());
    QTRY_COMPARE(server.lines().size(), 3);
    QCOMPARE(server.lines().at(2), QStringLiteral("NAM Hanako"));
    QVERIFY(part<QPushButton>(&w, "cmdReady")->isEnabled());
    QVERIFY(part<QLabel>(&w, "lblOekakiChat")->isVisible());
    // A second connection while connected is refused.
    w.openConnectDialog(server.address());
    QTest::mouseClick(part<QPushButton>(w.connectDialog(), "cmdServer"), Qt::LeftButton);
    QTRY_VERIFY(viewLines(part<QPlainTextEdit>(&w, "txtSystem"))
                    .last()
                    .contains(QStringLiteral("既にサーバーに接続しています")));

    QTest::mouseClick(part<QPushButton>(&w, "cmdReady"), Qt::LeftButton);
    QTest::mouseClick(part<QPushButton>(&w, "cmdReady"), Qt::LeftButton);
    QVERIFY(!part<QPushButton>(&w, "cmdReady")->isEnabled());
    QTRY_COMPARE(server.lines().count(QStringLiteral("RDY OK")), 1);
    server.send(QStringLiteral("RET null"));
    QTRY_VERIFY(part<QPushButton>(&w, "cmdReady")->isEnabled());

    // The hint is no text: Enter on the untouched box sends nothing, and a
    // click into it types into an empty box.
    QTest::keyClick(part<QLineEdit>(&w, "txtSend"), Qt::Key_Return);
    QTest::mouseClick(part<QLineEdit>(&w, "txtSend"), Qt::LeftButton, {}, QPoint(60, 8));
    QTest::keyClicks(part<QLineEdit>(&w, "txtSend"), QStringLiteral("ab"));
    QCOMPARE(part<QLineEdit>(&w, "txtSend")->text(), QStringLiteral("ab"));
    QTest::keyClicks(part<QLineEdit>(&w, "txtSend"), QStringLiteral("c"));
    QTest::keyClick(part<QLineEdit>(&w, "txtSend"), Qt::Key_Return);
    QCOMPARE(viewLines(part<QPlainTextEdit>(&w, "txtState")).last(), QStringLiteral("<Hanako> abc"));
    QTRY_COMPARE(server.lines().last(), QStringLiteral("MSG abc"));
    QCOMPARE(server.lines().filter(QStringLiteral("MSG ")), QStringList{QStringLiteral("MSG abc")});
    server.send(QStringLiteral("NMS Hanako:::taro:::::"));
    server.send(QStringLiteral("MSG 3:hello"));
    QTRY_COMPARE(viewLines(part<QPlainTextEdit>(&w, "txtState")).last(), QStringLiteral("<taro> hello"));
}

void TestGameWindow::chatNotConnected()
{
    GameWindow w;
    w.prepare();
    part<QLineEdit>(&w, "txtSend")->setText(QStringLiteral("abc"));
    QTest::keyClick(part<QLineEdit>(&w, "txtSend"), Qt::Key_Return);
    QCOMPARE(part<QLineEdit>(&w, "txtSend")->text(), QStringLiteral("abc"));
    QVERIFY(viewLines(part<QPlainTextEdit>(&w, "txtSystem"))
                .last()
                .endsWith(QLatin1Char(' ') + msg::NotConnected));
    QVERIFY(viewLines(part<QPlainTextEdit>(&w, "txtState")).isEmpty());
}

void TestGameWindow::disconnectButton()
{
    GameWindow w;
    w.prepare();
    QTest::mouseClick(part<QPushButton>(&w, "cmdDisConnect"), Qt::LeftButton);
    QMessageBox *box = w.findChild<QMessageBox *>(QStringLiteral("disconnectQuestion"));
    QVERIFY(box);
    QCOMPARE(box->text(), msg::ConfirmDisconnect);
    QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    QCOMPARE(viewLines(part<QPlainTextEdit>(&w, "txtSystem")).size(), 2);
    QTest::mouseClick(part<QPushButton>(&w, "cmdDisConnect"), Qt::LeftButton);
    QTRY_VERIFY((box = w.findChild<QMessageBox *>(QStringLiteral("disconnectQuestion"))));
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(viewLines(part<QPlainTextEdit>(&w, "txtSystem"))
                    .last()
                    .endsWith(QLatin1Char(' ') + msg::Disconnected));
}

void TestGameWindow::optionsDialogApplies()
{
    GameWindow w;
    w.prepare();
    QTest::mouseClick(part<QPushButton>(&w, "cmdSetting"), Qt::LeftButton);
    OptionsDialog *dialog = w.optionsDialog();
    QVERIFY(dialog);
    part<QCheckBox>(dialog, "chkChatTextSize")->setChecked(true);
    part<QCheckBox>(dialog, "chkQuestionWindow")->setChecked(true);
    part<QRadioButton>(dialog, "optMousePointer", 2)->setChecked(true);
    QTest::mouseClick(part<QPushButton>(dialog, "cmdOk"), Qt::LeftButton);
    QCOMPARE(part<QPlainTextEdit>(&w, "txtSystem")->font().pointSize(), 12);
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->mousePointer(), 2);
    QVERIFY(w.questionWindow() && w.questionWindow()->isVisible());
    QCOMPARE(SettingsStore::read(QStringLiteral("ChatTextSize2")), QStringLiteral("1"));
    QTest::mouseClick(part<QPushButton>(&w, "cmdSetting"), Qt::LeftButton);
    QTRY_VERIFY(w.optionsDialog());
    part<QCheckBox>(w.optionsDialog(), "chkQuestionWindow")->setChecked(false);
    QTest::mouseClick(part<QPushButton>(w.optionsDialog(), "cmdOk"), Qt::LeftButton);
    QVERIFY(!w.questionWindow() || !w.questionWindow()->isVisible());
}

void TestGameWindow::viewTrim()
{
    GameWindow w;
    w.prepare();
    const QString chunk(90, QLatin1Char('x'));
    for (int i = 0; i < 120; ++i)
        w.appendChatLine(QString::number(i) + chunk);
    const QString text = part<QPlainTextEdit>(&w, "txtState")->toPlainText();
    QVERIFY(text.size() <= 10000);
    QVERIFY(text.endsWith(QStringLiteral("119") + chunk));
    QVERIFY(!text.contains(QStringLiteral("\n5") + chunk));
}

void TestGameWindow::hostileNamesAndChatStayText()
{
    const QStringList names{QStringLiteral("<img src=/dev/zero>"), QStringLiteral("<font size=7>big"),
                            QStringLiteral("a\nb")};
    FakeServer server;
    GameWindow w;
    w.prepare();
    QVERIFY(w.client().connectToRoom(server.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(w.client().isConnected());
    const qint64 before = residentKiB();
    server.send(QStringLiteral("NMS ") + names.join(QLatin1Char(':')) + QStringLiteral(":::::"));
    // A lone LF is no line end: it must not forge a second line in either view.
    server.send(QStringLiteral("MSG 1:hello\n<system> forged"));
    server.send(QStringLiteral("SYM notice\n12:34 forged"));
    QTRY_VERIFY(viewLines(part<QPlainTextEdit>(&w, "txtSystem"))
                    .last()
                    .endsWith(QStringLiteral(" notice12:34 forged")));
    QCOMPARE(viewLines(part<QPlainTextEdit>(&w, "txtState")).last(),
             QStringLiteral("<<font size=7> hello<system> forged"));
    w.grab();
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 0)->text(), names.at(0).left(MaxNameLength));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 1)->text(), names.at(1).left(MaxNameLength));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 2)->text(), QStringLiteral("ab"));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 0)->textFormat(), Qt::PlainText);
    QVERIFY(residentKiB() - before < HostileTextBudgetKiB);
}

void TestGameWindow::drawerSeesHostileWordAsText()
{
    const QString word = QStringLiteral("<img src=/dev/zero>");
    // The word goes to the main line, or to the floating window.
    for (const char *questionWindow : {"0", "1"}) {
        SettingsStore::write(QStringLiteral("QuestionWindow"), QLatin1String(questionWindow));
        FakeServer server;
        GameWindow w;
        w.prepare();
        QVERIFY(w.client().connectToRoom(server.address(), QStringLiteral("me"), QString()));
        QTRY_VERIFY(w.client().isConnected());
        const qint64 before = residentKiB();
        server.send(QStringLiteral("NUM 0"));
        server.send(QStringLiteral("QST 0:") + word);
        QLabel *shown = w.questionWindow() ? part<QLabel>(w.questionWindow(), "lblQuestion")
                                           : part<QLabel>(&w, "lblQuestion");
        QTRY_COMPARE(shown->text(), word);
        shown->window()->grab();
        QVERIFY(residentKiB() - before < HostileTextBudgetKiB);
    }
}

void TestGameWindow::overlongNamesShownCut()
{
    const QString name(30000, QChar(0x3042));
    const QString shown(MaxNameLength, QChar(0x3042));
    GameWindow w;
    w.prepare();
    QSignalSpy chat(&w.client(), &GameClient::chatText);
    w.client().dispatch(QStringLiteral("NMS"), name + QStringLiteral(":b::::::"));
    w.client().dispatch(QStringLiteral("SCR"), QStringLiteral("5:3:0:0:0:0:0:0:"));
    w.client().dispatch(QStringLiteral("MSG"), QStringLiteral("0:hi"));
    w.client().dispatch(QStringLiteral("QST"), QStringLiteral("0:いぬ"));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 0)->text(), shown);
    QCOMPARE(chat.last().at(0).toString(), shown + QStringLiteral("> hi"));
    QVERIFY(viewLines(part<QPlainTextEdit>(&w, "txtSystem"))
                .last()
                .contains(QStringLiteral(" ") + shown + QStringLiteral(" の描いた")));
    // The results view keeps to the canvas area.
    w.client().dispatch(QStringLiteral("SYM"), msg::WinnerNoticePrefix + name + msg::WinnerNoticeSuffix);
    w.client().dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    ResultsView *view = w.resultsView();
    QVERIFY(view && view->isVisible());
    QCOMPARE(part<QTableWidget>(view, "lstRanking")->item(0, 1)->text(), shown);
    QVERIFY(part<QLabel>(view, "winnerLabel")->text().endsWith(shown));
    for (const QWidget *child : view->findChildren<QWidget *>()) {
        if (!child->isVisibleTo(view)) continue;
        const QRect inView(child->mapTo(view, QPoint(0, 0)), child->size());
        QVERIFY2(view->rect().contains(inView), qPrintable(child->metaObject()->className()));
    }
}

void TestGameWindow::soundSwitch()
{
    {
        GameWindow w;
        w.prepare();
        QVERIFY(w.client().soundOn());
        QTest::mouseClick(part<QPushButton>(&w, "cmdSetting"), Qt::LeftButton);
        QVERIFY(part<QCheckBox>(w.optionsDialog(), "chkSoundEffect")->isChecked());
        QCOMPARE(part<QCheckBox>(w.optionsDialog(), "chkSoundEffect")->text(), msg::SoundEffects);
        part<QCheckBox>(w.optionsDialog(), "chkSoundEffect")->setChecked(false);
        QTest::mouseClick(part<QPushButton>(w.optionsDialog(), "cmdOk"), Qt::LeftButton);
        QVERIFY(!w.client().soundOn());
        QCOMPARE(SettingsStore::read(QStringLiteral("SoundEffect")), QStringLiteral("0"));
    }
    // The next start keeps it off.
    GameWindow w;
    w.prepare();
    QVERIFY(!w.client().soundOn());
}

void TestGameWindow::lobbyWindowOpensAfresh()
{
    auto lobby = std::make_unique<FakeLobby>();
    LobbyWindow::setAddressOverride(lobby->address());
    FakeServer server;
    SettingsStore::write(QStringLiteral("Name"), QStringLiteral("Hanako"));
    GameWindow w;
    w.move(120, 90);
    w.prepare();
    // Another window has the focus: the lobby still opens at the game window's corner.
    QWidget other;
    other.move(500, 400);
    other.show();
    other.activateWindow();
    w.onConnectButtonClicked();
    QPointer<LobbyWindow> first = w.lobbyWindow();
    QCOMPARE(first->pos(), w.pos());
    QTRY_COMPARE(lobby->lines.size(), 1);
    lobby->send(QStringLiteral("MSG"), QStringLiteral("花子> やあ"));
    lobby->send(QStringLiteral("NMS"), QStringLiteral("花子:"));
    QTRY_COMPARE(first->findChild<QListWidget *>(QStringLiteral("lstName"))->count(), 1);
    QVERIFY(!first->findChild<QPushButton *>(QStringLiteral("cmdReload"))->isEnabled());
    first->session()->onReloadLimitTick();
    QCOMPARE(first->windowTitle(), msg::lobbyCaption(7));

    // Joining a room closes the lobby while its reload limit runs; the
    // connection ends with the window.
    QSignalSpy gone(lobby->peer->socket(), &QTcpSocket::disconnected);
    w.openConnectDialog(server.address());
    QTest::mouseClick(part<QPushButton>(w.connectDialog(), "cmdServer"), Qt::LeftButton);
    QTRY_VERIFY(!first);
    QVERIFY(!w.lobbyWindow());
    QTRY_COMPARE(gone.size(), 1);

    // Reopened with the lobby gone, it starts as the first opening did.
    lobby.reset();
    w.onConnectButtonClicked();
    LobbyWindow *again = w.lobbyWindow();
    QCOMPARE(again->windowTitle(), msg::LobbyServer);
    QCOMPARE(again->findChild<QListWidget *>(QStringLiteral("lstName"))->count(), 0);
    auto *log = again->findChild<QPlainTextEdit *>(QStringLiteral("txtState"));
    QTRY_VERIFY_WITH_TIMEOUT(log->toPlainText().contains(msg::LobbyMayBeDown), 10000);
    QVERIFY(!log->toPlainText().contains(QStringLiteral("やあ")));
    auto *reload = again->findChild<QPushButton *>(QStringLiteral("cmdReload"));
    QVERIFY(reload->isEnabled());
    QCOMPARE(reload->text(), msg::ReloadServerList);
    LobbyWindow::setAddressOverride(QString());
}

void TestGameWindow::lobbyAddressChosenInOptions()
{
    LobbyWindow::setAddressOverride(QString());
    FakeLobby lobby;
    GameWindow w;
    w.prepare();
    QTest::mouseClick(part<QPushButton>(&w, "cmdSetting"), Qt::LeftButton);
    auto *field = part<QLineEdit>(w.optionsDialog(), "lobbyAddressEdit");
    QCOMPARE(field->text(), QString());
    field->setText(QStringLiteral(" ") + lobby.address() + QStringLiteral(" "));
    QTest::mouseClick(part<QPushButton>(w.optionsDialog(), "cmdOk"), Qt::LeftButton);
    QCOMPARE(SettingsStore::read(QStringLiteral("LobbyServerAddress")), lobby.address());
    w.onConnectButtonClicked();
    QTRY_COMPARE(lobby.lines.size(), 1);
    QVERIFY(lobby.lines.first().startsWith(QStringLiteral("STS ")));

    // An address that is none is refused, and nothing is stored.
    QTest::mouseClick(part<QPushButton>(&w, "cmdSetting"), Qt::LeftButton);
    QTRY_VERIFY(w.optionsDialog());
    part<QLineEdit>(w.optionsDialog(), "lobbyAddressEdit")->setText(QStringLiteral("lobby server:1"));
    QTest::mouseClick(part<QPushButton>(w.optionsDialog(), "cmdOk"), Qt::LeftButton);
    auto *box = w.optionsDialog()->findChild<QMessageBox *>();
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->text(), msg::BadLobbyAddress);
    QVERIFY(w.optionsDialog()->isVisible());
    QCOMPARE(SettingsStore::read(QStringLiteral("LobbyServerAddress")), lobby.address());
    // Emptied, the built-in lobby is used again.
    box->close();
    part<QLineEdit>(w.optionsDialog(), "lobbyAddressEdit")->clear();
    QTest::mouseClick(part<QPushButton>(w.optionsDialog(), "cmdOk"), Qt::LeftButton);
    QCOMPARE(SettingsStore::read(QStringLiteral("LobbyServerAddress")), QString());
    QCOMPARE(LobbySession::lobbyAddress(), QStringLiteral("localhost:29999"));
}

void TestGameWindow::kickShownAndPanelsEmptied()
{
    FakeServer server;
    GameWindow w;
    w.prepare();
    QVERIFY(w.client().connectToRoom(server.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(w.client().isConnected());
    server.send(QStringLiteral("NMS me:bob::::::"));
    server.send(QStringLiteral("NUM 0"));
    server.send(QStringLiteral("SCR 288:12:0:0:0:0:0:0:"));
    server.send(QStringLiteral("RDY OK:OK::::::"));
    server.send(QStringLiteral("QST 1:いぬ"));
    server.send(QStringLiteral("QOK 0"));
    QTRY_VERIFY(part<QFrame>(&w, "shpQok")->isVisible());
    QCOMPARE(part<QLabel>(&w, "lblScore", 0)->text(), QStringLiteral("288"));
    auto *notice = part<QFrame>(&w, "leaveNotice");
    QVERIFY(!notice->isVisible());
    server.send(QStringLiteral("SYM ") + msg::KickedReason);
    server.dropClient();
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(part<QLabel>(&w, "leaveReason")->text(), msg::KickedReason);
    // Over the canvas, and the room's line is still in the system view.
    QVERIFY(part<CanvasWidget>(&w, "picMain")->geometry().contains(notice->geometry().center()));
    QVERIFY(part<QPlainTextEdit>(&w, "txtSystem")->toPlainText().contains(msg::KickedReason));
    for (int i = 0; i < SlotCount; ++i) {
        QCOMPARE(part<QLabel>(&w, "lblPlayer", i)->text(), QString());
        QCOMPARE(part<QLabel>(&w, "lblReady", i)->text(), msg::EmptySeat);
        QCOMPARE(part<QLabel>(&w, "lblScore", i)->text(), QStringLiteral("0"));
        QCOMPARE(background(part<QLabel>(&w, "lblPlayer", i)), QColor(128, 128, 128));
        QCOMPARE(background(part<QFrame>(&w, "picPlayer", i)), QColor(255, 255, 255));
    }
    QVERIFY(!part<QFrame>(&w, "shpQok")->isVisible());
    QTest::mouseClick(part<QPushButton>(&w, "leaveNoticeCloseButton"), Qt::LeftButton);
    QVERIFY(!notice->isVisible());
    // It goes when the next room is joined.
    FakeServer next;
    QVERIFY(w.client().connectToRoom(next.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(w.client().isConnected());
    next.dropClient();
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(part<QLabel>(&w, "leaveReason")->text(), msg::RoomClosedOrLost);
    FakeServer third;
    QVERIFY(w.client().connectToRoom(third.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(w.client().isConnected());
    QVERIFY(!notice->isVisible());
}

QTEST_MAIN(TestGameWindow)
#include "tst_gamewindow.moc"
