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
        optServer[k] = new QRadioButton(panelNames[k], this);
        optServer[k]->setObjectName(QStringLiteral("optServer%1").arg(k));
        m_panelGroup->addButton(optServer[k], k);
        switchRow->addWidget(optServer[k]);
    }
    switchRow->addStretch();
    layout->addLayout(switchRow);

    m_panels = new PanelStack(this);
    fraQuestion = buildDictionaryPanel();
    picLobby = buildLobbyPanel();
    picGame = buildGamePanel();
    m_panels->addPanel(fraQuestion);
    m_panels->addPanel(picLobby);
    m_panels->addPanel(picGame);
    layout->addWidget(m_panels, 1);

    cmdStartServer = new QPushButton(msg::StartServerCaption, this);
    cmdStartServer->setObjectName(QStringLiteral("cmdStartServer"));
    cmdStartServer->setMinimumHeight(38);
    QFont bold = cmdStartServer->font();
    bold.setBold(true);
    cmdStartServer->setFont(bold);
    layout->addWidget(cmdStartServer);

    connect(m_panelGroup, &QButtonGroup::idClicked, this, &SettingsArea::chooseDictionaryMode);
    connect(cmdStartServer, &QPushButton::clicked, this, &SettingsArea::startRequested);
    optServer[0]->setChecked(true);
    chooseDictionaryMode(0);
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
        optQuestion[i] = new QRadioButton(modes[i], box);
        optQuestion[i]->setObjectName(QStringLiteral("optQuestion%1").arg(i));
        m_modeGroup->addButton(optQuestion[i], i);
        // Short captions side by side, the two long ones on their own lines.
        if (i < 3)
            modeGrid->addWidget(optQuestion[i], 0, i);
        else
            modeGrid->addWidget(optQuestion[i], i - 2, 0, 1, 3);
    }
    optQuestion[0]->setChecked(true);
    layout->addLayout(modeGrid);
    // Reported however the choice changes: a click or the arrow keys.
    connect(m_modeGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit modeChosen(id);
    });

    layout->addWidget(new QLabel(msg::DictionaryListCaption, box));
    lstQuestion = new QListWidget(box);
    lstQuestion->setObjectName(QStringLiteral("lstQuestion"));
    lstQuestion->setItemDelegate(new EntryDelegate(lstQuestion));
    layout->addWidget(lstQuestion, 1);
    connect(lstQuestion, &QListWidget::itemChanged, this, &SettingsArea::onItemChanged);

    layout->addWidget(noteLabel(msg::DictionaryFormatNote, box));

    auto *row = new QHBoxLayout;
    cmdReload = new QPushButton(msg::RescanDictionaries, box);
    cmdReload->setObjectName(QStringLiteral("cmdReload"));
    connect(cmdReload, &QPushButton::clicked, this, &SettingsArea::reloadRequested);
    row->addWidget(cmdReload);
    row->addStretch();
    // Where the host drops the files, opened in the file manager.
    dictionariesLink =
        new QLabel(QStringLiteral("<a href=\"folder\">%1</a>").arg(msg::OpenDictionaryFolder), box);
    dictionariesLink->setObjectName(QStringLiteral("dictionariesLink"));
    dictionariesLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(dictionariesLink, &QLabel::linkActivated, this, [] { openDictionaryFolder(); });
    row->addWidget(dictionariesLink);
    layout->addLayout(row);
    return box;
}

