#pragma once

#include <QFrame>

class QSplitter;

namespace zb {

class CanvasMirror;

// The picture mirror under the room's parts: the palette beside the picture
// as it is drawn, on grey. Showing it makes room in the window: the window
// grows by the pane's height, never past the bottom of the screen, and the
// splitter above shares out the height the window gets. Hiding gives that
// height back instead of handing it to the parts above.
class MirrorPane : public QFrame {
    Q_OBJECT
  public:
    // `split` holds the room's parts and then the pane; `window` holds the split.
    MirrorPane(QSplitter *split, QWidget *window);

    CanvasMirror *mirror() const { return m_mirror; }

    void setMirrorShown(bool show);
    // The window changed size: shares the height out again when the window
    // manager settled a size other than the one asked for.
    void windowResized();

  signals:
    // The parts above give up height for the mirror (true) or take it back.
    void makingRoom(bool on);

  private:
    // The picture takes what it can use, up to its own size; the rest stays above.
    void fit();

    QSplitter *m_split;
    QWidget *m_window;
    CanvasMirror *m_mirror = nullptr;
    int m_heightBeforeMirror = 0;
    bool m_fitPending = false;
};

} // namespace zb
