// The console on a 1366 × 768 screen less a 40 px panel (the screen of this
// test): every control in the window at its least size, the mirror on screen.
#include "tests/console/consolefixture.h"

#include <QScreen>

using namespace zb;

namespace {

// Shown widgets, `within` and below it, that stick out of the window or of a
// widget around them (a scrolled column, a panel cut short).
QStringList cutOff(const QWidget *window, QWidget *within)
{
    const auto rectOf = [window](const QWidget *w) {
        return w == window ? w->rect() : QRect(w->mapTo(window, QPoint(0, 0)), w->size());
    };
    QStringList out;
    const QList<QWidget *> widgets = within->findChildren<QWidget *>() << within;
    for (const QWidget *w : widgets) {
        for (const QWidget *a = w->parentWidget(); w->isVisibleTo(window) && a; a = a->parentWidget()) {
            if (!rectOf(a).contains(rectOf(w)))
                out << w->objectName() + QStringLiteral(" in ") + a->objectName();
            if (a == window) break;
        }
    }
    return out;
}

} // namespace

class TestConsoleFit : public ConsoleFixture {
    Q_OBJECT
  private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDown(); }

    void everyControlInsideAtTheLeastSize();
    void mirrorFitsTheScreen();
};

void TestConsoleFit::everyControlInsideAtTheLeastSize()
{
    makeConsole();
    const QSize least = m_console->minimumSize();
    QVERIFY2(least.width() <= 1024 && least.height() <= 640, qPrintable(QVariant(least).toString()));
    m_console->resize(least);
    // Each settings panel, then the running room's.
    for (int k = 0; k < 4; ++k) {
        if (k < 3)
            widget<QRadioButton>("optServer", k)->click();
        else
            startServer();
        m_console->layout()->activate();
        QCOMPARE(m_console->size(), least);
        QCOMPARE(cutOff(m_console.get(), m_console.get()), QStringList());
    }
}

void TestConsoleFit::mirrorFitsTheScreen()
{
    makeConsole();
    startServer();
    const QRect screen = m_console->screen()->availableGeometry();
    QCOMPARE(screen.size(), QSize(1366, 728));
    widget<QCheckBox>("chkPictureView")->click();
    auto *mirror = widget<CanvasMirror>("picMain");
    // Smaller than 640 × 480 in their proportions (the picture keeps its pixels),
    // large enough to follow a drawing.
    QTRY_VERIFY(mirror->pictureRect().height() >= 300);
    const QRect shown = mirror->pictureRect();
    QVERIFY(shown.height() < CanvasHeight && qAbs(shown.width() * 3 - shown.height() * 4) <= 4);
    QVERIFY(screen.contains(m_console->frameGeometry()));
    for (const char *name : {"txtState", "txtSend", "picBack"})
        QCOMPARE(cutOff(m_console.get(), widget<QWidget>(name)), QStringList());
}

QTEST_MAIN(TestConsoleFit)
#include "tst_consolefit.moc"