QFrame *SettingsArea::buildLobbyPanel()
{
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("picLobby"));
    panel->setFrameShape(QFrame::StyledPanel);
    paintAsPanel(panel);
    auto *layout = new QVBoxLayout(panel);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);

    txtPort = lineEdit(QStringLiteral("txtPort"), ServerSettings::PortLength, QStringLiteral("27064"), panel);
    txtPort->setMaximumWidth(100);
    txtRoomName =
        lineEdit(QStringLiteral("txtRoomName"), ServerSettings::RoomNameLength, msg::DefaultRoomName, panel);
    txtComment =
        lineEdit(QStringLiteral("txtComment"), ServerSettings::CommentLength, msg::DefaultComment, panel);
    txtPassword = lineEdit(QStringLiteral("txtPassword"), ServerSettings::PasswordLength, QString(), panel);
    txtPassword->setMaximumWidth(140);
    form->addRow(msg::PortCaption, txtPort);
    form->addRow(msg::RoomNameCaption, txtRoomName);
    form->addRow(msg::CommentCaption, txtComment);
    form->addRow(msg::PasswordCaption, txtPassword);

    auto *modeRow = new QHBoxLayout;
    m_gameModeGroup = new QButtonGroup(this);
    const QStringList gameModes = {msg::ProgramName, msg::ObscureTournamentName};
    for (int i = 0; i < 2; ++i) {
        optGameMode[i] = new QRadioButton(gameModes[i], panel);
        optGameMode[i]->setObjectName(QStringLiteral("optGameMode%1").arg(i));
        m_gameModeGroup->addButton(optGameMode[i], i);
        modeRow->addWidget(optGameMode[i]);
    }
    modeRow->addStretch();
    optGameMode[0]->setChecked(true);
    form->addRow(msg::GameModeCaption, modeRow);
    lobbyAddressEdit = new QLineEdit(panel);
    lobbyAddressEdit->setObjectName(QStringLiteral("lobbyAddressEdit"));
    lobbyAddressEdit->setPlaceholderText(QString::fromLatin1(DefaultLobbyAddress));
    lobbyAddressEdit->setToolTip(msg::LobbyServerTip);
    form->addRow(msg::LobbyServerCaption, lobbyAddressEdit);
    layout->addLayout(form);

    chkLobbyRegister = new QCheckBox(msg::RegisterWithLobby, panel);
    chkLobbyRegister->setObjectName(QStringLiteral("chkLobbyRegister"));
    chkLobbyRegister->setChecked(true);
    layout->addWidget(chkLobbyRegister);
    allowSameAddressBox = new QCheckBox(msg::AllowSameAddress, panel);
    allowSameAddressBox->setObjectName(QStringLiteral("allowSameAddressBox"));
    allowSameAddressBox->setToolTip(msg::AllowSameAddressTip);
    layout->addWidget(allowSameAddressBox);
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

    cmbPlayerMax = new QComboBox(panel);
    cmbPlayerMax->setObjectName(QStringLiteral("cmbPlayerMax"));
    for (int n = 3; n <= 8; ++n)
        cmbPlayerMax->addItem(msg::playerMaxItem(n));
    cmbRoundMax = new QComboBox(panel);
    cmbRoundMax->setObjectName(QStringLiteral("cmbRoundMax"));
    for (int n = 2; n <= 5; ++n)
        cmbRoundMax->addItem(msg::roundMaxItem(n));
    form->addRow(msg::PlayerMaxCaption, cmbPlayerMax);
    form->addRow(msg::RoundMaxCaption, cmbRoundMax);
    layout->addLayout(form);
    layout->addWidget(noteLabel(msg::GameCountNote, panel));
    layout->addSpacing(8);

    chkQuestionControl = new QCheckBox(msg::QuestionControlCaption, panel);
    chkQuestionControl->setObjectName(QStringLiteral("chkQuestionControl"));
    layout->addWidget(chkQuestionControl);
    layout->addWidget(noteLabel(msg::QuestionControlNote, panel));
    layout->addStretch();
    return panel;
}

void SettingsArea::chooseDictionaryMode(int k)
{
    if (k < 0 || k > 2) return;
    if (!optServer[k]->isChecked()) optServer[k]->setChecked(true);
    m_panels->setCurrent(k == 1   ? static_cast<QWidget *>(picLobby)
                         : k == 2 ? static_cast<QWidget *>(picGame)
                                  : static_cast<QWidget *>(fraQuestion));
}

