#include "settingsarea.h"

#include "desktop.h"
#include "helplinks.h"

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
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zb {

namespace {

QLabel *linkLabel(const QString &name, const QString &text, const QString &section, bool wrap,
                  QWidget *parent)
{
    auto *label =
        new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(section, text.toHtmlEscaped()), parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setWordWrap(wrap);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [](const QString &link) { OpenUrl(helpPageUrl(link)); });
    return label;
}

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
    const QStringList panelNames = {QStringLiteral("追加辞書設定"), QStringLiteral("サーバー設定"),
                                    QStringLiteral("ゲーム設定")};
    for (int k = 0; k < 3; ++k) {
        optServer[k] = new QRadioButton(panelNames[k], this);
        optServer[k]->setObjectName(QStringLiteral("optServer%1").arg(k));
        m_panelGroup->addButton(optServer[k], k);
        switchRow->addWidget(optServer[k]);
    }
    switchRow->addStretch();
    layout->addLayout(switchRow);

    auto *panels = new QGridLayout;
    fraQuestion = buildDictionaryPanel();
    picLobby = buildLobbyPanel();
    picGame = buildGamePanel();
    panels->addWidget(fraQuestion, 0, 0);
    panels->addWidget(picLobby, 0, 0);
    panels->addWidget(picGame, 0, 0);
    // The area keeps one size whichever panel shows.
    const int height = qMax(fraQuestion->sizeHint().height(),
                            qMax(picLobby->sizeHint().height(), picGame->sizeHint().height()));
    for (QWidget *panel : {static_cast<QWidget *>(fraQuestion), static_cast<QWidget *>(picLobby),
                           static_cast<QWidget *>(picGame)})
        panel->setMinimumHeight(height);
    layout->addLayout(panels, 1);

    cmdStartServer = new QPushButton(QStringLiteral("サーバー開始"), this);
    cmdStartServer->setObjectName(QStringLiteral("cmdStartServer"));
    cmdStartServer->setMinimumHeight(44);
    QFont bold = cmdStartServer->font();
    bold.setBold(true);
    cmdStartServer->setFont(bold);
    layout->addWidget(cmdStartServer);

    connect(m_panelGroup, &QButtonGroup::idClicked, this, &SettingsArea::optServer_Click);
    connect(cmdStartServer, &QPushButton::clicked, this, &SettingsArea::startRequested);
    optServer[0]->setChecked(true);
    optServer_Click(0);
}

