#include "server/console/dictionarypanel.h"

#include "server/console/helplinks.h"
#include "server/console/panelstyle.h"
#include "server/texts/messages.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace zb {

namespace {

// The entry's name as the list's text (what ticks go by), its word count at the right.
class EntryDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QVariant words = index.data(DictionaryPanel::WordsRole);
        if (!words.isValid()) return;
        painter->save();
        painter->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->drawText(option.rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter,
                          msg::wordCount(words.toInt()));
        painter->restore();
    }
};

} // namespace

DictionaryPanel::DictionaryPanel(QWidget *parent) : QGroupBox(msg::QuestionOptionsCaption, parent)
{
    setObjectName(QStringLiteral("fraQuestion"));
    paintAsPanel(this);
    auto *layout = new QVBoxLayout(this);

    m_modeGroup = new QButtonGroup(this);
    const QStringList modes = {msg::BuiltInOnly, msg::AddedOnly, msg::BuiltInAndAdded,
                               msg::BuiltInAndAddedTwice, msg::BuiltInTwiceAndAdded};
    auto *modeGrid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        auto *button = new QRadioButton(modes[i], this);
        button->setObjectName(QStringLiteral("optQuestion%1").arg(i));
        m_modeGroup->addButton(button, i);
        // Short captions side by side, the two long ones on their own lines.
        if (i < 3)
            modeGrid->addWidget(button, 0, i);
        else
            modeGrid->addWidget(button, i - 2, 0, 1, 3);
    }
    m_modeGroup->button(0)->setChecked(true);
    layout->addLayout(modeGrid);
    // Reported however the choice changes: a click or the arrow keys.
    connect(m_modeGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit modeChosen(id);
    });

    layout->addWidget(new QLabel(msg::DictionaryListCaption, this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstQuestion"));
    m_list->setItemDelegate(new EntryDelegate(m_list));
    layout->addWidget(m_list, 1);
    connect(m_list, &QListWidget::itemChanged, this, &DictionaryPanel::onEntryChanged);

    layout->addWidget(noteLabel(msg::DictionaryFormatNote, this));

    auto *row = new QHBoxLayout;
    auto *rescanButton = new QPushButton(msg::RescanDictionaries, this);
    rescanButton->setObjectName(QStringLiteral("cmdReload"));
    connect(rescanButton, &QPushButton::clicked, this, &DictionaryPanel::rescanRequested);
    row->addWidget(rescanButton);
    row->addStretch();
    // Where the host drops the files, opened in the file manager.
    auto *folderLink =
        new QLabel(QStringLiteral("<a href=\"folder\">%1</a>").arg(msg::OpenDictionaryFolder), this);
    folderLink->setObjectName(QStringLiteral("dictionariesLink"));
    folderLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(folderLink, &QLabel::linkActivated, this, [] { openDictionaryFolder(); });
    row->addWidget(folderLink);
    layout->addLayout(row);
}

int DictionaryPanel::mode() const
{
    return qMax(0, m_modeGroup->checkedId());
}

void DictionaryPanel::setMode(int mode)
{
    if (QAbstractButton *button = m_modeGroup->button(mode)) button->setChecked(true);
}

void DictionaryPanel::setEntries(const QStringList &entries)
{
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    for (const QString &entry : entries) {
        auto *item = new QListWidgetItem(entry, m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
}

void DictionaryPanel::setEntryTicked(const QString &entry, bool ticked)
{
    const QSignalBlocker blocker(m_list);
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->text() == entry)
            m_list->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void DictionaryPanel::setEntryWords(const QString &entry, int words, bool utf8)
{
    const QSignalBlocker blocker(m_list);
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        if (item->text() != entry) continue;
        item->setData(WordsRole, words);
        item->setToolTip(utf8 ? msg::ReadAsUtf8 : msg::ReadAsCp932);
    }
}

QStringList DictionaryPanel::tickedEntries() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->checkState() == Qt::Checked) out << m_list->item(i)->text();
    }
    return out;
}

void DictionaryPanel::onEntryChanged(QListWidgetItem *item)
{
    emit entryToggled(item->text(), item->checkState() == Qt::Checked);
}

} // namespace zb