ServerSettings SettingsArea::settings() const
{
    ServerSettings s;
    s.port = txtPort->text();
    s.password = txtPassword->text();
    s.roomName = txtRoomName->text();
    s.comment = txtComment->text();
    s.roundMaxIndex = cmbRoundMax->currentIndex();
    s.playerMaxIndex = cmbPlayerMax->currentIndex();
    s.questionControl = chkQuestionControl->isChecked();
    s.gameType = optGameMode[0]->isChecked() ? 0 : 1;
    s.lobbyRegister = chkLobbyRegister->isChecked();
    s.allowSameAddress = allowSameAddressBox->isChecked();
    s.dictionaryMode = qMax(0, m_modeGroup->checkedId());
    s.tickedDictionaries = tickedEntries();
    return s;
}

void SettingsArea::showSettings(const ServerSettings &s)
{
    txtPort->setText(s.port);
    txtRoomName->setText(s.roomName);
    txtComment->setText(s.comment);
    if (s.roundMaxIndex >= 0 && s.roundMaxIndex < cmbRoundMax->count())
        cmbRoundMax->setCurrentIndex(s.roundMaxIndex);
    if (s.playerMaxIndex >= 0 && s.playerMaxIndex < cmbPlayerMax->count())
        cmbPlayerMax->setCurrentIndex(s.playerMaxIndex);
    chkQuestionControl->setChecked(s.questionControl);
    txtPassword->setText(s.password);
    chkLobbyRegister->setChecked(s.lobbyRegister);
    allowSameAddressBox->setChecked(s.allowSameAddress);
    if (s.gameType >= 0 && s.gameType < int(optGameMode.size())) optGameMode[s.gameType]->setChecked(true);
    if (s.dictionaryMode >= 0 && s.dictionaryMode < int(optQuestion.size()))
        optQuestion[s.dictionaryMode]->setChecked(true);
}

void SettingsArea::setEntries(const QStringList &entries)
{
    const QSignalBlocker blocker(lstQuestion);
    lstQuestion->clear();
    for (const QString &entry : entries) {
        auto *item = new QListWidgetItem(entry, lstQuestion);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
}

void SettingsArea::setEntryTicked(const QString &entry, bool ticked)
{
    const QSignalBlocker blocker(lstQuestion);
    for (int i = 0; i < lstQuestion->count(); ++i) {
        if (lstQuestion->item(i)->text() == entry)
            lstQuestion->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void SettingsArea::setEntryWords(const QString &entry, int words, bool utf8)
{
    const QSignalBlocker blocker(lstQuestion);
    for (int i = 0; i < lstQuestion->count(); ++i) {
        QListWidgetItem *item = lstQuestion->item(i);
        if (item->text() != entry) continue;
        item->setData(WordsRole, words);
        item->setToolTip(utf8 ? msg::ReadAsUtf8 : msg::ReadAsCp932);
    }
}

QString SettingsArea::lobbyAddress() const
{
    return lobbyAddressEdit->text().trimmed();
}

void SettingsArea::showLobbyAddress(const QString &address, bool locked)
{
    lobbyAddressEdit->setText(address);
    lobbyAddressEdit->setReadOnly(locked);
    if (locked) lobbyAddressEdit->setToolTip(msg::LobbyOverrideTip);
}

void SettingsArea::showLobbyAddressBox()
{
    chooseDictionaryMode(1);
    lobbyAddressEdit->setFocus();
    lobbyAddressEdit->selectAll();
}

QStringList SettingsArea::tickedEntries() const
{
    QStringList out;
    for (int i = 0; i < lstQuestion->count(); ++i) {
        if (lstQuestion->item(i)->checkState() == Qt::Checked) out << lstQuestion->item(i)->text();
    }
    return out;
}

void SettingsArea::setRunning(bool running)
{
    cmdStartServer->setText(running ? msg::ReloadCaption : msg::StartServerCaption);
    chooseDictionaryMode(0);
    optServer[1]->setEnabled(!running);
    txtPort->setEnabled(!running);
    lobbyAddressEdit->setEnabled(!running);
}

void SettingsArea::onItemChanged(QListWidgetItem *item)
{
    emit entryToggled(item->text(), item->checkState() == Qt::Checked);
}

} // namespace zb
