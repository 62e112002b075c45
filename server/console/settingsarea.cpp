#include "settingsarea.h"

#include "desktop.h"
#include "helplinks.h"
#include "panelstack.h"
#include "questionbank.h"
#include "server/core/messages.h"
#include "version.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
        const QVariant words = index.data(SettingsArea::WordsRole);
        if (!words.isValid()) return;
        painter->save();
        painter->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->drawText(option.rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter,
                          msg::wordCount(words.toInt()));
        painter->restore();
    }
};

QLabel *noteLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(80, 80, 80));
    label->setPalette(pal);
    return label;
}

QLineEdit *lineEdit(const QString &name, int maxLength, const QString &designText, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    // What an empty box becomes when the server starts.
    edit->setPlaceholderText(designText);
    return edit;
}

// Panels are painted in the button face colour so that the one on top hides the one beneath.
void paintAsPanel(QWidget *w)
{
    w->setAutoFillBackground(true);
    w->setBackgroundRole(QPalette::Button);
}

} // namespace

SettingsArea::SettingsArea(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("picSetting"));
    setFrameShape(QFrame::StyledPanel);
    paintAsPanel(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    auto *switchRow = new QHBoxLayout;
    m_panelGroup = new QButtonGroup(this);
    const QStringList panelNames = {msg::DictionarySettingsCaption, msg::ServerSettingsCaption,
                                    msg::GameSettingsCaption};
    for (int k = 0; k < 3; ++k) {
        auto *button = new QRadioButton(panelNames[k], this);
        button->setObjectName(QStringLiteral("optServer%1").arg(k));
        m_panelGroup->addButton(button, k);
        switchRow->addWidget(button);
    }
    switchRow->addStretch();
    layout->addLayout(switchRow);

    m_panels = new PanelStack(this);
    m_dictionaryPanel = buildDictionaryPanel();
    m_serverPanel = buildServerPanel();
    m_gamePanel = buildGamePanel();
    m_panels->addPanel(m_dictionaryPanel);
    m_panels->addPanel(m_serverPanel);
    m_panels->addPanel(m_gamePanel);
    layout->addWidget(m_panels, 1);

    m_startButton = new QPushButton(msg::StartServerCaption, this);
    m_startButton->setObjectName(QStringLiteral("cmdStartServer"));
    m_startButton->setMinimumHeight(38);
    QFont bold = m_startButton->font();
    bold.setBold(true);
    m_startButton->setFont(bold);
    layout->addWidget(m_startButton);

    connect(m_panelGroup, &QButtonGroup::idClicked, this, &SettingsArea::showPanel);
    connect(m_startButton, &QPushButton::clicked, this, &SettingsArea::startRequested);
    m_panelGroup->button(0)->setChecked(true);
    showPanel(0);
}

QGroupBox *SettingsArea::buildDictionaryPanel()
{
    auto *box = new QGroupBox(msg::QuestionOptionsCaption, this);
    box->setObjectName(QStringLiteral("fraQuestion"));
    paintAsPanel(box);
    auto *layout = new QVBoxLayout(box);

    m_modeGroup = new QButtonGroup(this);
    const QStringList modes = {msg::BuiltInOnly, msg::AddedOnly, msg::BuiltInAndAdded,
                               msg::BuiltInAndAddedTwice, msg::BuiltInTwiceAndAdded};
    auto *modeGrid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        auto *button = new QRadioButton(modes[i], box);
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

    layout->addWidget(new QLabel(msg::DictionaryListCaption, box));
    m_dictionaryList = new QListWidget(box);
    m_dictionaryList->setObjectName(QStringLiteral("lstQuestion"));
    m_dictionaryList->setItemDelegate(new EntryDelegate(m_dictionaryList));
    layout->addWidget(m_dictionaryList, 1);
    connect(m_dictionaryList, &QListWidget::itemChanged, this, &SettingsArea::onEntryChanged);

    layout->addWidget(noteLabel(msg::DictionaryFormatNote, box));

    auto *row = new QHBoxLayout;
    auto *rescanButton = new QPushButton(msg::RescanDictionaries, box);
    rescanButton->setObjectName(QStringLiteral("cmdReload"));
    connect(rescanButton, &QPushButton::clicked, this, &SettingsArea::rescanRequested);
    row->addWidget(rescanButton);
    row->addStretch();
    // Where the host drops the files, opened in the file manager.
    auto *folderLink =
        new QLabel(QStringLiteral("<a href=\"folder\">%1</a>").arg(msg::OpenDictionaryFolder), box);
    folderLink->setObjectName(QStringLiteral("dictionariesLink"));
    folderLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(folderLink, &QLabel::linkActivated, this, [] { openDictionaryFolder(); });
    row->addWidget(folderLink);
    layout->addLayout(row);
    return box;
}

