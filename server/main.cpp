#include "version.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("zbserver %s\n", zb::ProtocolVersion);
    return 0;
}
