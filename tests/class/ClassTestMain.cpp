// Test entry of the class-server tests: a throw-away PostgreSQL server of
// their own (pg_virtualenv, on a free port so that other runs at the same
// time do not meet it), then GoogleTest inside it.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A TCP port nothing listens on now.
int freePort()
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

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("TERVALO_PG_VIRTUALENV")) {
        const int port = freePort();
        if (port <= 0) {
            std::fprintf(stderr, "no free port for the test server\n");
            return 1;
        }
        setenv("TERVALO_PG_VIRTUALENV", "1", 1);
        setenv("PGPORT", std::to_string(port).c_str(), 1);
        std::vector<char *> args{const_cast<char *>("pg_virtualenv"), const_cast<char *>("-t")};
        for (int k = 0; k < argc; ++k)
            args.push_back(argv[k]);
        args.push_back(nullptr);
        execvp("pg_virtualenv", args.data());
        std::perror("pg_virtualenv (Debian package postgresql-common)");
        return 1;
    }
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