QFrame *SettingsArea::buildServerPanel()
{
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("picLobby"));
    panel->setFrameShape(QFrame::StyledPanel);
    paintAsPanel(panel);
    auto *layout = new QVBoxLayout(panel);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);

    m_portInput =
        lineEdit(QStringLiteral("txtPort"), ServerSettings::PortLength, QStringLiteral("27064"), panel);
    m_portInput->setMaximumWidth(100);
    m_roomNameInput =
        lineEdit(QStringLiteral("txtRoomName"), ServerSettings::RoomNameLength, msg::DefaultRoomName, panel);
    m_commentInput =
        lineEdit(QStringLiteral("txtComment"), ServerSettings::CommentLength, msg::DefaultComment, panel);
    m_passwordInput =
        lineEdit(QStringLiteral("txtPassword"), ServerSettings::PasswordLength, QString(), panel);
    m_passwordInput->setMaximumWidth(140);
    form->addRow(msg::PortCaption, m_portInput);
    form->addRow(msg::RoomNameCaption, m_roomNameInput);
    form->addRow(msg::CommentCaption, m_commentInput);
    form->addRow(msg::PasswordCaption, m_passwordInput);

    auto *modeRow = new QHBoxLayout;
    m_gameTypeGroup = new QButtonGroup(this);
    const QStringList gameModes = {msg::ProgramName, msg::ObscureTournamentName};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QRadioButton(gameModes[i], panel);
        button->setObjectName(QStringLiteral("optGameMode%1").arg(i));
        m_gameTypeGroup->addButton(button, i);
        modeRow->addWidget(button);
    }
    modeRow->addStretch();
    m_gameTypeGroup->button(0)->setChecked(true);
    form->addRow(msg::GameModeCaption, modeRow);
    m_lobbyAddressInput = new QLineEdit(panel);
    m_lobbyAddressInput->setObjectName(QStringLiteral("lobbyAddressEdit"));
    m_lobbyAddressInput->setPlaceholderText(QString::fromLatin1(DefaultLobbyAddress));
    m_lobbyAddressInput->setToolTip(msg::LobbyServerTip);
    form->addRow(msg::LobbyServerCaption, m_lobbyAddressInput);
    layout->addLayout(form);

    m_registerBox = new QCheckBox(msg::RegisterWithLobby, panel);
    m_registerBox->setObjectName(QStringLiteral("chkLobbyRegister"));
    m_registerBox->setChecked(true);
    layout->addWidget(m_registerBox);
    m_sameAddressBox = new QCheckBox(msg::AllowSameAddress, panel);
    m_sameAddressBox->setObjectName(QStringLiteral("allowSameAddressBox"));
    m_sameAddressBox->setToolTip(msg::AllowSameAddressTip);
    layout->addWidget(m_sameAddressBox);
    layout->addStretch();
    return panel;
}

QFrame *SettingsArea::buildGamePanel()
{
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("picGame"));
    panel->setFrameShape(QFrame::StyledPanel);
    paintAsPanel(panel);
    auto *layout = new QVBoxLayout(panel);
    auto *form = new QFormLayout;

    m_playerMaxCombo = new QComboBox(panel);
    m_playerMaxCombo->setObjectName(QStringLiteral("cmbPlayerMax"));
    for (int n = 3; n <= 8; ++n)
        m_playerMaxCombo->addItem(msg::playerMaxItem(n));
    m_roundMaxCombo = new QComboBox(panel);
    m_roundMaxCombo->setObjectName(QStringLiteral("cmbRoundMax"));
    for (int n = 2; n <= 5; ++n)
        m_roundMaxCombo->addItem(msg::roundMaxItem(n));
    form->addRow(msg::PlayerMaxCaption, m_playerMaxCombo);
    form->addRow(msg::RoundMaxCaption, m_roundMaxCombo);
    layout->addLayout(form);
    layout->addWidget(noteLabel(msg::GameCountNote, panel));
    layout->addSpacing(8);

    m_noRepeatBox = new QCheckBox(msg::QuestionControlCaption, panel);
    m_noRepeatBox->setObjectName(QStringLiteral("chkQuestionControl"));
    layout->addWidget(m_noRepeatBox);
    layout->addWidget(noteLabel(msg::QuestionControlNote, panel));
    layout->addStretch();
    return panel;
}

