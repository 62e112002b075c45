#pragma once

#include <QString>

namespace zb {

// A host and port as people type them: "host", "host:port" or "[v6]:port".
struct HostPort {
    QString host;     // without brackets
    quint16 port = 0; // 0 when the text named none and no default was given
    bool ok = false;
};

// What a caller accepts beyond "host:port".
struct HostPortRules {
    // A text without a port is refused unless this is set; it then gets defaultPort (0: none).
    bool portOptional = false;
    quint16 defaultPort = 0;
    // "h:5:6" reads as "h:5" instead of being refused: lobby addresses have
    // always been read up to the port, so stored settings may carry more.
    bool ignoreExtraPieces = false;
    // For addresses that arrive from outside (links, chat): no blanks, and the
    // host is a DNS name, an IPv4 address or a bracketed IPv6 address without scope.
    bool strict = false;
};

// A bracketed host must be an IPv6 address, a bare IPv6 address is refused (its
// colons cannot be told from the port's), and a port is 1 to 65535 in ASCII digits.
HostPort parseHostPort(const QString &text, const HostPortRules &rules = {});

} // namespace zb
