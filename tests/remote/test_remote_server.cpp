// The remote lab's server against Qt's own clients: roles and actions, the
// reply codes, bad requests, the live socket and who drives.
#include "RemoteFixture.h"

#include <QJsonArray>

using namespace tervalo::remote;

namespace {

QJsonObject experimentFile()
{
    QJsonArray rules;
    for (int r = 0; r < 7; ++r) {
        QJsonArray row;
        for (int c = 0; c < 7; ++c)
            row.append(QStringLiteral("ZE"));
        rules.append(row);
    }
    return QJsonObject{{"format", "tervalo-experiment"},
                       {"version", 1},
                       {"mode", "simulation"},
                       {"controller", "PI"},
                       {"gains", QJsonObject{{"kp", 0.5}, {"ki", 0.2}, {"kd", 0}}},
                       {"divisors", QJsonObject{{"error", 2}, {"output", 10}}},
                       {"reference", 1500},
                       {"rules", rules},
                       {"test_program", QJsonArray()}};
}

} // namespace

class RemoteServerTest : public RemoteFixture { };

TEST_F(RemoteServerTest, ServesThePageAndTheStateToACode)
{
    serve();
    const Http page = get(QStringLiteral("/"));
    EXPECT_EQ(page.status, 200);
    const Http state = get(QStringLiteral("/api/state"), kViewer);
    ASSERT_EQ(state.status, 200);
    const QJsonObject s = state.body();
    EXPECT_EQ(s["mode"].toString(), "simulation");
    EXPECT_EQ(s["controller"].toString(), "P");
    EXPECT_DOUBLE_EQ(s["gains"]["kp"].toDouble(), 0.5);
    EXPECT_TRUE(s["gains"]["kd"].isNull());
    EXPECT_TRUE(s["driver"].isNull());
    EXPECT_EQ(s["you"]["role"].toString(), "viewer");
    EXPECT_EQ(get(QStringLiteral("/api/state")).status, 401);
    EXPECT_EQ(get(QStringLiteral("/api/state"), "no-such-code-0000000").status, 401);
    // the code may come in the query as well
    EXPECT_EQ(get(QStringLiteral("/api/state?code=") + QLatin1String(kCem)).body()["you"].toObject()["name"].toString(),
              "Cem");
}

TEST_F(RemoteServerTest, LiveSocketGetsStateThenSamples)
{
    serve();
    auto viewer = live(kViewer);
    ASSERT_EQ(viewer->count("state"), 1) << viewer->closeCode;
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    ASSERT_EQ(act(kBora, "start").status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer->count("sample") >= 3; }, 5000));
    const QJsonObject sample = *std::find_if(viewer->messages.begin(), viewer->messages.end(),
                                             [](const QJsonObject &m) { return m["type"] == QLatin1String("sample"); });
    for (const char *key : {"cycle", "time", "reference", "output", "error", "actuator", "sentAt"})
        EXPECT_TRUE(sample[key].isDouble()) << key;
    EXPECT_GT(sample["sentAt"].toDouble(), 1.6e12);
    EXPECT_EQ(lab.lastNote, "driven remotely by Bora");
}