void SettingsArea::showPanel(int k)
{
    if (k < 0 || k > 2) return;
    if (!m_panelGroup->button(k)->isChecked()) m_panelGroup->button(k)->setChecked(true);
    m_panels->setCurrent(k == 1   ? static_cast<QWidget *>(m_serverPanel)
                         : k == 2 ? static_cast<QWidget *>(m_gamePanel)
                                  : static_cast<QWidget *>(m_dictionaryPanel));
}

ServerSettings SettingsArea::settings() const
{
    ServerSettings s;
    s.port = m_portInput->text();
    s.password = m_passwordInput->text();
    s.roomName = m_roomNameInput->text();
    s.comment = m_commentInput->text();
    s.roundMaxIndex = m_roundMaxCombo->currentIndex();
    s.playerMaxIndex = m_playerMaxCombo->currentIndex();
    s.questionControl = m_noRepeatBox->isChecked();
    s.gameType = m_gameTypeGroup->checkedId() == 0 ? 0 : 1;
    s.lobbyRegister = m_registerBox->isChecked();
    s.allowSameAddress = m_sameAddressBox->isChecked();
    s.dictionaryMode = qMax(0, m_modeGroup->checkedId());
    s.tickedDictionaries = tickedEntries();
    return s;
}

void SettingsArea::showSettings(const ServerSettings &s)
{
    m_portInput->setText(s.port);
    m_roomNameInput->setText(s.roomName);
    m_commentInput->setText(s.comment);
    if (s.roundMaxIndex >= 0 && s.roundMaxIndex < m_roundMaxCombo->count())
        m_roundMaxCombo->setCurrentIndex(s.roundMaxIndex);
    if (s.playerMaxIndex >= 0 && s.playerMaxIndex < m_playerMaxCombo->count())
        m_playerMaxCombo->setCurrentIndex(s.playerMaxIndex);
    m_noRepeatBox->setChecked(s.questionControl);
    m_passwordInput->setText(s.password);
    m_registerBox->setChecked(s.lobbyRegister);
    m_sameAddressBox->setChecked(s.allowSameAddress);
    // Values out of range leave the buttons as they are.
    if (QAbstractButton *type = m_gameTypeGroup->button(s.gameType)) type->setChecked(true);
    if (QAbstractButton *mode = m_modeGroup->button(s.dictionaryMode)) mode->setChecked(true);
}

void SettingsArea::setEntries(const QStringList &entries)
{
    const QSignalBlocker blocker(m_dictionaryList);
    m_dictionaryList->clear();
    for (const QString &entry : entries) {
        auto *item = new QListWidgetItem(entry, m_dictionaryList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
}

void SettingsArea::setEntryTicked(const QString &entry, bool ticked)
{
    const QSignalBlocker blocker(m_dictionaryList);
    for (int i = 0; i < m_dictionaryList->count(); ++i) {
        if (m_dictionaryList->item(i)->text() == entry)
            m_dictionaryList->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void SettingsArea::setEntryWords(const QString &entry, int words, bool utf8)
{
    const QSignalBlocker blocker(m_dictionaryList);
    for (int i = 0; i < m_dictionaryList->count(); ++i) {
        QListWidgetItem *item = m_dictionaryList->item(i);
        if (item->text() != entry) continue;
        item->setData(WordsRole, words);
        item->setToolTip(utf8 ? msg::ReadAsUtf8 : msg::ReadAsCp932);
    }
}

QString SettingsArea::lobbyAddress() const
{
    return m_lobbyAddressInput->text().trimmed();
}

void SettingsArea::showLobbyAddress(const QString &address, bool locked)
{
    m_lobbyAddressInput->setText(address);
    m_lobbyAddressInput->setReadOnly(locked);
    if (locked) m_lobbyAddressInput->setToolTip(msg::LobbyOverrideTip);
}

void SettingsArea::showLobbyAddressBox()
{
    showPanel(1);
    m_lobbyAddressInput->setFocus();
    m_lobbyAddressInput->selectAll();
}

QStringList SettingsArea::tickedEntries() const
{
    QStringList out;
    for (int i = 0; i < m_dictionaryList->count(); ++i) {
        if (m_dictionaryList->item(i)->checkState() == Qt::Checked) out << m_dictionaryList->item(i)->text();
    }
    return out;
}

void SettingsArea::setRunning(bool running)
{
    m_startButton->setText(running ? msg::ReloadCaption : msg::StartServerCaption);
    showPanel(0);
    m_panelGroup->button(1)->setEnabled(!running);
    m_portInput->setEnabled(!running);
    m_lobbyAddressInput->setEnabled(!running);
}

void SettingsArea::onEntryChanged(QListWidgetItem *item)
{
    emit entryToggled(item->text(), item->checkState() == Qt::Checked);
}

} // namespace zb
