#include "client/core/gameclient.h"
#include "client/core/messages.h"
#include "client/core/picturesaver.h"
#include "shared/fileutil.h"
#include "tests/wiretexts.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zb;

namespace {
bool samePicture(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

// A stroke in the turn's own place, so that every turn's picture differs.
QString strokeFor(int turn)
{
    const int x = 20 + (turn * 37) % 600;
    const int y = 20 + (turn * 53) % 440;
    return QStringLiteral("255:8:%1,%2;%1,%2;%3,%4;").arg(x).arg(y).arg(x + 15).arg(y + 9);
}

QStringList pngFiles()
{
    QStringList files = QDir(PictureSaver::pictureFolder()).entryList({QStringLiteral("*.png")}, QDir::Files);
    files.sort();
    return files;
}
} // namespace

class TestGallery : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void hundredTurnsKeepTheLast64();
    void noisyPicturesStayWithinTheByteBudget();
    void pictureTakenOnceAtTheReveal();
    void gameEndGivesTheResult();
    void lateSaveGetsTheRevealedPicture();
    void saveAllKeepsPicturesThatShareAName();

  private:
    QTemporaryDir m_dir;
};

void TestGallery::initTestCase()
{
    QVERIFY(m_dir.isValid());
    setProgramFolder(m_dir.path());
}

void TestGallery::init()
{
    QDir(PictureSaver::pictureFolder()).removeRecursively();
}

void TestGallery::hundredTurnsKeepTheLast64()
{
    GameClient client;
    client.dispatch(QStringLiteral("NMS"), QStringLiteral("a:b:c:::::"));
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("2"));
    QList<QImage> revealed;
    for (int turn = 1; turn <= 100; ++turn) {
        client.dispatch(QStringLiteral("QST"), QStringLiteral("%1:word%2").arg(turn % 2).arg(turn));
        client.dispatch(QStringLiteral("STK"), strokeFor(turn));
        client.dispatch(QStringLiteral("QOK"), QStringLiteral("2"));
        revealed << client.canvas().image().copy();
    }
    const Gallery &gallery = client.gallery();
    QCOMPARE(gallery.size(), Gallery::MaxPictures);
    QCOMPARE(gallery.at(0).turn, 37);
    QCOMPARE(gallery.at(63).turn, 100);
    QCOMPARE(gallery.at(63).word, QStringLiteral("word100"));
    QCOMPARE(gallery.at(63).drawer, QStringLiteral("a"));
    qsizetype bytes = 0;
    for (int i = 0; i < gallery.size(); ++i) {
        bytes += Gallery::cost(gallery.at(i));
        QVERIFY2(samePicture(Gallery::decode(gallery.at(i)), revealed.at(36 + i)),
                 qPrintable(QString::number(i)));
    }
    QCOMPARE(gallery.bytes(), bytes);
}

void TestGallery::noisyPicturesStayWithinTheByteBudget()
{
    // The worst a drawer can send: every pixel a different colour of its own.
    QImage noise(CanvasWidth, CanvasHeight, QImage::Format_RGB32);
    QRandomGenerator random(19);
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = 0xFF000000u | random.bounded(0x1000000u);
    }
    Gallery gallery;
    const int turns = 40;
    for (int turn = 1; turn <= turns; ++turn)
        QVERIFY(gallery.add(turn, QStringLiteral("x"), QStringLiteral("y"), noise));
    QVERIFY(gallery.bytes() <= Gallery::MaxBytes);
    QVERIFY(gallery.size() < turns);
    QVERIFY(gallery.at(gallery.size() - 1).turn == turns);
    // Noise is reduced to 256 colours but never grows past a raw 8-bit picture by much.
    QVERIFY(gallery.at(0).png.size() < CanvasWidth * CanvasHeight + 4096);

    // A blank canvas but a word as long as a line may be: the text is held too.
    gallery.clear();
    QImage blank(CanvasWidth, CanvasHeight, QImage::Format_RGB32);
    blank.fill(Qt::white);
    const QString word(128 * 1024, QLatin1Char('w'));
    for (int turn = 1; turn <= Gallery::MaxPictures; ++turn)
        QVERIFY(gallery.add(turn, QStringLiteral("x"), word, blank));
    qsizetype held = 0;
    for (const GalleryPicture &picture : gallery.pictures())
        held += picture.png.size() + (picture.drawer.size() + picture.word.size()) * 2;
    QVERIFY2(held <= Gallery::MaxBytes, qPrintable(QString::number(held)));
}