// Every action from every kind of caller, Bora driving: who may take it.
TEST_F(RemoteServerTest, EachRoleAgainstEachAction)
{
    struct Row {
        const char *action;
        QJsonObject args;
        int viewer, idleStudent, driver, instructor;
    };
    const std::vector<Row> rows = {
        {"request-control", {}, 403, 200, 200, 200},
        {"release-control", {}, 403, 200, 200, 200},
        {"select", {{"mode", "simulation"}, {"controller", "PI"}}, 403, 403, 200, 403},
        {"gains", {{"kp", 0.625}}, 403, 403, 200, 403},
        {"reference", {{"rpm", 1200}}, 403, 403, 200, 403},
        {"divisors", {{"error", 3}, {"output", 9}}, 403, 403, 200, 403},
        {"rule", {{"cell", 0}, {"term", "ZE"}}, 403, 403, 200, 403},
        {"actuator", {{"value", 100}}, 403, 403, 200, 403},
        {"start", {}, 403, 403, 200, 403},
        {"stop", {}, 403, 403, 200, 200},
        {"experiment", {{"file", experimentFile()}}, 403, 403, 200, 403},
        {"take-control", {}, 403, 403, 403, 200},
        {"end-slot", {}, 403, 403, 403, 200},
    };
    ASSERT_EQ(rows.size(), kActionCount);
    options.commandsPerSecond = 1000;
    serve();
    for (const Row &row : rows) {
        const std::pair<const char *, int> callers[] = {{nullptr, 401},        {"unknown-code-0123456", 401},
                                                        {kViewer, row.viewer}, {kCem, row.idleStudent},
                                                        {kBora, row.driver},   {kAda, row.instructor}};
        for (const auto &[code, expected] : callers) {
            // back to Bora driving, no one queued, no run
            lab.stop();
            for (const char *c : {kAda, kBora, kCem})
                act(c, "release-control");
            ASSERT_EQ(act(kBora, "request-control").status, 200);
            const Http reply = act(code, row.action, row.args);
            EXPECT_EQ(reply.status, expected)
                << row.action << " by " << (code ? code : "no code") << ": " << reply.raw.toStdString();
            EXPECT_EQ(reply.body()["ok"].toBool(), expected == 200) << row.action;
        }
    }
}

TEST_F(RemoteServerTest, TheDriversCommandsReachTheLab)
{
    serve();
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    ASSERT_EQ(act(kBora, "select", {{"controller", "PID"}}).status, 200);
    ASSERT_EQ(act(kBora, "gains", {{"kp", 0.15}, {"ki", 0.125}, {"kd", 0.001}}).status, 200);
    ASSERT_EQ(act(kBora, "reference", {{"rpm", 1800}}).status, 200);
    ASSERT_EQ(act(kBora, "divisors", {{"output", 7}}).status, 200);
    ASSERT_EQ(act(kBora, "rule", {{"cell", 48}, {"term", 6}}).status, 200);
    const QJsonObject s = state();
    EXPECT_EQ(s["controller"].toString(), "PID");
    EXPECT_DOUBLE_EQ(s["gains"]["kp"].toDouble(), 0.15);
    EXPECT_DOUBLE_EQ(s["gains"]["ki"].toDouble(), 0.125);
    EXPECT_DOUBLE_EQ(s["gains"]["kd"].toDouble(), 0.001);
    EXPECT_EQ(s["reference"].toInt(), 1800);
    EXPECT_EQ(s["divisors"]["error"].toInt(), 2);
    EXPECT_EQ(s["divisors"]["output"].toInt(), 7);
    EXPECT_EQ(lab.rules[48], 6);
    EXPECT_EQ(s["driver"].toString(), "Bora");
}

