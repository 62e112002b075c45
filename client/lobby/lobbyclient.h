#pragma once
#include <QObject>
namespace zb {
class LobbyClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};
} // namespace zb
