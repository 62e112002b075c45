#include "version.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("zblobby %s\n", zb::ProtocolVersion);
    return 0;
}