// Requests the server answers 400 (or another refusal) without touching the lab.
TEST_F(RemoteServerTest, BadCommandsAreRefusedWithTheirReason)
{
    struct Row {
        const char *name;
        QByteArray body;
        int status;
        const char *error; // a part of the error text
    };
    const std::vector<Row> rows = {
        {"malformed JSON", "{\"action\": \"gains\", ", 400, "not JSON"},
        {"no object", "[1, 2]", 400, "not a JSON object"},
        {"no action", "{}", 400, "action: missing"},
        {"unknown action", R"({"action": "explode"})", 400, "action: unknown"},
        {"action of wrong type", R"({"action": 7})", 400, "action: unknown"},
        {"unknown key", R"({"action": "reference", "rpm": 1000, "speed": 3})", 400, "speed: unknown key"},
        {"gain as text", R"({"action": "gains", "kp": "1"})", 400, "kp: not a number"},
        {"gain over its bar", R"({"action": "gains", "kp": 99})", 400, "kp: 99 is outside 0..1.2"},
        {"negative gain", R"({"action": "gains", "kp": -0.5})", 400, "outside"},
        {"gain off the steps", R"({"action": "gains", "kp": 0.0005})", 400, "steps of 0.001"},
        {"gain the law has not", R"({"action": "gains", "kd": 1})", 400, "kd: the P controller has no such gain"},
        {"no gain", R"({"action": "gains"})", 400, "missing"},
        {"reference below", R"({"action": "reference", "rpm": 10})", 400, "rpm: 10 is outside 500..2000"},
        {"reference fraction", R"({"action": "reference", "rpm": 1000.5})", 400, "rpm: not a whole number"},
        {"reference missing", R"({"action": "reference"})", 400, "rpm: not a whole number"},
        {"divisor above", R"({"action": "divisors", "error": 21})", 400, "error: 21 is outside 1..20"},
        {"rule cell outside", R"({"action": "rule", "cell": 49, "term": "ZE"})", 400, "cell: 49 is outside 0..48"},
        {"rule term unknown", R"({"action": "rule", "cell": 1, "term": "XX"})", 400, "term: not one of"},
        {"actuator above", R"({"action": "actuator", "value": 5000})", 400, "value: 5000 is outside 0..4095"},
        {"mode unknown", R"({"action": "select", "mode": "turbo"})", 400, "mode: neither"},
        {"controller unknown", R"({"action": "select", "controller": "PIDD"})", 400, "controller: not one of"},
        {"mode not offered", R"({"action": "select", "mode": "open"})", 403, "not offered remotely"},
        {"experiment refused", R"({"action": "experiment", "file": {"format": "x"}})", 400, "format"},
        {"experiment of wrong type", R"({"action": "experiment", "file": 3})", 400, "file: neither"},
    };
    options.commandsPerSecond = 1000; // the table is sent faster than the rate limit, tried on its own
    serve();
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    auto setUp = [this] {
        QJsonObject s = state();
        s.remove(QStringLiteral("slotEndsIn"));
        return s;
    };
    const QJsonObject before = setUp();
    for (const Row &row : rows) {
        const Http reply = postRaw(kBora, row.body);
        EXPECT_EQ(reply.status, row.status) << row.name;
        EXPECT_FALSE(reply.body()["ok"].toBool()) << row.name;
        EXPECT_TRUE(reply.body()["error"].toString().contains(QLatin1String(row.error)))
            << row.name << ": " << reply.raw.toStdString();
        QTest::qWait(60); // well below 20 commands a second, counted with the request for control
    }
    EXPECT_EQ(setUp(), before);
}

TEST_F(RemoteServerTest, MoreThanTwentyCommandsASecondFromOneCode)
{
    serve();
    // sent together, so that they arrive within a second however slow the build
    QNetworkRequest r(url(QStringLiteral("/api/command")));
    r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    r.setRawHeader("Authorization", QByteArray("Bearer ") + kCem);
    std::vector<QNetworkReply *> replies;
    for (int i = 0; i < 21; ++i)
        replies.push_back(net.post(r, QByteArray(R"({"action": "request-control"})")));
    int refused = 0;
    for (QNetworkReply *reply : replies)
        refused += finish(reply).status == 429;
    EXPECT_EQ(refused, 1);
    // another code is counted on its own
    EXPECT_EQ(act(kBora, "request-control").status, 200);
    QTest::qWait(1050);
    EXPECT_EQ(act(kCem, "request-control").status, 200);
}

