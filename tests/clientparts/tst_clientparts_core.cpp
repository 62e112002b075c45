#include "client/core/clientsettings.h"
#include "client/core/messages.h"
#include "client/core/picturesaver.h"
#include "client/core/playername.h"
#include "shared/fileutil.h"
#include "shared/gui/canvasimage.h"
#include "shared/settingsstore.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

namespace {
const QDateTime Stamp(QDate(2024, 3, 9), QTime(7, 5, 2));

QRgb rgbOf(int value)
{
    return qRgb(colorRed(value), colorGreen(value), colorBlue(value));
}
} // namespace

class TstClientPartsCore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString storeFile() const { return m_dir.filePath(QStringLiteral("store.ini")); }
    bool storeHas(const QString &key) const
    {
        QSettings s(storeFile(), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("Option"));
        return s.contains(key);
    }

  private slots:
    void init()
    {
        QFile::remove(storeFile());
        SettingsStore::setFile(storeFile());
    }
    void cleanupTestCase() { SettingsStore::setFile(QString()); }

    void settingsDefaults()
    {
        ClientSettings s;
        s.name = QStringLiteral("stale");
        s.mousePointer = 2;
        s.load();
        QCOMPARE(s.port, 27064);
        QCOMPARE(s.cost, 9);
        QVERIFY(s.name.isEmpty());
        QVERIFY(s.ipPort.isEmpty());
        QVERIFY(s.lobbyServerAddress.isEmpty());
        for (int v : {s.chatTextSize, s.autoSavePicture, s.colorChangeWidth, s.questionWindow,
                      s.lobbyAutoConnect, s.lobbyAutoName, s.mousePointer})
            QCOMPARE(v, 0);
    }

    void settingsRoundTrip()
    {
        ClientSettings s;
        s.name = QStringLiteral("たろう");
        s.port = 40000;
        s.cost = 3;
        s.ipPort = QStringLiteral("192.168.0.10:27064");
        s.chatTextSize = s.autoSavePicture = s.colorChangeWidth = 1;
        s.questionWindow = s.lobbyAutoConnect = s.lobbyAutoName = 1;
        s.mousePointer = 2;
        s.save();
        QCOMPARE(SettingsStore::read(QStringLiteral("Port")), QStringLiteral("40000"));

        ClientSettings r;
        r.load();
        QVERIFY(r == s);
    }

    void settingsBadValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("port text") << "Port"
                                   << "abc" << 27064;
        QTest::newRow("port 32-bit") << "Port"
                                     << "70000" << 70000;
        QTest::newRow("cost empty") << "Cost"
                                    << "" << 9;
        QTest::newRow("cost beyond 16 bits") << "Cost"
                                             << "70000" << 9;
        QTest::newRow("cost negative") << "Cost"
                                       << "-3" << -3;
        QTest::newRow("pointer fraction") << "MousePointer"
                                          << "1.5" << 0;
        QTest::newRow("pointer blanks") << "MousePointer"
                                        << " 1 " << 1;
        QTest::newRow("chat size 2") << "ChatTextSize2"
                                     << "2" << 2;
    }
    void settingsBadValues()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, expected);
        SettingsStore::write(key, stored);
        ClientSettings s;
        s.load();
        const int actual = key == QLatin1String("Port")           ? s.port
                           : key == QLatin1String("Cost")         ? s.cost
                           : key == QLatin1String("MousePointer") ? s.mousePointer
                                                                  : s.chatTextSize;
        QCOMPARE(actual, expected);
    }

    void lobbyAddressNeverWritten()
    {
        ClientSettings s;
        s.lobbyServerAddress = QStringLiteral("lobby.example:1");
        s.save();
        QVERIFY(!storeHas(QStringLiteral("LobbyServerAddress")));
        QVERIFY(storeHas(QStringLiteral("MousePointer")));

        SettingsStore::write(QStringLiteral("LobbyServerAddress"), QStringLiteral("by.hand:29999"));
        s.load();
        QCOMPARE(s.lobbyServerAddress, QStringLiteral("by.hand:29999"));
        s.lobbyServerAddress = QStringLiteral("other:1");
        s.save();
        QCOMPARE(SettingsStore::read(QStringLiteral("LobbyServerAddress")), QStringLiteral("by.hand:29999"));
    }

    void playerNameCleaning_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("separators") << " a:b;c "
                                    << "abc";
        QTest::newRow("all separators") << "x,y=z&w"
                                        << "xyzw";
        QTest::newRow("only colons") << ":::"
                                     << "";
        QTest::newRow("blanks") << "   "
                                << "";
        QTest::newRow("line breaks") << "a\r\nb\rc\nd"
                                     << "abcd";
        QTest::newRow("server token") << "ZBSERVER"
                                      << "zbserver";
        QTest::newRow("token joined by removal") << "ZB:SERVER"
                                                 << "zbserver";
        QTest::newRow("other case kept") << "Zbserver"
                                         << "Zbserver";
        QTest::newRow("inner blank kept") << " a b "
                                          << "a b";
        QTest::newRow("japanese") << "たろう："
                                  << "たろう：";
    }
    void playerNameCleaning()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(cleanPlayerName(input), expected);
    }

    void localAddressChoice_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("port kept") << "10.0.0.5:30000"
                                   << "127.0.0.1:30000";
        QTest::newRow("empty") << ""
                               << "127.0.0.1";
        QTest::newRow("host only") << "example.org"
                                   << "127.0.0.1";
        QTest::newRow("first colon") << "a:1:2"
                                     << "127.0.0.1:1:2";
        QTest::newRow("ipv6 with port") << "[::1]:27070"
                                        << "127.0.0.1:27070";
        QTest::newRow("ipv6 alone") << "[fe80::1]"
                                    << "127.0.0.1";
    }
    void localAddressChoice()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(localAddress(input), expected);
    }

    void namesShownCut()
    {
        // As many characters as the connect dialog takes, never half a character.
        QCOMPARE(displayName(QString(30000, QLatin1Char('a'))), QString(MaxNameLength, QLatin1Char('a')));
        QCOMPARE(displayName(QStringLiteral("た\nろ\x1bう")), QStringLiteral("たろう"));
        const QString face = QStringLiteral("\U0001F600");
        QCOMPARE(displayName(QString(11, QLatin1Char('x')) + face), QString(11, QLatin1Char('x')));
        QCOMPARE(displayName(QString(10, QLatin1Char('x')) + face + QLatin1Char('y')),
                 QString(10, QLatin1Char('x')) + face);
    }

    void fileNames_data()
    {
        QTest::addColumn<bool>("banner");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("drawer");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free drawing") << true << true << 2 << "x"
                                      << "w"
                                      << "20240309-070502  「お絵かきチャットモード」.png";
        QTest::newRow("alone") << false << false << 2 << "x"
                               << "w"
                               << "20240309-070502  「ひとりで描いた絵」.png";
        QTest::newRow("game") << false << true << 2 << "たろう"
                              << "りんご"
                              << "20240309-070502 たろう 「りんご」.png";
        QTest::newRow("slash in name") << false << true << 0 << "a/b"
                                       << "ねこ"
                                       << "20240309-070502 a／b 「ねこ」.png";
        QTest::newRow("no drawer yet") << false << true << -2 << "x"
                                       << "w"
                                       << "";
        QTest::newRow("masked word") << false << true << 1 << "x" << msg::HiddenWord
                                     << "20240309-070502 x 「？？？」.png";
    }
    void fileNames()
    {
        QFETCH(bool, banner);
        QFETCH(bool, connected);
        QFETCH(int, drawer);
        QFETCH(QString, name);
        QFETCH(QString, word);
        QFETCH(QString, expected);
        PictureContext c;
        c.oekakiChatVisible = banner;
        c.connected = connected;
        c.drawerSlot = drawer;
        c.drawerName = name;
        c.questionCaption = word;
        QCOMPARE(PictureSaver::pictureFileName(Stamp, c), expected);
    }

    void hostileWordStaysInFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("word");
        QTest::newRow("parent path") << "a"
                                     << "../../escape";
        QTest::newRow("absolute") << "/tmp/x"
                                  << "/etc/passwd";
        QTest::newRow("dots") << ".."
                              << "..";
        QTest::newRow("backslash and control") << "a\\b" << QString("w\tx") + QChar(0) + "y";
        QTest::newRow("long") << QString(100, QChar(0x6f22)) << QString(150, QChar(0x5b57));
    }
    void hostileWordStaysInFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, word);
        QTemporaryDir dir;
        setProgramFolder(dir.path());
        PictureContext c;
        c.connected = true;
        c.drawerSlot = 3;
        c.drawerName = name;
        c.questionCaption = word;
        CanvasImage canvas;
        const QStringList lines = PictureSaver::savePicture(canvas.image(), c, Stamp);
        setProgramFolder(QString());

        const QString fileName = PictureSaver::pictureFileName(Stamp, c);
        QVERIFY(!fileName.contains(u'/'));
        QVERIFY(fileName.toUtf8().size() <= 240);
        QCOMPARE(lines, QStringList{msg::pictureSaved(fileName)});
        const QStringList saved = QDir(dir.filePath(QStringLiteral("png"))).entryList(QDir::Files);
        QCOMPARE(saved, QStringList{fileName});
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"png"});
    }

    void savedPictureKeepsPaletteColours()
    {
        CanvasImage canvas;
        for (int i = 0; i < PaletteSize; ++i)
            canvas.drawSegment(QPointF(20 + 60 * i, 40), QPointF(20 + 60 * i, 400), PaletteValues[i], 28);
        // A colour outside the palette, as a foreign picture could hold, keeps its value too.
        canvas.image().setPixel(639, 479, qRgb(12, 34, 56));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.png"));
        QVERIFY(PictureSaver::savePng(canvas.image(), path));

        QImage back(path);
        QCOMPARE(back.size(), QSize(640, 480));
        QCOMPARE(back.format(), QImage::Format_Indexed8);
        QVERIFY(back.colorCount() >= PaletteSize);
        for (int i = 0; i < PaletteSize; ++i) {
            QCOMPARE(back.colorTable().at(i), rgbOf(PaletteValues[i]));
            QCOMPARE(back.pixel(20 + 60 * i, 200), rgbOf(PaletteValues[i]));
        }
        QCOMPARE(back.pixel(639, 479), qRgb(12, 34, 56));
        const QImage expected = canvas.image().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), expected);
    }

    void saveRejectsNothingToWrite()
    {
        QTemporaryDir dir;
        QVERIFY(!PictureSaver::savePng(QImage(), dir.filePath(QStringLiteral("a.png"))));
        QVERIFY(!PictureSaver::savePng(CanvasImage().image(), QString()));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.png"))));
    }

    void saveActionLines()
    {
        QTemporaryDir dir;
        setProgramFolder(dir.path());
        CanvasImage canvas;
        PictureContext c;
        c.connected = true;

        QCOMPARE(PictureSaver::savePicture(canvas.image(), c, Stamp), QStringList{msg::PictureCannotBeSaved});
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("png"))) ||
                QDir(dir.filePath(QStringLiteral("png"))).isEmpty());

        // Free drawing: the folder is made when missing.
        c.oekakiChatVisible = true;
        const QString name = QStringLiteral("20240309-070502  「お絵かきチャットモード」.png");
        QCOMPARE(PictureSaver::savePicture(canvas.image(), c, Stamp), QStringList{msg::pictureSaved(name)});
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("png/") + name)).isFile());
        setProgramFolder(QString());
    }

    void blockedFolderReportsFailure()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("png")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        setProgramFolder(dir.path());
        PictureContext c;
        const QStringList lines = PictureSaver::savePicture(CanvasImage().image(), c, Stamp);
        setProgramFolder(QString());
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first(),
                 msg::pictureNotSaved(QStringLiteral("20240309-070502  「ひとりで描いた絵」.png")));
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
    }

    // Every sound the game plays by name is delivered, in a format any player can open.
    void mediaFiles_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *n :
             {"click", "click2", "cls", "disconnect", "connect", "question", "ok", "ng", "win", "lose"})
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void mediaFiles()
    {
        QFETCH(QString, name);
        QFile f(QStringLiteral(ZB_SOURCE_DIR "/data/") + name + QStringLiteral(".wav"));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        const QByteArray h = f.read(44);
        QCOMPARE(h.left(4), QByteArray("RIFF"));
        QCOMPARE(h.mid(8, 8), QByteArray("WAVEfmt "));
        auto u16 = [&](int at) { return quint8(h[at]) | quint8(h[at + 1]) << 8; };
        auto u32 = [&](int at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
        QCOMPARE(u16(20), 1); // PCM
        QCOMPARE(u16(22), 1); // mono
        QCOMPARE(u32(24), 22050u);
        QCOMPARE(u16(34), 16);
        QCOMPARE(h.mid(36, 4), QByteArray("data"));
        const quint32 samples = u32(40) / 2;
        QVERIFY(samples > 0 && samples < 22050 * 3 / 2);
    }

    void penCursorImage()
    {
        const QImage pen(QStringLiteral(ZB_SOURCE_DIR "/data/pen.png"));
        QCOMPARE(pen.size(), QSize(32, 32));
        QVERIFY(pen.hasAlphaChannel());
        QCOMPARE(qAlpha(pen.pixel(31, 31)), 0);
        // The tip, where the cursor's hot spot sits, is drawn.
        QCOMPARE(qAlpha(pen.pixel(1, 30)), 255);
    }
};

QTEST_GUILESS_MAIN(TstClientPartsCore)
#include "tst_clientparts_core.moc"