void TestGallery::pictureTakenOnceAtTheReveal()
{
    GameClient client;
    QSignalSpy kept(&client, &GameClient::pictureKept);
    client.dispatch(QStringLiteral("NMS"), QStringLiteral("a:b:c:::::"));
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("1"));
    // Joined during a turn: its end comes without its start and is not kept.
    client.dispatch(QStringLiteral("RST"), QStringLiteral("null"));
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
    QCOMPARE(kept.size(), 0);

    // A hit: the canvas at the QOK, whatever arrives later in the turn.
    client.dispatch(QStringLiteral("SYM"), wire::NextTurnNotice.arg(10).arg(7).arg(3).arg(3));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("0:りんご"));
    client.dispatch(QStringLiteral("STK"), strokeFor(1));
    const QImage atHit = client.canvas().image().copy();
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
    client.dispatch(QStringLiteral("STK"), strokeFor(2));
    client.dispatch(QStringLiteral("SND"), QStringLiteral("ng"));
    QCOMPARE(kept.size(), 1);
    const GalleryPicture &hit = client.gallery().at(0);
    QCOMPARE(hit.turn, 7);
    QCOMPARE(hit.drawer, QStringLiteral("a"));
    QCOMPARE(hit.word, QStringLiteral("りんご"));
    QVERIFY(samePicture(Gallery::decode(hit), atHit));

    // A time-out on the client's own clock, then the server's notice of it.
    client.dispatch(QStringLiteral("QST"), QStringLiteral("2:みかん"));
    client.dispatch(QStringLiteral("STK"), strokeFor(3));
    const QImage atTimeOut = client.canvas().image().copy();
    while (client.round().timeLimit() > 0)
        client.onClockTick();
    client.dispatch(QStringLiteral("SND"), QStringLiteral("ng"));
    QCOMPARE(kept.size(), 2);
    QCOMPARE(client.gallery().at(1).turn, 8);
    QCOMPARE(client.gallery().at(1).drawer, QStringLiteral("c"));
    QVERIFY(samePicture(Gallery::decode(client.gallery().at(1)), atTimeOut));

    // The server's time-out ahead of the client's clock ends the turn just as well.
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:ぶどう"));
    client.dispatch(QStringLiteral("SND"), QStringLiteral("ng"));
    while (client.round().timeLimit() > 0)
        client.onClockTick();
    QCOMPARE(kept.size(), 3);
}

