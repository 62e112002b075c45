#include "server/core/questionbank.h"
#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

namespace {

const QString kEmptyLine = msg::InvalidFile + "\r\n" + msg::EmptyLineFound + "\r\n" + msg::EmptyLineHint;
const QString kNoFinalBreak = msg::InvalidFile + "\r\n" + msg::NoFinalBreak + "\r\n" + msg::NoFinalBreakHint;
const QString kCommentOnly = msg::InvalidFile + "\r\n" + msg::CommentOnlyLine + "\r\n" + msg::CommentOnlyHint;
const QString kLfOnly = msg::InvalidFile + "\r\n" + msg::LfOnlyLineEnds + "\r\n" + msg::LfOnlyLineEndsHint;
const QString kReload = msg::QuestionsExhausted;
const QString kBuiltIn = msg::BuiltInDictionary;

QStringList spyTexts(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TstQuestionBank : public QObject {
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;

    void write(const QString &name, const QString &text)
    {
        const QString path = QDir(m_dir->path()).filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(toCp932(text));
    }

    // A bank over the single added dictionary `name`, ticked, in mode 1.
    void tickOnly(QuestionBank &bank, const QString &name, const QString &text)
    {
        write(name, text);
        bank.rescan();
        bank.setMode(QuestionBank::AddedOnly);
        QVERIFY(bank.setTicked(name, true));
    }

  private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        setProgramFolder(m_dir->path());
    }
    void cleanup()
    {
        setProgramFolder(QString());
        delete m_dir;
        m_dir = nullptr;
    }

    void twoWordsDrawOnlyTheWords()
    {
        QuestionBank bank;
        bank.reseed(7);
        tickOnly(bank, QStringLiteral("fruit.zbq"), QStringLiteral("りんご\r\nみかん\r\n"));
        QCOMPARE(bank.loadDictionaries(), 3);
        QCOMPARE(bank.wordPool(),
                 QStringList({QStringLiteral("りんご"), QStringLiteral("みかん"), QString()}));
        QSet<QString> seen;
        for (int k = 0; k < 200; ++k)
            seen << bank.drawWord();
        QCOMPARE(seen, QSet<QString>({QStringLiteral("りんご"), QStringLiteral("みかん")}));
        QCOMPARE(bank.currentQuestion(), bank.drawWord());
        QCOMPARE(bank.wordPool().size(), 3);
    }

    // Each raw line goes through a file and a real draw, so the code page is part of the test.
    void drawnWordIsNormalised_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("word");
        QTest::newRow("comment") << QStringLiteral("りんご//あかい") << QStringLiteral("りんご");
        QTest::newRow("space comment") << QStringLiteral("りんご //あかい") << QStringLiteral("りんご");
        QTest::newRow("comment only") << QStringLiteral("//めも") << QStringLiteral("//めも");
        QTest::newRow("space then comment") << QStringLiteral(" //めも") << msg::InvalidQuestion;
        QTest::newRow("katakana") << QStringLiteral("バナナ") << QStringLiteral("ばなな");
        QTest::newRow("vu") << QStringLiteral("ヴァイオリン") << QStringLiteral("う゛ぁいおりん");
        QTest::newRow("ascii hyphen") << QStringLiteral("ボール-ペン") << QStringLiteral("ぼーるーぺん");
        QTest::newRow("full-width minus") << QStringLiteral("ぼーる－ぺん") << QStringLiteral("ぼーるーぺん");
        QTest::newRow("small ka ke stay") << QStringLiteral("ヵヶー") << QStringLiteral("ヵヶー");
        QTest::newRow("ideographic space")
            << QStringLiteral("\u3000 りんご\u3000") << QStringLiteral("りんご");
        QTest::newRow("inner space kept") << QStringLiteral("あか いぬ") << QStringLiteral("あか いぬ");
        QTest::newRow("tabs anywhere") << QStringLiteral("\tり\tんご\t") << QStringLiteral("りんご");
        // Tabs go after the trim: a space behind a tab survives.
        QTest::newRow("tab before space") << QStringLiteral("\t りんご") << QStringLiteral(" りんご");
        QTest::newRow("blank line") << QString() << msg::InvalidQuestion;
        QTest::newRow("spaces and tabs") << QStringLiteral(" \t\u3000 ") << msg::InvalidQuestion;
        // A file with other line ends reads as one line: its first word is played.
        QTest::newRow("lf ends") << QStringLiteral("いぬ\nねこ\n") << QStringLiteral("いぬ");
        QTest::newRow("cr ends") << QStringLiteral("いぬ//どうぶつ\rねこ\r") << QStringLiteral("いぬ");
        QTest::newRow("too long") << QString(300000, QChar(0x3042))
                                  << QString(QuestionBank::MaxWordLength, QChar(0x3042));
    }
    void drawnWordIsNormalised()
    {
        QFETCH(QString, line);
        QFETCH(QString, word);
        write(QStringLiteral("default.dat"), line + QStringLiteral("\r\n"));
        QuestionBank bank;
        QCOMPARE(bank.loadDictionaries(), 2);
        QCOMPARE(bank.drawWord(), word);
        QCOMPARE(QuestionBank::normalise(line), word);
    }

