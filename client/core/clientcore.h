#pragma once
#include <QObject>
namespace zb {
class ClientCore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};
} // namespace zb
