#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/textclean.h"
#include "shared/textutil.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

class TstText : public QObject {
    Q_OBJECT
  private slots:
    void cp932RoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("minus") << QStringLiteral("－") << QByteArray("\x81\x7C");
        QTest::newRow("wave dash") << QStringLiteral("～") << QByteArray("\x81\x60");
        QTest::newRow("vu") << QStringLiteral("ヴ") << QByteArray("\x83\x94");
        QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
        QTest::newRow("katakana") << QStringLiteral("カタカナ")
                                  << QByteArray("\x83\x4A\x83\x5E\x83\x4A\x83\x69");
        QTest::newRow("hiragana") << QStringLiteral("あ") << QByteArray("\x82\xA0");
        QTest::newRow("half-width kana") << QStringLiteral("ｱ") << QByteArray("\xB1");
        QTest::newRow("ascii") << QStringLiteral("MSG hi") << QByteArray("MSG hi");
        // The lower half is ASCII, backslash and tilde included.
        QTest::newRow("backslash tilde") << QStringLiteral("a\\b~") << QByteArray("a\\b~");
        QTest::newRow("ascii then kanji") << QStringLiteral("STK 漢") << QByteArray("STK \x8A\xBF");
        QTest::newRow("nul") << QString(QChar(0)) << QByteArray(1, '\0');
    }
    void cp932RoundTrips()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toCp932(text), bytes);
        QCOMPARE(fromCp932(bytes), text);
    }

    void urlEncoding()
    {
        QCOMPARE(urlEncode(QStringLiteral("a b%")), QStringLiteral("a+b%25"));
        QCOMPARE(urlEncode(QStringLiteral("a@b.c-d_e*")), QStringLiteral("a@b.c-d_e*"));
        QCOMPARE(urlEncode(QStringLiteral("あ")), QStringLiteral("%82%A0"));
        QCOMPARE(urlEncode(QStringLiteral("k=v&:")), QStringLiteral("k%3Dv%26%3A"));
        QCOMPARE(urlEncode(QString()), QString());
        // A second byte that looks like ASCII is still written as %XX.
        QCOMPARE(urlEncode(QStringLiteral("ソ")), QStringLiteral("%83%5C"));
    }

    void urlDecoding()
    {
        QByteArray b;
        QCOMPARE(urlDecode(QStringLiteral("%41%42+c"), b), 4);
        QCOMPARE(b, QByteArray("AB c"));
        urlDecode(QStringLiteral("x%"), b);
        QCOMPARE(b, QByteArray("x%"));
        urlDecode(QStringLiteral("%4"), b);
        QCOMPARE(b, QByteArray("\x04", 1));
        urlDecode(QStringLiteral("%4z"), b);
        QCOMPARE(b, QByteArray("\x04z", 2));
        urlDecode(QStringLiteral("%zz"), b);
        QCOMPARE(b, QByteArray("%zz"));
        // Double-byte characters are not part of an encoded text: skipped.
        QCOMPARE(urlDecode(QStringLiteral("aあb"), b), 2);
        QCOMPARE(b, QByteArray("ab"));
        QCOMPARE(urlDecode(QString(), b), 0);
        QVERIFY(b.isEmpty());
        const QString text = QStringLiteral("部屋 名=①～&");
        QCOMPARE(urlDecodeText(urlEncode(text)), text);
    }

    void getBetween()
    {
        QCOMPARE(textBetween(QStringLiteral("<<xyz>>"), QStringLiteral("<<"), QStringLiteral(">>")),
                 QStringLiteral("xyz"));
        QCOMPARE(textBetween(QStringLiteral("<<xyz"), QStringLiteral("<<"), QStringLiteral(">>")), QString());
        QCOMPARE(textBetween(QStringLiteral("xyz>>"), QStringLiteral("<<"), QStringLiteral(">>")), QString());
        QCOMPARE(textBetween(QStringLiteral("port=27064&x=1&"), QStringLiteral("port="), QStringLiteral("&")),
                 QStringLiteral("27064"));
        // The first occurrence counts, and an end mark inside the start mark is a failure.
        QCOMPARE(textBetween(QStringLiteral("a=1&a=2&"), QStringLiteral("a="), QStringLiteral("&")),
                 QStringLiteral("1"));
        QCOMPARE(textBetween(QStringLiteral("a&b=1&"), QStringLiteral("a&b="), QStringLiteral("&")),
                 QString());
        QCOMPARE(textBetween(QStringLiteral("k=&"), QStringLiteral("k="), QStringLiteral("&")), QString());
    }

    void safeFileNames()
    {
        QCOMPARE(safeFileName(QStringLiteral("a/b:c?")), QStringLiteral("a／b：c？"));
        QCOMPARE(safeFileName(QStringLiteral("\\,;*\"<>|”")), QStringLiteral("￥、；※＜＞｜"));
        QCOMPARE(safeFileName(QString(150, QLatin1Char('x'))).size(), 100);
        QCOMPARE(safeFileName(QStringLiteral("../x")), QStringLiteral("..／x"));
    }

    void katakanaFolding()
    {
        QCOMPARE(katakanaToHiragana(QStringLiteral("カタカナ")), QStringLiteral("かたかな"));
        QCOMPARE(katakanaToHiragana(QStringLiteral("ァンヴー")), QStringLiteral("ぁんヴー"));
        QCOMPARE(katakanaToHiragana(QStringLiteral("abc")), QStringLiteral("abc"));
    }

    void files()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("a/b/c"));
        QVERIFY(makePath(path));
        QVERIFY(makePath(path)); // already there: nothing to do, no failure
        QVERIFY(QFileInfo(path).isDir());

        QCOMPARE(readTextFile(dir.filePath(QStringLiteral("missing.txt"))), QString());
        QByteArray bytes;
        QCOMPARE(readFileBytes(dir.filePath(QStringLiteral("missing.txt")), bytes), qint64(-1));

        const QString file = dir.filePath(QStringLiteral("ban.txt"));
        QVERIFY(writeTextFile(file, QStringLiteral("名前\t127.0.0.2")));
        QCOMPARE(readFileBytes(file, bytes), qint64(toCp932(QStringLiteral("名前\t127.0.0.2")).size() + 2));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(readTextFile(file), QStringLiteral("名前\t127.0.0.2\r\n"));
        QVERIFY(!writeTextFile(dir.filePath(QStringLiteral("no/such/folder/x.txt")), QStringLiteral("x")));
        // The write replaces the file whole and leaves no temporary file behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("ban.txt")});
    }

    void programFolderFallback()
    {
        setProgramFolder(QStringLiteral("/tmp"));
        QCOMPARE(programFile(QStringLiteral("default.dat")), QStringLiteral("/tmp/default.dat"));
        setProgramFolder(QString());
        QCOMPARE(programFolder(), QCoreApplication::applicationDirPath());
    }
    void installedLocations()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("usr/bin"));
        const QString user = dir.filePath(QStringLiteral("home/.local/share/zembrill"));
        QVERIFY(QDir().mkpath(bin));
        // A build folder: everything beside the program.
        FileLocations here = locateFiles(bin, user);
        QCOMPARE(here.writable, bin);
        QCOMPARE(here.shipped, bin);
        QVERIFY(!here.installed);

        // Installed: shipped files from share/, writes into the user's folder, never into /usr.
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("usr/share/zembrill"))));
        here = locateFiles(bin, user);
        QVERIFY(here.installed);
        QCOMPARE(here.writable, user);
        QCOMPARE(here.shipped, dir.filePath(QStringLiteral("usr/share/zembrill")));
        QCOMPARE(here.doc, dir.filePath(QStringLiteral("usr/share/doc/zembrill")));
        QCOMPARE(locateFiles(bin, QString()).writable, here.shipped);
    }
    void namesAndControls()
    {
        // Separators and line breaks would shift the slot lists or forge lines.
        QCOMPARE(cleanName(QStringLiteral(" a:b;c,d=e&f\r\ng\x1b\x7f ")), QStringLiteral("abcdefg"));
        QCOMPARE(cleanName(QStringLiteral("\t:;")), QString());
        QCOMPARE(cleanName(QStringLiteral("abcdefghijklmnop")), QStringLiteral("abcdefghijkl"));
        QCOMPARE(uniqueName(QStringLiteral("bob"), {QStringLiteral("alice")}), QStringLiteral("bob"));
        QCOMPARE(uniqueName(QStringLiteral("bob"), {QStringLiteral("bob"), QStringLiteral("bob(2)")}),
                 QStringLiteral("bob(3)"));
        QCOMPARE(uniqueName(QStringLiteral("abcdefghijkl"), {QStringLiteral("abcdefghijkl")}),
                 QStringLiteral("abcdefghi(2)"));
        QCOMPARE(removeControlChars(QStringLiteral("a\nb\u001bc\u0000")), QStringLiteral("abc"));
        QCOMPARE(escapeControlChars(QStringLiteral("a\u001b[2Jb\u009b")), QStringLiteral("a\\x1B[2Jb\\x9B"));
    }
};

QTEST_GUILESS_MAIN(TstText)
#include "tst_text.moc"
