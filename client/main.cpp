#include "version.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::printf("zembrill %s\n", zb::ProtocolVersion);
    return 0;
}
