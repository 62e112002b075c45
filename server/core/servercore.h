#pragma once
#include <QObject>
namespace zb {
class ServerCore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};
} // namespace zb