    void questionControlUsesEachWordOnceThenReloads()
    {
        for (quint32 seed = 1; seed <= 20; ++seed) {
            QuestionBank bank;
            bank.reseed(seed);
            bank.setQuestionControl(true);
            tickOnly(bank, QStringLiteral("three.zbq"), QStringLiteral("いぬ\r\nねこ\r\nうし\r\n"));
            QCOMPARE(bank.loadDictionaries(), 4);
            QSignalSpy spy(&bank, &QuestionBank::systemText);

            QStringList drawn;
            drawn << bank.drawWord();
            QCOMPARE(bank.wordPool().size(), 3);
            QVERIFY(bank.wordPool().constLast().isEmpty());
            drawn << bank.drawWord();
            QCOMPARE(bank.wordPool().size(), 2);
            QVERIFY(spy.isEmpty());
            const QString third = bank.drawWord();
            drawn << third;

            drawn.sort();
            QCOMPARE(drawn,
                     QStringList({QStringLiteral("いぬ"), QStringLiteral("うし"), QStringLiteral("ねこ")}));
            QCOMPARE(spyTexts(spy),
                     QStringList({kReload, msg::dictionaryLoaded(QStringLiteral("three.zbq"))}));
            QCOMPARE(bank.wordPool().size(), 4);
            // The word drawn before the reload is still the turn's word.
            QCOMPARE(bank.currentQuestion(), third);
        }
    }

    void reloadReadsTheSettingsOfThatMoment()
    {
        QuestionBank bank;
        bank.setQuestionControl(true);
        tickOnly(bank, QStringLiteral("one.zbq"), QStringLiteral("いぬ\r\n"));
        write(QStringLiteral("default.dat"), QStringLiteral("ほん\r\nかみ\r\n"));
        QCOMPARE(bank.loadDictionaries(), 2);
        bank.setMode(QuestionBank::BuiltInOnly);
        QCOMPARE(bank.drawWord(), QStringLiteral("いぬ"));
        QCOMPARE(bank.wordPool(), QStringList({QStringLiteral("ほん"), QStringLiteral("かみ"), QString()}));
        QCOMPARE(bank.dictionaryList(), kBuiltIn + QLatin1Char(':'));
    }

