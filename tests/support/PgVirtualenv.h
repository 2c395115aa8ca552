#pragma once
// A throw-away PostgreSQL server for a test or benchmark program: the
// program starts itself again inside pg_virtualenv (Debian's
// postgresql-common), on a loopback port nothing listens on, so that other
// runs at the same time do not meet it. Inside, PGHOST/PGPORT/PGUSER name
// the server.
//
//   int main(int argc, char **argv) {
//       if (!tervalo::test::insidePgVirtualenv(argc, argv)) return 1; // could not start
//       ...
//   }

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tervalo::test {

// A TCP port nothing listens on now; 0 when none could be had.
inline int freeLoopbackPort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && getsockname(s, reinterpret_cast<sockaddr *>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        close(s);
    return port;
}

// True inside the server's environment. Outside it the program is started
// again inside one and this returns only when that cannot be done (false,
// and why on stderr).
inline bool insidePgVirtualenv(int argc, char **argv)
{
    if (std::getenv("TERVALO_PG_VIRTUALENV"))
        return true;
    const int port = freeLoopbackPort();
    if (port <= 0) {
        std::fprintf(stderr, "no free port for the test server\n");
        return false;
    }
    setenv("TERVALO_PG_VIRTUALENV", "1", 1);
    setenv("PGPORT", std::to_string(port).c_str(), 1);
    std::vector<char *> args{const_cast<char *>("pg_virtualenv"), const_cast<char *>("-t")};
    for (int k = 0; k < argc; ++k)
        args.push_back(argv[k]);
    args.push_back(nullptr);
    execvp("pg_virtualenv", args.data());
    std::perror("pg_virtualenv (Debian package postgresql-common)");
    return false;
}

} // namespace tervalo::test