// What the connection guard answers before the HTTP server reads a byte.
TEST_F(RemoteServerTest, RequestsPastTheLimitsAreRefusedOnTheWire)
{
    serve();
    struct Row {
        const char *name;
        QByteArray bytes;
        const char *status; // the reply's status line starts so
    };
    const QByteArray big(20 * 1024, 'x');
    const std::vector<Row> rows = {
        {"body over 16 KiB", "POST /api/command HTTP/1.1\r\nHost: x\r\nContent-Length: 20480\r\n\r\n" + big,
         "HTTP/1.1 413"},
        {"headers over 8 KiB", "GET /api/state HTTP/1.1\r\nX-Pad: " + QByteArray(9000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431"},
        {"chunked body",
         "POST /api/command HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         "HTTP/1.1 411"},
        {"length no number", "POST /api/command HTTP/1.1\r\nHost: x\r\nContent-Length: many\r\n\r\n", "HTTP/1.1 400"},
        {"traversal in assets", "GET /assets/../../remote/RemoteServer.cpp HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 404"},
        {"encoded traversal", "GET /assets/%2e%2e%2f%2e%2e%2fCMakeLists.txt HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 404"},
        {"traversal in runs",
         "GET /api/runs/..%2f..%2fetc%2fpasswd?code=viewer-code-0123456789 HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 404"},
        {"run that is no UUID", "GET /api/runs/abc.csv?code=viewer-code-0123456789 HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 404"},
        {"unknown page", "GET /etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 404"},
    };
    for (const Row &row : rows) {
        const QByteArray got = raw(row.bytes, 3000);
        EXPECT_TRUE(got.startsWith(row.status)) << row.name << ": " << got.left(200).toStdString();
    }
    // the page's own files are served by name
    EXPECT_TRUE(raw("GET /assets/uPlot.iife.min.js HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                    .startsWith("HTTP/1.1 200"));
}

TEST_F(RemoteServerTest, ASlowClientIsDropped)
{
    serve();
    for (const QByteArray &start : {QByteArray(), QByteArray("GET /api/state HTTP/1.1\r\nHost: x\r\n"),
                                    QByteArray("POST /api/command HTTP/1.1\r\nContent-Length: 100\r\n\r\n{")}) {
        bool closed = false;
        const QByteArray got = raw(start, 3000, &closed);
        EXPECT_TRUE(closed) << start.toStdString();
        EXPECT_TRUE(got.isEmpty()) << got.toStdString();
    }
}

TEST_F(RemoteServerTest, PastTheConnectionCapTheAnswerIs503)
{
    config.connections = 2;
    options.requestTime = std::chrono::milliseconds(5000);
    serve();
    QTcpSocket a, b;
    for (QTcpSocket *s : {&a, &b}) {
        s->connectToHost(QHostAddress::LocalHost, server->port());
        ASSERT_TRUE(s->waitForConnected(2000));
    }
    QTest::qWait(100);
    EXPECT_TRUE(raw("GET /api/state HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 503"));
    a.abort();
    QTest::qWait(200);
    EXPECT_EQ(get(QStringLiteral("/api/state"), kViewer).status, 200);
}

TEST_F(RemoteServerTest, LiveSocketRefusesUnknownCodesAndOtherSites)
{
    serve();
    EXPECT_EQ(live(nullptr)->closeCode, 4401);
    EXPECT_EQ(live("wrong-code-0123456789")->closeCode, 4401);
    EXPECT_EQ(live(kViewer, QStringLiteral("http://evil.example"))->closeCode, 4403);
    const QString own = QStringLiteral("http://127.0.0.1:%1").arg(server->port());
    EXPECT_EQ(live(kViewer, own)->count("state"), 1);
    config.origins = {QStringLiteral("https://lab.example.edu")};
    serve();
    EXPECT_EQ(live(kViewer, QStringLiteral("https://lab.example.edu"))->count("state"), 1);
}

TEST_F(RemoteServerTest, OpenViewingNeedsNoCodeToWatch)
{
    ConfigError why;
    ASSERT_TRUE(parseRemoteConfig(R"({"format": "tervalo-remote", "version": 1, "viewing": "open",
        "students": [{"name": "Bora", "code": "bora-code-0123456789"}]})",
                                  config, why));
    serve();
    EXPECT_EQ(get(QStringLiteral("/api/state")).status, 200);
    EXPECT_EQ(live(nullptr)->count("state"), 1);
    EXPECT_EQ(act(nullptr, "request-control").status, 401);
    EXPECT_EQ(get(QStringLiteral("/api/state"), "wrong-code-0123456789").status, 401);
}

// START returns only when the run ends; the reply must not wait for it.
TEST_F(RemoteServerTest, StartIsAnsweredBeforeTheRunEnds)
{
    lab.nested = true;
    serve();
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    QNetworkRequest r(url(QStringLiteral("/api/command")));
    r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    r.setRawHeader("Authorization", QByteArray("Bearer ") + kBora);
    QNetworkReply *reply = net.post(r, QByteArray(R"({"action": "start"})"));
    bool runningWhenAnswered = false;
    QObject::connect(reply, &QNetworkReply::finished, [&] {
        runningWhenAnswered = lab.v.running;
        lab.stop();
    });
    const Http h = finish(reply);
    EXPECT_EQ(h.status, 200);
    EXPECT_TRUE(runningWhenAnswered);
    EXPECT_EQ(lab.startCalls, 1);
    EXPECT_FALSE(lab.v.running);
}

TEST_F(RemoteServerTest, TheRunListAndOneRunsCsv)
{
    serve();
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    ASSERT_EQ(act(kBora, "start").status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lab.v.cycle >= 2; }, 5000));
    ASSERT_EQ(act(kBora, "stop").status, 200);
    const QJsonArray runs = get(QStringLiteral("/api/runs"), kViewer).list();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0]["note"].toString(), "driven remotely by Bora");
    const Http csv = get(QStringLiteral("/api/runs/%1.csv").arg(runs[0]["uuid"].toString()), kViewer);
    EXPECT_EQ(csv.status, 200);
    EXPECT_TRUE(csv.raw.startsWith("cycle,"));
    EXPECT_EQ(get(QStringLiteral("/api/runs")).status, 401);
    EXPECT_EQ(get(QStringLiteral("/api/runs/00000000-0000-0000-0000-000000000000.csv"), kViewer).status, 404);
}