    void modesBuildPoolAndList_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("pool");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("console");
        const QString b1 = QStringLiteral("ほん"), b2 = QStringLiteral("いす");
        const QString a1 = QStringLiteral("あか"), a2 = QStringLiteral("あお"), z1 = QStringLiteral("き");
        const QString builtIn = msg::BuiltInLoaded;
        const QString a = msg::dictionaryLoaded(QStringLiteral("a.zbq"));
        const QString z = msg::dictionaryLoaded(QStringLiteral("zbq\\z.zbq"));
        const QString twice = msg::TwiceSuffix;
        QTest::newRow("0 built-in") << 0 << QStringList{b1, b2, {}} << kBuiltIn + QLatin1Char(':')
                                    << QStringList{builtIn};
        QTest::newRow("1 added") << 1 << QStringList{a1, a2, z1, {}} << QStringLiteral("a.zbq:zbq\\z.zbq:")
                                 << QStringList{a, z};
        QTest::newRow("2 both") << 2 << QStringList{b1, b2, a1, a2, z1, {}}
                                << kBuiltIn + QStringLiteral(":a.zbq:zbq\\z.zbq:")
                                << QStringList{builtIn, a, z};
        QTest::newRow("3 added twice") << 3 << QStringList{b1, b2, a1, a2, a1, a2, z1, z1, {}}
                                       << kBuiltIn + QStringLiteral(":a.zbq") + twice +
                                              QStringLiteral(":zbq\\z.zbq") + twice + QLatin1Char(':')
                                       << QStringList{builtIn, a + twice, z + twice};
        QTest::newRow("4 built-in twice")
            << 4 << QStringList{b1, b2, b1, b2, a1, a2, z1, {}}
            << kBuiltIn + twice + QStringLiteral(":a.zbq:zbq\\z.zbq:") << QStringList{builtIn + twice, a, z};
    }
    void modesBuildPoolAndList()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, pool);
        QFETCH(QString, list);
        QFETCH(QStringList, console);
        write(QStringLiteral("default.dat"), QStringLiteral("ほん\r\nいす\r\n"));
        write(QStringLiteral("a.zbq"), QStringLiteral("あか\r\nあお\r\n"));
        write(QStringLiteral("b.zbq"), QStringLiteral("くろ\r\n"));
        write(QStringLiteral("zbq/z.zbq"), QStringLiteral("き\r\n"));
        QuestionBank bank;
        bank.rescan();
        // Ticked out of list order: the pool still follows the list.
        QVERIFY(bank.setTicked(QStringLiteral("zbq/z.zbq"), true));
        QVERIFY(bank.setTicked(QStringLiteral("a.zbq"), true));
        bank.setMode(mode);
        QCOMPARE(bank.mode(), mode);
        QSignalSpy spy(&bank, &QuestionBank::systemText);
        QCOMPARE(bank.loadDictionaries(), pool.size());
        QCOMPARE(bank.wordPool(), pool);
        QCOMPARE(bank.dictionaryList(), list);
        QCOMPARE(spyTexts(spy), console);
    }

    void setModeIgnoresUnknownValues()
    {
        QuestionBank bank;
        bank.setMode(QuestionBank::AddedTwice);
        bank.setMode(5);
        bank.setMode(-1);
        QCOMPARE(bank.mode(), int(QuestionBank::AddedTwice));
    }

    void emptyPoolDrawsTheInvalidWord_data()
    {
        QTest::addColumn<bool>("control");
        QTest::newRow("plain") << false;
        QTest::newRow("question control") << true;
    }
    void emptyPoolDrawsTheInvalidWord()
    {
        QFETCH(bool, control);
        write(QStringLiteral("default.dat"), QStringLiteral("ほん\r\n"));
        write(QStringLiteral("a.zbq"), QStringLiteral("あか\r\n"));
        QuestionBank bank;
        bank.rescan();
        bank.setQuestionControl(control);
        bank.setMode(QuestionBank::AddedOnly);
        QSignalSpy spy(&bank, &QuestionBank::systemText);
        QCOMPARE(bank.loadDictionaries(), 0);
        QVERIFY(bank.wordPool().isEmpty());
        QCOMPARE(bank.dictionaryList(), QString());
        QVERIFY(spy.isEmpty());
        for (int k = 0; k < 3; ++k)
            QCOMPARE(bank.drawWord(), msg::InvalidQuestion);
        QVERIFY(spy.isEmpty());
    }

    // A source without any line break makes a pool of one entry.
    void singleEntryPool()
    {
        write(QStringLiteral("default.dat"), QStringLiteral("りんご"));
        QuestionBank bank;
        QCOMPARE(bank.loadDictionaries(), 1);
        QCOMPARE(bank.drawWord(), QStringLiteral("りんご"));
        bank.setQuestionControl(true);
        QSignalSpy spy(&bank, &QuestionBank::systemText);
        QCOMPARE(bank.drawWord(), msg::InvalidQuestion);
        QCOMPARE(bank.wordPool(), QStringList{QStringLiteral("りんご")});
        QVERIFY(spy.isEmpty());
    }

    void missingFilesReadAsEmpty()
    {
        write(QStringLiteral("gone.zbq"), QStringLiteral("あか\r\n"));
        QuestionBank bank;
        QVERIFY(bank.defaultWords().isEmpty());
        QCOMPARE(bank.loadDictionaries(), 0);
        QCOMPARE(bank.dictionaryList(), kBuiltIn + QLatin1Char(':'));

        tickOnly(bank, QStringLiteral("gone.zbq"), QStringLiteral("あか\r\n"));
        QVERIFY(QFile::remove(QDir(m_dir->path()).filePath(QStringLiteral("gone.zbq"))));
        QCOMPARE(bank.loadDictionaries(), 0);
        QCOMPARE(bank.dictionaryList(), QStringLiteral("gone.zbq:"));
    }

    void fileChecks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("failures");
        QTest::newRow("good") << QStringLiteral("いぬ\r\nねこ//どうぶつ\r\n") << QStringList();
        QTest::newRow("empty line") << QStringLiteral("いぬ\r\n\r\nねこ\r\n") << QStringList{kEmptyLine};
        QTest::newRow("blank last line") << QStringLiteral("いぬ\r\n\r\n") << QStringList{kEmptyLine};
        QTest::newRow("no final break") << QStringLiteral("いぬ\r\nねこ") << QStringList{kNoFinalBreak};
        QTest::newRow("final lf only") << QStringLiteral("いぬ\r\nねこ\n") << QStringList{kNoFinalBreak};
        QTest::newRow("empty file") << QString() << QStringList{kNoFinalBreak};
        QTest::newRow("comment line") << QStringLiteral("いぬ\r\n//めも\r\n") << QStringList{kCommentOnly};
        QTest::newRow("comment first") << QStringLiteral("//めも\r\nいぬ\r\n") << QStringList{kCommentOnly};
        QTest::newRow("all four") << QStringLiteral("//a\r\nいぬ\r\n//b\r\n\r\nねこ")
                                  << QStringList{kEmptyLine, kNoFinalBreak, kCommentOnly, kCommentOnly};
    }
    void fileChecks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, failures);
        QCOMPARE(DictionaryFile::checkText(text), failures);

        // Through the tick: a failing file stays unticked.
        write(QStringLiteral("x.zbq"), text);
        QuestionBank bank;
        bank.rescan();
        QStringList got{QStringLiteral("stale")};
        QCOMPARE(bank.setTicked(QStringLiteral("x.zbq"), true, &got), failures.isEmpty());
        QCOMPARE(got, failures);
        QCOMPARE(bank.isTicked(QStringLiteral("x.zbq")), failures.isEmpty());
        QCOMPARE(bank.tickedEntries().size(), failures.isEmpty() ? 1 : 0);
    }

    void tickingRules()
    {
        write(QStringLiteral("ok.zbq"), QStringLiteral("いぬ\r\n"));
        QuestionBank bank;
        bank.rescan();
        QStringList failures{QStringLiteral("stale")};
        QVERIFY(bank.setTicked(QStringLiteral("ok.zbq"), true, &failures));
        QVERIFY(failures.isEmpty());

        // Unticking tests nothing, even when the file has gone bad meanwhile.
        write(QStringLiteral("ok.zbq"), QStringLiteral("いぬ"));
        QVERIFY(bank.setTicked(QStringLiteral("ok.zbq"), false, &failures));
        QVERIFY(failures.isEmpty());
        QVERIFY(!bank.isTicked(QStringLiteral("ok.zbq")));

        // Only listed entries can be ticked: nothing outside the scan is read.
        write(QStringLiteral("late.zbq"), QStringLiteral("ねこ\r\n"));
        QVERIFY(!bank.setTicked(QStringLiteral("late.zbq"), true));
        QVERIFY(!bank.setTicked(QStringLiteral("../late.zbq"), true));
        QVERIFY(bank.tickedEntries().isEmpty());

        write(QStringLiteral("ok.zbq"), QStringLiteral("いぬ\r\n"));
        bank.rescan();
        QVERIFY(bank.setTicked(QStringLiteral("late.zbq"), true));
        QVERIFY(bank.setTicked(QStringLiteral("ok.zbq"), true));
        QVERIFY(bank.setTicked(QStringLiteral("ok.zbq"), true));
        QCOMPARE(bank.tickedEntries(), QStringList({QStringLiteral("late.zbq"), QStringLiteral("ok.zbq")}));
        bank.rescan();
        QVERIFY(bank.tickedEntries().isEmpty());
    }

    void rescanOrder()
    {
        // A name holding a line break would split the protocol line that carries the list.
        for (const char *name : {"b.zbq", "a.zbq", "C.zbq", "notes.txt", "zbq/y.zbq", "zbq/x.zbq",
                                 "zbq/w.txt", "zbq/v\r\nRET .zbq"})
            write(QString::fromLatin1(name), QStringLiteral("いぬ\r\n"));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("folder.zbq")));
        QuestionBank bank;
        bank.rescan();
        QCOMPARE(bank.entries(),
                 QStringList({QStringLiteral("a.zbq"), QStringLiteral("b.zbq"), QStringLiteral("C.zbq"),
                              QStringLiteral("zbq\\x.zbq"), QStringLiteral("zbq\\y.zbq")}));
        // The subfolder's entries are readable through the program folder.
        QVERIFY(bank.setTicked(QStringLiteral("zbq/x.zbq"), true));
    }

    void encodingsAndLineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QStringList>("failures");
        QTest::addColumn<QStringList>("pool");
        const QStringList words{QStringLiteral("いぬ"), QStringLiteral("ねこ//どうぶつ"), QString()};
        QTest::newRow("utf-8, LF and CR LF")
            << QStringLiteral("いぬ\nねこ//どうぶつ\r\n").toUtf8() << true << QStringList() << words;
        QTest::newRow("utf-8 with a mark") << QByteArray("\xEF\xBB\xBFinu\n") << true << QStringList()
                                           << QStringList{QStringLiteral("inu"), QString()};
        // Code page 932 as it always was read; "－" and "～" are the code page's own.
        QTest::newRow("cp932") << toCp932(QStringLiteral("いぬ\r\nねこ//どうぶつ\r\nー－～\r\n")) << false
                               << QStringList()
                               << QStringList{words.at(0), words.at(1), QStringLiteral("ー－～"), QString()};
        QTest::newRow("cp932, LF") << toCp932(QStringLiteral("いぬ\nねこ\n")) << false << QStringList{kLfOnly}
                                   << QStringList{QStringLiteral("いぬ\nねこ\n")};
    }
    void encodingsAndLineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        QFETCH(QStringList, failures);
        QFETCH(QStringList, pool);
        QFile f(m_dir->filePath(QStringLiteral("x.zbq")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        QuestionBank bank;
        bank.rescan();
        const DictionaryFile file = bank.readEntry(QStringLiteral("x.zbq"));
        QCOMPARE(file.utf8, utf8);
        QCOMPARE(file.text, pool.join(QStringLiteral("\r\n")));
        QStringList got;
        QCOMPARE(bank.setTicked(QStringLiteral("x.zbq"), true, &got), failures.isEmpty());
        QCOMPARE(got, failures);
        if (!failures.isEmpty()) return;
        QCOMPARE(file.wordCount(), pool.size() - 1);
        bank.setMode(QuestionBank::AddedOnly);
        QCOMPARE(bank.loadDictionaries(), pool.size());
    }

    void subfolderNamesUseBackslash()
    {
        write(QStringLiteral("zbq/x.zbq"), QStringLiteral("した\r\n"));
        // Names that would pass for the subfolder's file, or climb out of the folder.
        write(QStringLiteral("zbq\\x.zbq"), QStringLiteral("うえ\r\n"));
        write(QStringLiteral("..\\up.zbq"), QStringLiteral("うえ\r\n"));
        QuestionBank bank;
        bank.rescan();
        QCOMPARE(bank.entries(), QStringList{QStringLiteral("zbq\\x.zbq")});
        QCOMPARE(bank.readEntry(QStringLiteral("zbq\\x.zbq")).text, QStringLiteral("した\r\n"));
    }

    void rescanWithoutSubfolder()
    {
        write(QStringLiteral("a.zbq"), QStringLiteral("いぬ\r\n"));
        QuestionBank bank;
        bank.rescan();
        QCOMPARE(bank.entries(), QStringList{QStringLiteral("a.zbq")});
    }
};

QTEST_GUILESS_MAIN(TstQuestionBank)
#include "tst_questionbank.moc"