void TestGallery::gameEndGivesTheResult()
{
    GameClient client;
    QSignalSpy finished(&client, &GameClient::gameFinished);
    QSignalSpy available(&client, &GameClient::resultAvailableChanged);
    client.dispatch(QStringLiteral("NMS"), QStringLiteral("a::c:d::::"));
    // A RET outside any game (a lone player's reset) has no result.
    client.dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    QVERIFY(!client.resultAvailable());

    client.dispatch(QStringLiteral("QST"), QStringLiteral("0:りんご"));
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("2"));
    client.dispatch(QStringLiteral("SCR"), QStringLiteral("30:0:50:30:0:0:0:0"));
    client.dispatch(QStringLiteral("SYM"), wire::winnerNotice(QStringLiteral("c")));
    client.dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    QCOMPARE(finished.size(), 1);
    QVERIFY(client.resultAvailable());
    const GameResult &result = client.result();
    QVERIFY(result.finished);
    QCOMPARE(result.winner, QStringLiteral("c"));
    // Equal scores share a rank; the higher slot is listed first, as the winner is chosen.
    const QList<Standing> expected{{2, "c", 50, 1}, {3, "d", 30, 2}, {0, "a", 30, 2}};
    QCOMPARE(result.ranking, expected);
    QCOMPARE(client.gallery().size(), 1);

    // The next game's first turn puts the last game away.
    client.dispatch(QStringLiteral("SCR"), QStringLiteral("0:0:0:0:0:0:0:0"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("2:みかん"));
    QVERIFY(!client.resultAvailable());
    QCOMPARE(client.gallery().size(), 0);
    QCOMPARE(available.size(), 2);

    // Broken off (too few players left): no winner and no results shown,
    // but the pictures stay at hand.
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("0"));
    client.dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    QCOMPARE(finished.size(), 1);
    QVERIFY(client.resultAvailable());
    QVERIFY(!client.result().finished);
    QCOMPARE(client.gallery().size(), 1);

    // Played to the end without a point: finished, with nobody named.
    client.dispatch(QStringLiteral("QST"), QStringLiteral("0:りんご"));
    client.dispatch(QStringLiteral("SYM"), wire::NoWinnerNotice);
    client.dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    QCOMPARE(finished.size(), 2);
    QVERIFY(client.result().finished);
    QCOMPARE(client.result().winner, QString());
}

void TestGallery::lateSaveGetsTheRevealedPicture()
{
    GameClient client;
    client.dispatch(QStringLiteral("NMS"), QStringLiteral("a/b:c::::::"));
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("1"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("0:とり"));
    client.dispatch(QStringLiteral("STK"), strokeFor(4));
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
    const QByteArray revealed = client.gallery().at(0).png;
    // The next turn has cleared the canvas, but nothing is drawn yet.
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:いぬ"));
    QSignalSpy sys(&client, &GameClient::systemText);
    client.savePicture();
    QStringList files = pngFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.at(0).endsWith(QStringLiteral(" a／b 「とり」.png")), qPrintable(files.at(0)));
    QCOMPARE(sys.at(0).at(0).toString(), msg::pictureSaved(files.at(0)));
    QFile file(QDir(PictureSaver::pictureFolder()).filePath(files.at(0)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), revealed);

    // Once the new turn is drawn on, the button saves what is on the canvas.
    QDir(PictureSaver::pictureFolder()).removeRecursively();
    client.canvas().fillWithColor(3);
    client.savePicture();
    files = pngFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.at(0).endsWith(msg::OfflinePictureSuffix.trimmed()), qPrintable(files.at(0)));
}

void TestGallery::saveAllKeepsPicturesThatShareAName()
{
    Gallery gallery;
    QImage canvas(CanvasWidth, CanvasHeight, QImage::Format_RGB32);
    const QDateTime at(QDate(2024, 5, 6), QTime(7, 8, 9));
    canvas.fill(Qt::white);
    QVERIFY(gallery.add(1, QStringLiteral("a"), QStringLiteral("ねこ"), canvas, at));
    canvas.fill(Qt::red);
    QVERIFY(gallery.add(2, QStringLiteral("a"), QStringLiteral("ねこ"), canvas, at));
    QVERIFY(gallery.add(3, QStringLiteral("../x"), QStringLiteral("a/../../b"), canvas, at));
    const QStringList lines = PictureSaver::saveGallery(gallery.pictures());
    QCOMPARE(lines,
             QStringList{msg::picturesSaved(3, QDir::toNativeSeparators(PictureSaver::pictureFolder()))});
    QStringList expected{QStringLiteral("20240506-070809 ..／x 「a／..／..／b」.png"),
                         QStringLiteral("20240506-070809 a 「ねこ」 (2).png"),
                         QStringLiteral("20240506-070809 a 「ねこ」.png")};
    expected.sort();
    QCOMPARE(pngFiles(), expected);
    QFile second(
        QDir(PictureSaver::pictureFolder()).filePath(QStringLiteral("20240506-070809 a 「ねこ」 (2).png")));
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), gallery.at(1).png);
}

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