// ---- who drives ---------------------------------------------------------------

TEST_F(RemoteServerTest, TheQueueInOrderAndTheSlotsEnd)
{
    config.slot = std::chrono::milliseconds(400);
    serve();
    for (const char *code : {kBora, kCem, kAda})
        ASSERT_EQ(act(code, "request-control").status, 200);
    QJsonObject s = state();
    EXPECT_EQ(s["driver"].toString(), "Bora");
    EXPECT_EQ(s["queue"].toArray(), (QJsonArray{"Cem", "Ada"}));
    EXPECT_GT(s["slotEndsIn"].toDouble(), 0.0);
    EXPECT_EQ(state(kAda)["you"].toObject()["place"].toInt(), 2);
    ASSERT_EQ(act(kBora, "start").status, 200);
    // the slot's end stops the run and passes control on
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lab.v.running; }, 3000));
    EXPECT_EQ(state()["driver"].toString(), "Cem");
    EXPECT_EQ(act(kBora, "start").status, 403);
    // the driver's release passes it on at once
    ASSERT_EQ(act(kCem, "release-control").status, 200);
    s = state();
    EXPECT_EQ(s["driver"].toString(), "Ada");
    EXPECT_TRUE(s["queue"].toArray().isEmpty());
}

TEST_F(RemoteServerTest, ARunPastTheLongestRunStops)
{
    config.longestRun = std::chrono::milliseconds(300);
    serve();
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    ASSERT_EQ(act(kCem, "request-control").status, 200);
    ASSERT_EQ(act(kBora, "start").status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lab.v.running; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lab.v.running; }, 3000));
    EXPECT_EQ(state()["driver"].toString(), "Cem");
}

TEST_F(RemoteServerTest, TheInstructorTakesControlAndEndsSlots)
{
    serve();
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    ASSERT_EQ(act(kCem, "request-control").status, 200);
    ASSERT_EQ(act(kBora, "start").status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lab.v.running; }, 2000));
    ASSERT_EQ(act(kAda, "take-control").status, 200);
    EXPECT_FALSE(lab.v.running);
    EXPECT_EQ(state()["driver"].toString(), "Ada");
    ASSERT_EQ(act(kAda, "end-slot").status, 200);
    EXPECT_EQ(state()["driver"].toString(), "Cem");
    ASSERT_EQ(act(kAda, "end-slot").status, 200);
    EXPECT_TRUE(state()["driver"].isNull());
}

