#pragma once

#include <QPoint>
#include <QWidget>

class QLabel;

namespace zb {

// The floating word window: borderless, above all other windows, moved by dragging its label.
class QuestionWindow : public QWidget {
    Q_OBJECT
  public:
    explicit QuestionWindow(QWidget *parent = nullptr);
    void setWord(const QString &text); // the label's text
    QString word() const;
    void placeBeside(QWidget *gameWindow); // 80 px from the game window's corner

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QLabel *m_wordLabel = nullptr;
    bool m_dragging = false;
    QPoint m_pressOffset; // press position within the window
};

} // namespace zb