QGroupBox *SettingsArea::buildDictionaryPanel()
{
    auto *box = new QGroupBox(QStringLiteral("お題オプション"), this);
    box->setObjectName(QStringLiteral("fraQuestion"));
    paintAsPanel(box);
    auto *layout = new QVBoxLayout(box);

    m_modeGroup = new QButtonGroup(this);
    const QStringList modes = {
        QStringLiteral("内蔵辞書のみ"), QStringLiteral("追加辞書のみ"), QStringLiteral("内蔵辞書 + 追加辞書"),
        QStringLiteral("内蔵辞書 + 追加辞書（高確率化）"), QStringLiteral("内蔵辞書（高確率化） + 追加辞書")};
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

    layout->addWidget(new QLabel(QStringLiteral("使用する追加辞書（*.zbq）"), box));
    lstQuestion = new QListWidget(box);
    lstQuestion->setObjectName(QStringLiteral("lstQuestion"));
    layout->addWidget(lstQuestion, 1);
    connect(lstQuestion, &QListWidget::itemChanged, this, &SettingsArea::onItemChanged);

    auto *row = new QHBoxLayout;
    cmdReload = new QPushButton(QStringLiteral("辞書再検索"), box);
    cmdReload->setObjectName(QStringLiteral("cmdReload"));
    connect(cmdReload, &QPushButton::clicked, this, &SettingsArea::reloadRequested);
    row->addWidget(cmdReload);
    row->addStretch();
    Label5 = linkLabel(QStringLiteral("Label5"), QStringLiteral("追加辞書の入手（ブラウザで開きます）"),
                       DictionariesSection, false, box);
    row->addWidget(Label5);
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
    txtRoomName = lineEdit(QStringLiteral("txtRoomName"), ServerSettings::RoomNameLength,
                           QStringLiteral("名無しサーバー"), panel);
    txtComment =
        lineEdit(QStringLiteral("txtComment"), ServerSettings::CommentLength, QStringLiteral("無し"), panel);
    txtPassword = lineEdit(QStringLiteral("txtPassword"), ServerSettings::PasswordLength, QString(), panel);
    txtPassword->setMaximumWidth(140);
    form->addRow(QStringLiteral("使用ポート"), txtPort);
    form->addRow(QStringLiteral("サーバー名"), txtRoomName);
    form->addRow(QStringLiteral("コメント"), txtComment);
    form->addRow(QStringLiteral("パスワード"), txtPassword);

    auto *modeRow = new QHBoxLayout;
    m_gameModeGroup = new QButtonGroup(this);
    const QStringList gameModes = {QStringLiteral("ゼンブリル"), QStringLiteral("おぼろげ大会")};
    for (int i = 0; i < 2; ++i) {
        optGameMode[i] = new QRadioButton(gameModes[i], panel);
        optGameMode[i]->setObjectName(QStringLiteral("optGameMode%1").arg(i));
        m_gameModeGroup->addButton(optGameMode[i], i);
        modeRow->addWidget(optGameMode[i]);
    }
    modeRow->addStretch();
    optGameMode[0]->setChecked(true);
    form->addRow(QStringLiteral("ゲームモード"), modeRow);
    layout->addLayout(form);

    chkLobbyRegister = new QCheckBox(QStringLiteral("ロビーサーバーにこのサーバーを登録する"), panel);
    chkLobbyRegister->setObjectName(QStringLiteral("chkLobbyRegister"));
    chkLobbyRegister->setChecked(true);
    layout->addWidget(chkLobbyRegister);
    Label3 = linkLabel(
        QStringLiteral("Label3"),
        QStringLiteral("指定ポートに接続可能か調べるポートチェッカーはこちら（ブラウザで開きます）"),
        PortsSection, true, panel);
    layout->addWidget(Label3);
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
        cmbPlayerMax->addItem(QStringLiteral("%1人").arg(n));
    cmbRoundMax = new QComboBox(panel);
    cmbRoundMax->setObjectName(QStringLiteral("cmbRoundMax"));
    for (int n = 2; n <= 5; ++n)
        cmbRoundMax->addItem(QStringLiteral("%1回").arg(n));
    form->addRow(QStringLiteral("プレイヤー上限"), cmbPlayerMax);
    form->addRow(QStringLiteral("ラウンド数"), cmbRoundMax);
    layout->addLayout(form);
    layout->addWidget(noteLabel(
        QStringLiteral("※ゲーム回数はプレイヤー数×ラウンド数になります。例：8人で3ラウンドだと24ゲーム"),
        panel));
    layout->addSpacing(8);

    chkQuestionControl = new QCheckBox(QStringLiteral("乱数を制御して同じお題を出なくする"), panel);
    chkQuestionControl->setObjectName(QStringLiteral("chkQuestionControl"));
    layout->addWidget(chkQuestionControl);
    layout->addWidget(noteLabel(
        QStringLiteral(
            "※すべてのお題が出尽くすまで、同じお題は出現しません。すべてのお題が出尽くすか、辞書の再読込を"
            "すると再び同じ問題がでます。また、高確率設定にしている場合は同じお題が2回でるようになります。"),
        panel));
    layout->addStretch();
    return panel;
}

void SettingsArea::optServer_Click(int k)
{
    if (k < 0 || k > 2) return;
    if (!optServer[k]->isChecked()) optServer[k]->setChecked(true);
    picLobby->setVisible(k == 1);
    picGame->setVisible(k == 2);
    // The dictionary page lies beneath the other two and shows when neither does.
    fraQuestion->setVisible(k == 0);
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
    cmdStartServer->setText(running ? QStringLiteral("辞書の再読込\nゲーム設定変更")
                                    : QStringLiteral("サーバー開始"));
    optServer_Click(0);
    optServer[1]->setEnabled(!running);
    txtPort->setEnabled(!running);
}

void SettingsArea::onItemChanged(QListWidgetItem *item)
{
    emit entryToggled(item->text(), item->checkState() == Qt::Checked);
}

} // namespace zb