TEST_F(RemoteServerTest, ThePcTakesBackControl)
{
    serve();
    auto watcher = live(kViewer);
    ASSERT_EQ(act(kBora, "request-control").status, 200);
    ASSERT_EQ(act(kCem, "request-control").status, 200);
    ASSERT_EQ(act(kBora, "start").status, 200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lab.v.running; }, 2000));
    server->takeBack();
    EXPECT_FALSE(lab.v.running);
    QJsonObject s = state();
    EXPECT_TRUE(s["driver"].isNull());
    EXPECT_TRUE(s["heldByPc"].toBool());
    EXPECT_EQ(act(kBora, "start").status, 403);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher->count("notice") >= 1; }, 2000));
    server->handBack();
    EXPECT_EQ(state()["driver"].toString(), "Cem");
}

// The driver's live socket closing, or falling silent, stops the run.
TEST_F(RemoteServerTest, HeartbeatStopsTheRunWhenTheDriverGoes)
{
    for (bool silent : {false, true}) {
        lab.stop();
        serve();
        std::unique_ptr<Live> socket;
        QTcpSocket quiet; // a live socket that answers no ping
        if (silent) {
            quiet.connectToHost(QHostAddress::LocalHost, server->port());
            ASSERT_TRUE(quiet.waitForConnected(2000));
            quiet.write(QByteArray("GET /api/live?code=") + kBora
                        + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
            ASSERT_TRUE(QTest::qWaitFor([&] { return server->watchers().size() == 1; }, 2000));
        } else {
            socket = live(kBora);
        }
        ASSERT_EQ(act(kBora, "request-control").status, 200);
        ASSERT_EQ(act(kCem, "request-control").status, 200);
        ASSERT_EQ(act(kBora, "start").status, 200);
        ASSERT_TRUE(QTest::qWaitFor([&] { return lab.v.running; }, 2000));
        if (!silent)
            socket->socket->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !lab.v.running; }, 3000)) << "silent " << silent;
        EXPECT_EQ(state()["driver"].toString(), "Cem") << "silent " << silent;
    }
}

TEST_F(RemoteServerTest, AViewerThatStopsReadingIsDroppedAndTheOthersGoOn)
{
    options.sendQueueBytes = 16 * 1024;
    options.liveSendBuffer = 8 * 1024;
    options.silence = std::chrono::milliseconds(60000);
    serve();
    auto reader = live(kViewer);
    QTcpSocket stalled; // reads nothing after its handshake
    stalled.setReadBufferSize(1);
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.connectToHost(QHostAddress::LocalHost, server->port());
    ASSERT_TRUE(stalled.waitForConnected(2000));
    stalled.write(QByteArray("GET /api/live?code=") + kViewer
                  + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->watchers().size() == 2; }, 2000));
    int sent = 0;
    for (int batch = 0; batch < 5000 && server->watchers().size() == 2; ++batch) {
        for (int i = 0; i < 20; ++i, ++sent)
            emit lab.sampled(LabSample{sent, 0, 1000, 900, 100, 2000});
        QTest::qWait(1);
    }
    EXPECT_EQ(server->watchers().size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return reader->count("sample") == sent; }, 10000))
        << reader->count("sample") << " of " << sent;
    EXPECT_TRUE(std::any_of(server->log().begin(), server->log().end(),
                            [](const LogEntry &e) { return e.what == "dropped" && e.detail.contains("not reading"); }));
}

TEST_F(RemoteServerTest, CodesNeverReachTheLog)
{
    serve();
    act(kBora, "request-control");
    act("wrong-code-0123456789", "start");
    postRaw(kCem, "{nonsense");
    live(kViewer);
    ASSERT_GE(server->log().size(), 3u);
    for (const LogEntry &e : server->log())
        for (const char *code : {kViewer, kAda, kBora, kCem, "wrong-code"})
            EXPECT_FALSE((e.who + e.what + e.detail).contains(QLatin1String(code)));
}
