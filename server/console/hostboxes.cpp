#include "server/console/hostboxes.h"

#include <QMessageBox>

namespace zb {

void HostBoxes::ask(const QString &text, int buttons, std::function<void(int)> done) const
{
    auto *box =
        new QMessageBox(QMessageBox::NoIcon, m_title, text, QMessageBox::StandardButtons(buttons), m_window);
    // Messages quote file names and settings: text, not markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, m_window, [box, done] {
        if (!done) return;
        QAbstractButton *clicked = box->clickedButton();
        done(clicked ? int(box->standardButton(clicked)) : int(QMessageBox::NoButton));
    });
    box->open();
}

void HostBoxes::tell(const QStringList &texts) const
{
    if (texts.isEmpty()) return;
    QString text = texts.first();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList rest = texts.mid(1);
    const HostBoxes boxes = *this;
    ask(text, QMessageBox::Ok, [boxes, rest](int) { boxes.tell(rest); });
}

} // namespace zb
