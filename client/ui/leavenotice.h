#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QPushButton;

namespace zb {

// Why the player left the room, over the middle of the canvas: a title, the
// reason in plain words and a close button. An ordinary child widget, so the
// game window stays in use while it is shown.
class LeaveNotice : public QFrame {
    Q_OBJECT
  public:
    // Centred over `area`, following its place and size.
    explicit LeaveNotice(QWidget *area);

    void showReason(const QString &reason);
    QString reason() const;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void followArea();

    QPointer<QWidget> m_area;
    QLabel *m_reasonLabel = nullptr;
    QPushButton *m_closeButton = nullptr;
};

} // namespace zb
