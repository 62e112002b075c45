#include "server/core/questionbank.h"
#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

// The built-in dictionary we ship must be a well-formed dictionary itself.
class TstDefaultDat : public QObject {
    Q_OBJECT

    QByteArray m_bytes;
    QString m_text;

  private slots:
    void initTestCase()
    {
        QFile f(QStringLiteral(ZB_SOURCE_DIR "/data/default.dat"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_bytes = f.readAll();
        m_text = fromCp932(m_bytes);
    }

    void decodesFromCp932()
    {
        QVERIFY(!m_bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(!m_text.contains(QChar::ReplacementCharacter));
        QCOMPARE(toCp932(m_text), m_bytes);
    }

    void passesTheFileChecks()
    {
        QCOMPARE(DictionaryFile::checkText(m_text), QStringList());
        // Bare CR or LF would slip past the checks and fuse lines.
        QCOMPARE(m_text.count(QLatin1Char('\r')), m_text.count(QStringLiteral("\r\n")));
        QCOMPARE(m_text.count(QLatin1Char('\n')), m_text.count(QStringLiteral("\r\n")));
    }

    void wordsAreDistinctAndPlayable()
    {
        QStringList lines = m_text.split(QStringLiteral("\r\n"));
        QVERIFY(lines.size() > 1);
        QVERIFY(lines.takeLast().isEmpty());
        QSet<QString> words;
        int katakana = 0;
        for (const QString &line : lines) {
            const QString word = QuestionBank::normalise(line);
            QVERIFY2(word != msg::InvalidQuestion, qPrintable(line));
            QVERIFY2(!word.contains(QLatin1Char(' ')) && !word.contains(QChar(0x3000)), qPrintable(line));
            QVERIFY2(!words.contains(word), qPrintable(QStringLiteral("duplicate: ") + line));
            words.insert(word);
            if (word != line) ++katakana;
        }
        QVERIFY2(words.size() >= 600, qPrintable(QString::number(words.size())));
        QVERIFY(katakana > 0);
    }

    // The whole path: the file as the server reads it from its folder.
    void loadsAsThePool()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile::copy(QStringLiteral(ZB_SOURCE_DIR "/data/default.dat"), dir.filePath("default.dat")));
        setProgramFolder(dir.path());
        QuestionBank bank;
        const int lines = int(m_text.count(QStringLiteral("\r\n")));
        QCOMPARE(bank.loadDictionaries(), lines + 1);
        QCOMPARE(bank.dictionaryList(), msg::BuiltInDictionary + QLatin1Char(':'));
        bank.setQuestionControl(true);
        QSet<QString> drawn;
        for (int k = 0; k < lines; ++k)
            drawn << bank.drawWord();
        QCOMPARE(drawn.size(), lines);
        setProgramFolder(QString());
    }
};

QTEST_GUILESS_MAIN(TstDefaultDat)
#include "tst_defaultdat.moc"
