#include "server/core/questionbank.h"

#include "server/texts/messages.h"
#include "shared/fileutil.h"
#include "shared/textutil.h"

#include <QDir>
#include <QRegularExpression>

namespace zb {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSubfolder = QStringLiteral("zbq");

bool isTrimmedSpace(QChar c)
{
    // The full-width space is what a Japanese input method types for a space.
    return c == QLatin1Char(' ') || c == QChar(0x3000);
}

// The entry's name reaches players inside one protocol line. A backslash
// would make the name of a file beside the program read as one in the
// subfolder (or above the program folder).
bool isListable(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('\\')) return false;
    }
    return true;
}

QString entryPath(const QString &entry)
{
    QString path = entry;
    if (path.startsWith(kSubfolder + QLatin1Char('\\'))) path[kSubfolder.size()] = QLatin1Char('/');
    return programFile(path);
}

} // namespace

QuestionBank::QuestionBank(QObject *parent) : QObject(parent), m_random(QRandomGenerator::securelySeeded()) {}

void QuestionBank::setMode(int mode)
{
    if (mode >= BuiltInOnly && mode <= BuiltInTwice) m_mode = mode;
}

QString QuestionBank::entryName(const QString &typed)
{
    QString name = typed;
    if (name.startsWith(kSubfolder + QLatin1Char('/'))) name[kSubfolder.size()] = QLatin1Char('\\');
    return name;
}

QString QuestionBank::subfolderPath()
{
    return programFile(kSubfolder);
}

void QuestionBank::rescan()
{
    m_entries.clear();
    m_ticked.clear();
    const QDir::Filters kinds = QDir::Files | QDir::Readable;
    const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;
    // Matched by suffix, as a "*.zbq" name filter would (case-insensitively):
    // a name filter loads the regular-expression engine, half a megabyte of a
    // dedicated server's memory.
    auto isDictionary = [](const QString &name) {
        return name.endsWith(QLatin1String(".zbq"), Qt::CaseInsensitive) && isListable(name);
    };

    const QDir top(programFolder());
    for (const QString &name : top.entryList(kinds, order)) {
        if (isDictionary(name)) m_entries << name;
    }
    const QDir sub(top.filePath(kSubfolder));
    if (sub.exists()) {
        for (const QString &name : sub.entryList(kinds, order)) {
            if (isDictionary(name)) m_entries << kSubfolder + QLatin1Char('\\') + name;
        }
    }
}

bool QuestionBank::setTicked(const QString &typed, bool ticked, QStringList *failures)
{
    const QString entry = entryName(typed);
    if (failures) failures->clear();
    // Only what the scan found may be read: an entry is a path below the program folder.
    if (!m_entries.contains(entry)) return false;
    if (!ticked) {
        m_ticked.removeAll(entry);
        return true;
    }
    const QStringList failed = DictionaryFile::checkText(readEntry(entry).text);
    if (failures) *failures = failed;
    if (!failed.isEmpty()) {
        m_ticked.removeAll(entry);
        return false;
    }
    if (!m_ticked.contains(entry)) m_ticked << entry;
    return true;
}

bool QuestionBank::isTicked(const QString &entry) const
{
    return m_ticked.contains(entryName(entry));
}

QStringList QuestionBank::tickedEntries() const
{
    // List order, not the order the ticks were set in.
    QStringList out;
    for (const QString &entry : m_entries) {
        if (m_ticked.contains(entry)) out << entry;
    }
    return out;
}

DictionaryFile QuestionBank::readEntry(const QString &entry) const
{
    if (!m_entries.contains(entry)) return {};
    return DictionaryFile::read(entryPath(entry));
}

QString QuestionBank::defaultWords() const
{
    return DictionaryFile::read(dataFile(QStringLiteral("default.dat"))).text;
}

int QuestionBank::loadDictionaries()
{
    QString text;
    QString list;
    const QStringList ticked = tickedEntries();

    const auto addBuiltIn = [&](bool twice) {
        const QString builtIn = defaultWords();
        text += builtIn;
        if (twice) {
            text += builtIn;
            emit systemText(msg::BuiltInLoadedTwice);
            list = msg::BuiltInDictionary + msg::TwiceSuffix + QLatin1Char(':');
        } else {
            emit systemText(msg::BuiltInLoaded);
            list = msg::BuiltInDictionary + QLatin1Char(':');
        }
    };
    const auto addTicked = [&](bool twice) {
        for (const QString &entry : ticked) {
            const QString contents = readEntry(entry).text;
            text += contents;
            if (twice) {
                text += contents;
                emit systemText(msg::dictionaryLoadedTwice(entry));
                list += entry + msg::TwiceSuffix + QLatin1Char(':');
            } else {
                emit systemText(msg::dictionaryLoaded(entry));
                list += entry + QLatin1Char(':');
            }
        }
    };

    switch (m_mode) {
    case AddedOnly:
        addTicked(false);
        break;
    case BuiltInAndAdded:
        addBuiltIn(false);
        addTicked(false);
        break;
    case AddedTwice:
        addBuiltIn(false);
        addTicked(true);
        break;
    case BuiltInTwice:
        addBuiltIn(true);
        addTicked(false);
        break;
    case BuiltInOnly:
    default:
        addBuiltIn(false);
        break;
    }

    m_dictionaryList = list;
    // Every well-formed source ends with CR LF, so the pool ends with one empty entry.
    m_pool = text.isEmpty() ? QStringList() : text.split(kCrLf);
    return int(m_pool.size());
}

QString QuestionBank::drawWord()
{
    const qsizetype u = m_pool.size() - 1;
    QString word;
    if (u < 1 && (u < 0 || m_questionControl)) {
        // An empty pool, or a single entry that removal could not take out.
        word = msg::InvalidQuestion;
    } else if (u == 0) {
        word = m_pool.at(0);
    } else {
        // The last entry is the empty one after the final line break: never drawn.
        const qsizetype i = qsizetype(m_random.bounded(quint64(u)));
        word = m_pool.at(i);
        if (m_questionControl) {
            m_pool[i] = m_pool.at(u - 1);
            m_pool[u - 1].clear();
            m_pool.removeLast();
            if (m_pool.size() == 1) {
                emit systemText(msg::QuestionsExhausted);
                loadDictionaries();
            }
        }
    }
    m_currentQuestion = normalise(word);
    return m_currentQuestion;
}

QString QuestionBank::normalise(const QString &raw)
{
    // A lone CR or LF ends the word: a file with other line ends must not
    // become one endless word.
    const qsizetype lineEnd = raw.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    QString word = lineEnd < 0 ? raw : raw.left(lineEnd);
    const qsizetype comment = word.indexOf(QStringLiteral("//"));
    if (comment > 0) word.truncate(comment);

    qsizetype begin = 0;
    qsizetype end = word.size();
    while (begin < end && isTrimmedSpace(word.at(begin)))
        ++begin;
    while (end > begin && isTrimmedSpace(word.at(end - 1)))
        --end;
    word = word.mid(begin, end - begin);

    word.remove(QLatin1Char('\t'));
    // Every player receives the word in one line.
    word.truncate(MaxWordLength);

    if (word.isEmpty()) return msg::InvalidQuestion;

    word = katakanaToHiragana(word);
    word.replace(QChar(0x30F4), QStringLiteral("う゛"));
    word.replace(QChar(0xFF0D), QChar(0x30FC));
    word.replace(QLatin1Char('-'), QChar(0x30FC));
    return word;
}

} // namespace zb
