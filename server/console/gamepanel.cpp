#include "server/console/gamepanel.h"

#include "server/console/panelstyle.h"
#include "server/core/serversettings.h"
#include "server/texts/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zb {

GamePanel::GamePanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("picGame"));
    setFrameShape(QFrame::StyledPanel);
    paintAsPanel(this);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;

    m_playerMaxCombo = new QComboBox(this);
    m_playerMaxCombo->setObjectName(QStringLiteral("cmbPlayerMax"));
    for (int n = 3; n <= 8; ++n)
        m_playerMaxCombo->addItem(msg::playerMaxItem(n));
    m_roundMaxCombo = new QComboBox(this);
    m_roundMaxCombo->setObjectName(QStringLiteral("cmbRoundMax"));
    for (int n = 2; n <= 5; ++n)
        m_roundMaxCombo->addItem(msg::roundMaxItem(n));
    form->addRow(msg::PlayerMaxCaption, m_playerMaxCombo);
    form->addRow(msg::RoundMaxCaption, m_roundMaxCombo);
    layout->addLayout(form);
    layout->addWidget(noteLabel(msg::GameCountNote, this));
    layout->addSpacing(8);

    m_noRepeatBox = new QCheckBox(msg::QuestionControlCaption, this);
    m_noRepeatBox->setObjectName(QStringLiteral("chkQuestionControl"));
    layout->addWidget(m_noRepeatBox);
    layout->addWidget(noteLabel(msg::QuestionControlNote, this));
    layout->addStretch();
}

void GamePanel::fillSettings(ServerSettings &s) const
{
    s.roundMaxIndex = m_roundMaxCombo->currentIndex();
    s.playerMaxIndex = m_playerMaxCombo->currentIndex();
    s.questionControl = m_noRepeatBox->isChecked();
}

void GamePanel::showSettings(const ServerSettings &s)
{
    // Indexes out of range leave the choice as it is.
    if (s.roundMaxIndex >= 0 && s.roundMaxIndex < m_roundMaxCombo->count())
        m_roundMaxCombo->setCurrentIndex(s.roundMaxIndex);
    if (s.playerMaxIndex >= 0 && s.playerMaxIndex < m_playerMaxCombo->count())
        m_playerMaxCombo->setCurrentIndex(s.playerMaxIndex);
    m_noRepeatBox->setChecked(s.questionControl);
}

} // namespace zb
