// Diagnostic only: preloaded into a server, turns Nagle's algorithm off on
// every accepted socket, to show what that one socket option is worth.
//   LD_PRELOAD=libnodelay_preload.so zbserver ...

#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

int noDelay(int fd)
{
    if (fd >= 0) {
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return fd;
}

} // namespace

extern "C" int accept(int s, sockaddr *a, socklen_t *l)
{
    using Fn = int (*)(int, sockaddr *, socklen_t *);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "accept"));
    return noDelay(real(s, a, l));
}

extern "C" int accept4(int s, sockaddr *a, socklen_t *l, int flags)
{
    using Fn = int (*)(int, sockaddr *, socklen_t *, int);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "accept4"));
    return noDelay(real(s, a, l, flags));
}
