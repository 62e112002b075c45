#pragma once
#include <QWidget>
namespace zb {
class GameWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};
} // namespace zb
