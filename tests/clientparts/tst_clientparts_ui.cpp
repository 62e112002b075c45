#include "client/core/clientsettings.h"
#include "client/core/messages.h"
#include "client/ui/connectdialog.h"
#include "client/ui/optionsdialog.h"
#include "client/ui/questionwindow.h"
#include "shared/settingsstore.h"
#include "tests/clientui/windowparts.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace zb;

namespace {
// Answers the next message box that appears, the way a player would, and keeps its text.
class MessageBoxAnswerer : public QObject {
  public:
    explicit MessageBoxAnswerer(QObject *parent = nullptr) : QObject(parent)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (box && box->isVisible()) {
                    m_text = box->text();
                    ++m_count;
                    box->accept();
                }
            }
        });
        m_timer.start();
    }
    QString text() const { return m_text; }
    int count() const { return m_count; }

  private:
    QTimer m_timer;
    QString m_text;
    int m_count = 0;
};
} // namespace

class TstClientPartsUi : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

  private slots:
    void init()
    {
        const QString file = m_dir.filePath(QStringLiteral("store.ini"));
        QFile::remove(file);
        SettingsStore::setFile(file);
    }

    void connectDialogLayout()
    {
        ClientSettings s;
        s.name = QStringLiteral("はなこ");
        s.ipPort = QStringLiteral("10.0.0.5:30000");
        ConnectDialog d(&s);
        QCOMPARE(d.windowTitle(), msg::ConnectToServer);
        QCOMPARE(part<QLineEdit>(&d, "txtName")->text(), s.name);
        QCOMPARE(part<QLineEdit>(&d, "txtIPPort")->text(), s.ipPort);
        QVERIFY(part<QLineEdit>(&d, "txtPassword")->text().isEmpty());
        QCOMPARE(part<QLineEdit>(&d, "txtName")->maxLength(), 12);
        QCOMPARE(part<QLineEdit>(&d, "txtPassword")->maxLength(), 8);
        QCOMPARE(part<QPushButton>(&d, "cmdLocal")->text(), QStringLiteral("Local"));
        QCOMPARE(part<QPushButton>(&d, "cmdServer")->text(), msg::ConnectToServerButton);

        part<QPushButton>(&d, "cmdLocal")->click();
        QCOMPARE(part<QLineEdit>(&d, "txtIPPort")->text(), QStringLiteral("127.0.0.1:30000"));
        d.setAddress(QStringLiteral("example.org:1234"));
        QCOMPARE(part<QLineEdit>(&d, "txtIPPort")->text(), QStringLiteral("example.org:1234"));
    }

    void emptyNameRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("only colons") << ":::";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("empty") << "";
    }
    void emptyNameRefused()
    {
        QFETCH(QString, name);
        ClientSettings s;
        s.ipPort = QStringLiteral("old:1");
        ConnectDialog d(&s);
        d.show();
        part<QLineEdit>(&d, "txtName")->setText(name);
        part<QLineEdit>(&d, "txtIPPort")->setText(QStringLiteral("new:2"));
        QSignalSpy spy(&d, &ConnectDialog::connectRequested);

        MessageBoxAnswerer answerer;
        part<QPushButton>(&d, "cmdServer")->click();
        QTRY_COMPARE(answerer.count(), 1);
        QCOMPARE(answerer.text(), msg::EnterName);
        QCOMPARE(spy.count(), 0);
        QVERIFY(d.isVisible());
        QVERIFY(part<QLineEdit>(&d, "txtName")->text().isEmpty());
        QCOMPARE(s.ipPort, QStringLiteral("old:1"));
        QVERIFY(SettingsStore::read(QStringLiteral("IPPort")).isEmpty());
    }

    void connectStoresAndEmits()
    {
        ClientSettings s;
        ConnectDialog d(&s);
        d.show();
        part<QLineEdit>(&d, "txtName")->setText(QStringLiteral(" a:b;c "));
        part<QLineEdit>(&d, "txtIPPort")->setText(QStringLiteral("  127.0.0.1:27070 "));
        part<QLineEdit>(&d, "txtPassword")->setText(QStringLiteral(" pw "));
        QSignalSpy spy(&d, &ConnectDialog::connectRequested);
        part<QPushButton>(&d, "cmdServer")->click();

        QCOMPARE(part<QLineEdit>(&d, "txtName")->text(), QStringLiteral("abc"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("127.0.0.1:27070"));
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("pw"));
        QCOMPARE(d.password(), QStringLiteral("pw"));
        QVERIFY(!d.isVisible());

        ClientSettings stored;
        stored.load();
        QCOMPARE(stored.name, QStringLiteral("abc"));
        QCOMPARE(stored.ipPort, QStringLiteral("127.0.0.1:27070"));
        // The password is for this connection only.
        QFile store(m_dir.filePath(QStringLiteral("store.ini")));
        QVERIFY(store.open(QIODevice::ReadOnly));
        QVERIFY(!store.readAll().contains("pw"));
    }

    void connectTakesLink()
    {
        ClientSettings s;
        ConnectDialog d(&s);
        d.show();
        part<QLineEdit>(&d, "txtName")->setText(QStringLiteral("a"));
        part<QLineEdit>(&d, "txtIPPort")->setText(QStringLiteral(" zembrill://[::1]:27070/ "));
        QSignalSpy spy(&d, &ConnectDialog::connectRequested);
        part<QPushButton>(&d, "cmdServer")->click();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("[::1]:27070"));
        QCOMPARE(s.ipPort, QStringLiteral("[::1]:27070"));
    }

    void optionsOk()
    {
        ClientSettings s;
        s.questionWindow = 1;
        s.mousePointer = 1;
        s.lobbyServerAddress = QStringLiteral("never:1");
        OptionsDialog d(&s);
        QCOMPARE(d.windowTitle(), msg::Options);
        QVERIFY(part<QCheckBox>(&d, "chkQuestionWindow")->isChecked());
        QVERIFY(!part<QCheckBox>(&d, "chkChatTextSize")->isChecked());
        QVERIFY(part<QRadioButton>(&d, "optMousePointer", 1)->isChecked());
        QCOMPARE(part<QCheckBox>(&d, "chkChatTextSize")->text(), msg::LargeChatText);
        QCOMPARE(part<QRadioButton>(&d, "optMousePointer", 2)->text(), msg::PenCursor);

        d.show();
        part<QCheckBox>(&d, "chkChatTextSize")->setChecked(true);
        part<QCheckBox>(&d, "chkQuestionWindow")->setChecked(false);
        part<QCheckBox>(&d, "chkAutoSavePicture")->setChecked(true);
        part<QCheckBox>(&d, "chkLobbyAutoName")->setChecked(true);
        part<QRadioButton>(&d, "optMousePointer", 2)->setChecked(true);
        QSignalSpy spy(&d, &OptionsDialog::settingsApplied);
        part<QPushButton>(&d, "cmdOk")->click();

        QCOMPARE(spy.count(), 1);
        QVERIFY(!d.isVisible());
        QCOMPARE(s.chatTextSize, 1);
        QCOMPARE(s.questionWindow, 0);
        QCOMPARE(s.autoSavePicture, 1);
        QCOMPARE(s.lobbyAutoName, 1);
        QCOMPARE(s.lobbyAutoConnect, 0);
        QCOMPARE(s.colorChangeWidth, 0);
        QCOMPARE(s.mousePointer, 2);
        ClientSettings stored;
        stored.load();
        QCOMPARE(stored.chatTextSize, 1);
        QCOMPARE(stored.mousePointer, 2);
        QCOMPARE(stored.questionWindow, 0);
        QVERIFY(SettingsStore::read(QStringLiteral("LobbyServerAddress")).isEmpty());
    }

    void optionsCancel()
    {
        ClientSettings s;
        OptionsDialog d(&s);
        QVERIFY(part<QRadioButton>(&d, "optMousePointer", 0)->isChecked());
        d.show();
        part<QCheckBox>(&d, "chkLobbyAutoConnect")->setChecked(true);
        part<QRadioButton>(&d, "optMousePointer", 1)->setChecked(true);
        QSignalSpy spy(&d, &OptionsDialog::settingsApplied);
        part<QPushButton>(&d, "cmdCancel")->click();
        QCOMPARE(spy.count(), 0);
        QVERIFY(!d.isVisible());
        QCOMPARE(s.lobbyAutoConnect, 0);
        QCOMPARE(s.mousePointer, 0);
        QVERIFY(SettingsStore::read(QStringLiteral("LobbyAutoConnect")).isEmpty());

        // Opened again, the dialog shows the values in force, not the abandoned edits.
        s.colorChangeWidth = 1;
        d.show();
        QVERIFY(!part<QCheckBox>(&d, "chkLobbyAutoConnect")->isChecked());
        QVERIFY(part<QCheckBox>(&d, "chkColorChangeWidth")->isChecked());
        QVERIFY(part<QRadioButton>(&d, "optMousePointer", 0)->isChecked());
    }

    void optionsOddCursorValue()
    {
        ClientSettings s;
        s.mousePointer = 7;
        OptionsDialog d(&s);
        part<QRadioButton>(&d, "optMousePointer", 0)->setChecked(true);
        d.show();
        for (int i = 0; i < 3; ++i)
            QVERIFY(!part<QRadioButton>(&d, "optMousePointer", i)->isChecked());
        part<QPushButton>(&d, "cmdOk")->click();
        QCOMPARE(s.mousePointer, 2);
    }

    void wordWindow()
    {
        QWidget game;
        game.setGeometry(300, 200, 400, 300);
        game.show();
        QuestionWindow w(&game);
        QVERIFY(w.isWindow());
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(w.windowTitle(), msg::Question);
        QCOMPARE(w.word(), msg::Question);
        QCOMPARE(part<QLabel>(&w, "lblQuestion")->toolTip(), msg::DragToMove);
        QCOMPARE(part<QLabel>(&w, "lblQuestion")->palette().color(QPalette::Window), QColor(128, 128, 128));
        QCOMPARE(part<QLabel>(&w, "lblQuestion")->palette().color(QPalette::WindowText), QColor(Qt::white));
        w.setWord(QStringLiteral("りんご"));
        QCOMPARE(w.word(), QStringLiteral("りんご"));

        w.placeBeside(&game);
        QCOMPARE(w.pos(), game.pos() + QPoint(80, 80));
    }

    void wordWindowDrag()
    {
        QuestionWindow w;
        w.move(100, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint origin = w.pos();
        const QPointF inLabel(10, 12);
        // Moves without a pressed button reach the label too, so a drag that failed to end would show.
        part<QLabel>(&w, "lblQuestion")->setMouseTracking(true);
        auto send = [&](QEvent::Type type, Qt::MouseButton button, QPointF global) {
            const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
            QMouseEvent e(type, inLabel, global, changed, held, Qt::NoModifier);
            QApplication::sendEvent(part<QLabel>(&w, "lblQuestion"), &e);
        };
        // Other buttons do not drag.
        send(QEvent::MouseButtonPress, Qt::RightButton, QPointF(origin + QPoint(10, 12)));
        send(QEvent::MouseMove, Qt::RightButton, QPointF(500, 400));
        QCOMPARE(w.pos(), origin);
        send(QEvent::MouseButtonRelease, Qt::RightButton, QPointF(500, 400));

        send(QEvent::MouseButtonPress, Qt::LeftButton, QPointF(origin + QPoint(10, 12)));
        send(QEvent::MouseMove, Qt::LeftButton, QPointF(300, 250));
        QCOMPARE(w.pos(), QPoint(290, 238));
        send(QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(300, 250));
        send(QEvent::MouseMove, Qt::NoButton, QPointF(50, 50));
        QCOMPARE(w.pos(), QPoint(290, 238));
    }
};

QTEST_MAIN(TstClientPartsUi)
#include "tst_clientparts_ui.moc"
