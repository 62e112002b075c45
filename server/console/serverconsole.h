#pragma once
#include <QWidget>
namespace zb {
class ServerConsole : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};
} // namespace zb
