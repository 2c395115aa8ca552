#include "remote/RemoteServer.h"

#include "engine/RunRecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QRegularExpression>
#include <QSslServer>
#include <QTcpServer>
#include <QUrlQuery>
#include <QWebSocket>

#include <algorithm>
#include <cmath>

namespace tervalo::remote {

namespace {

using Status = QHttpServerResponse::StatusCode;

constexpr int kLastRuns = 50;
constexpr std::size_t kLogLength = 1000;
constexpr std::size_t kPendingSamples = 256;
constexpr qint64 kLargestIncomingMessage = 4096;

// Close codes of a live socket refused after the handshake.
constexpr quint16 kCloseUnknownCode = 4401;
constexpr quint16 kCloseOrigin = 4403;
constexpr quint16 kCloseNotFound = 4404;

// The page and what it loads, by the name it is asked for.
struct Asset {
    const char *name;
    const char *resource;
    const char *type;
};
constexpr Asset kAssets[] = {
    {"index.html", ":/remote/index.html", "text/html; charset=utf-8"},
    {"app.js", ":/remote/app.js", "text/javascript; charset=utf-8"},
    {"style.css", ":/remote/style.css", "text/css; charset=utf-8"},
    {"uPlot.iife.min.js", ":/remote/uPlot.iife.min.js", "text/javascript; charset=utf-8"},
    {"uPlot.min.css", ":/remote/uPlot.min.css", "text/css; charset=utf-8"},
};

QHttpServerResponse json(const QJsonValue &v, Status status = Status::Ok)
{
    const QByteArray body = v.isArray() ? QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact)
                                        : QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
    return QHttpServerResponse(QByteArrayLiteral("application/json"), body, status);
}

QHttpServerResponse failure(int status, const QString &error)
{
    return json(QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}},
                static_cast<Status>(status));
}

// Time depends on the longer length only, never on where the codes differ.
bool sameCode(const QByteArray &a, const QByteArray &b)
{
    const qsizetype n = std::max(a.size(), b.size());
    unsigned diff = a.size() == b.size() ? 0u : 1u;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0u;
        const unsigned y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0u;
        diff |= x ^ y;
    }
    return diff == 0;
}

bool wholeNumber(const QJsonValue &v, int *out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != std::floor(d) || std::fabs(d) > 1e9)
        return false;
    *out = static_cast<int>(d);
    return true;
}

QString rangeText(const Range &r)
{
    return QStringLiteral("%1..%2").arg(r.min).arg(r.max);
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

QString gainName(Gain g)
{
    return QLatin1String(ClassicPanels::name(g));
}

constexpr Gain kGains[] = {Gain::Kp, Gain::Ki, Gain::Kd};

} // namespace

RemoteServer::RemoteServer(RemoteLab &lab, RemoteConfig config, ServerOptions options, QObject *parent)
    : QObject(parent), lab_(lab), config_(std::move(config)), options_(options),
      queue_(config_.slot, config_.longestRun)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    monotonicMs_ = [clock] { return clock->elapsed(); };
    wallMs_ = [] { return QDateTime::currentMSecsSinceEpoch(); };

    connect(&lab_, &RemoteLab::sampled, this, &RemoteServer::sample);
    connect(&lab_, &RemoteLab::changed, this, &RemoteServer::stateChanged);
    connect(&lab_, &RemoteLab::runStarted, this, &RemoteServer::stateChanged);
    connect(&lab_, &RemoteLab::runStopped, this, [this] {
        remoteRun_ = false;
        queue_.runStopped();
        stateChanged();
    });
    connect(&lab_, &RemoteLab::notice, this, &RemoteServer::broadcastNotice);
    connect(&pingTimer_, &QTimer::timeout, this, &RemoteServer::heartbeat);
    connect(&tickTimer_, &QTimer::timeout, this, &RemoteServer::tick);
}

RemoteServer::~RemoteServer()
{
    close();
}

void RemoteServer::setClocks(std::function<qint64()> monotonicMs, std::function<qint64()> wallMs)
{
    monotonicMs_ = std::move(monotonicMs);
    wallMs_ = std::move(wallMs);
}

bool RemoteServer::listen(QString *why)
{
    close();
    ConnectionLimits limits;
    limits.connections = config_.connections;
    limits.headerBytes = options_.headerBytes;
    limits.bodyBytes = options_.bodyBytes;
    limits.requestTime = options_.requestTime;
    limits.liveSendBuffer = options_.liveSendBuffer;
    guard_ = std::make_unique<ConnectionGuard>(limits);
    connect(guard_.get(), &ConnectionGuard::refused, this, [this](int status, const QString &reason) {
        record(QStringLiteral("-"), QStringLiteral("connection"), status, reason);
    });
    http_ = std::make_unique<QHttpServer>();
    routes();
    QTcpServer *server = nullptr;
    if (options_.tls) {
        auto *ssl = new GuardedServer<QSslServer>(guard_.get());
        ssl->setSslConfiguration(*options_.tls);
        server = ssl;
    } else {
        server = new GuardedServer<QTcpServer>(guard_.get());
    }
    if (!server->listen(options_.address, options_.port)) {
        if (why)
            *why = QStringLiteral("%1:%2: %3")
                       .arg(options_.address.toString())
                       .arg(options_.port)
                       .arg(server->errorString());
        delete server;
        http_.reset();
        guard_.reset();
        return false;
    }
    http_->bind(server); // the HTTP server owns it from here
    tcp_ = server;
    connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &RemoteServer::newSocket);
    pingTimer_.start(options_.pingEvery);
    tickTimer_.start(options_.tickEvery);
    return true;
}

void RemoteServer::close()
{
    pingTimer_.stop();
    tickTimer_.stop();
    std::vector<Viewer> viewers;
    viewers.swap(viewers_);
    for (Viewer &v : viewers) {
        v.socket->disconnect(this);
        v.socket->abort();
        delete v.socket;
    }
    tcp_ = nullptr;
    http_.reset();
    guard_.reset();
}

bool RemoteServer::listening() const
{
    return tcp_ && tcp_->isListening();
}

quint16 RemoteServer::port() const
{
    return tcp_ ? tcp_->serverPort() : 0;
}

QString RemoteServer::url() const
{
    QString host = options_.address.toString();
    if (options_.address.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1://%2:%3/")
        .arg(options_.tls ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(port());
}

std::vector<Watcher> RemoteServer::watchers() const
{
    std::vector<Watcher> list;
    for (const Viewer &v : viewers_)
        list.push_back(Watcher{v.caller.name, v.caller.role, v.socket->peerAddress().toString()});
    return list;
}

// ---- who is asking ---------------------------------------------------------

std::optional<RemoteServer::Caller> RemoteServer::identifyCode(const QByteArray &code) const
{
    // Every code is compared, whichever matches.
    std::optional<Caller> found;
    if (!config_.viewerCode.isEmpty() && sameCode(code, config_.viewerCode))
        found = Caller{QStringLiteral("viewer"), Role::Viewer, config_.viewerCode};
    for (const Person &p : config_.people)
        if (sameCode(code, p.code))
            found = Caller{p.name, p.role, p.code};
    return found;
}

std::optional<RemoteServer::Caller> RemoteServer::identify(const QHttpServerRequest &request, bool *presented) const
{
    QByteArray code;
    const QByteArray authorization = request.value(QByteArrayLiteral("authorization"));
    if (authorization.startsWith("Bearer "))
        code = authorization.mid(7).trimmed();
    else if (request.query().hasQueryItem(QStringLiteral("code")))
        code = request.query().queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).toUtf8();
    *presented = !code.isEmpty();
    if (code.isEmpty())
        return std::nullopt;
    return identifyCode(code);
}

// ---- routes ----------------------------------------------------------------

void RemoteServer::routes()
{
    using Method = QHttpServerRequest::Method;
    auto asset = [](const QString &name) {
        for (const Asset &a : kAssets) {
            if (name != QLatin1String(a.name))
                continue;
            QFile f(QLatin1String(a.resource));
            if (!f.open(QIODevice::ReadOnly))
                break;
            return QHttpServerResponse(QByteArray(a.type), f.readAll());
        }
        return failure(404, QStringLiteral("no such file"));
    };
    http_->route("/", Method::Get, [asset] { return asset(QStringLiteral("index.html")); });
    http_->route("/assets/<arg>", Method::Get, [asset](const QString &name) { return asset(name); });
    http_->route("/api/state", Method::Get, [this](const QHttpServerRequest &r) { return state(r); });
    http_->route("/api/command", Method::Post, [this](const QHttpServerRequest &r) { return command(r); });
    http_->route("/api/runs", Method::Get, [this](const QHttpServerRequest &r) { return runs(r); });
    http_->route("/api/runs/<arg>", Method::Get,
                 [this](const QString &file, const QHttpServerRequest &r) { return runCsv(file, r); });
    // The HTTP server hands a WebSocket over only on a path with a route,
    // and only when the route writes no reply; a plain request is answered.
    http_->route("/api/live", Method::Get, [](const QHttpServerRequest &r, QHttpServerResponder &&responder) {
        if (r.value(QByteArrayLiteral("upgrade")).compare("websocket", Qt::CaseInsensitive) != 0)
            failure(400, QStringLiteral("the live data comes over a WebSocket")).write(std::move(responder));
    });
    http_->setMissingHandler([](const QHttpServerRequest &, QHttpServerResponder &&responder) {
        failure(404, QStringLiteral("no such page")).write(std::move(responder));
    });
    http_->afterRequest([](QHttpServerResponse &&response) {
        response.setHeader("X-Content-Type-Options", "nosniff");
        response.setHeader("Referrer-Policy", "no-referrer");
        response.setHeader("Cache-Control", "no-store");
        response.setHeader("X-Frame-Options", "DENY");
        response.setHeader("Content-Security-Policy",
                           "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; "
                           "style-src 'self'; frame-ancestors 'none'");
        return std::move(response);
    });
}

QHttpServerResponse RemoteServer::state(const QHttpServerRequest &request)
{
    bool presented = false;
    const std::optional<Caller> caller = identify(request, &presented);
    if (!caller && (presented || !config_.openViewing))
        return failure(401, presented ? QStringLiteral("unknown code") : QStringLiteral("a code is needed"));
    return json(stateJson(caller));
}

QHttpServerResponse RemoteServer::runs(const QHttpServerRequest &request)
{
    bool presented = false;
    if (!identify(request, &presented) && (presented || !config_.openViewing))
        return failure(401, presented ? QStringLiteral("unknown code") : QStringLiteral("a code is needed"));
    return json(lab_.runs(kLastRuns));
}

QHttpServerResponse RemoteServer::runCsv(const QString &file, const QHttpServerRequest &request)
{
    bool presented = false;
    if (!identify(request, &presented) && (presented || !config_.openViewing))
        return failure(401, presented ? QStringLiteral("unknown code") : QStringLiteral("a code is needed"));
    static const QRegularExpression uuidCsv(
        QStringLiteral("^([0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-"
                       "[0-9a-fA-F]{12})\\.csv$"));
    const QRegularExpressionMatch m = uuidCsv.match(file);
    if (!m.hasMatch())
        return failure(404, QStringLiteral("no such run"));
    const std::optional<QByteArray> csv = lab_.runCsv(m.captured(1).toLower());
    if (!csv)
        return failure(404, QStringLiteral("no such run"));
    QHttpServerResponse response(QByteArrayLiteral("text/csv; charset=utf-8"), *csv);
    response.setHeader("Content-Disposition", "attachment; filename=\"" + m.captured(0).toLatin1() + '"');
    return response;
}

QHttpServerResponse RemoteServer::command(const QHttpServerRequest &request)
{
    bool presented = false;
    const std::optional<Caller> caller = identify(request, &presented);
    if (!caller) {
        record(QStringLiteral("-"), QStringLiteral("command"), 401);
        return failure(401, presented ? QStringLiteral("unknown code") : QStringLiteral("a code is needed"));
    }
    if (overRate(caller->code)) {
        record(caller->name, QStringLiteral("command"), 429);
        return failure(429, QStringLiteral("more than %1 commands a second").arg(options_.commandsPerSecond));
    }
    if (request.body().size() > options_.bodyBytes)
        return failure(413, QStringLiteral("a body over the limit of %1 bytes").arg(options_.bodyBytes));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(request.body(), &error);
    Reply reply;
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        reply = {400,
                 error.error != QJsonParseError::NoError ? QStringLiteral("not JSON: ") + error.errorString()
                                                         : QStringLiteral("not a JSON object")};
        record(caller->name, QStringLiteral("command"), reply.status, reply.error);
    } else {
        reply = act(*caller, doc.object());
    }
    if (reply.status != 200)
        return failure(reply.status, reply.error);
    return json(QJsonObject{{QStringLiteral("ok"), true}});
}

bool RemoteServer::overRate(const QByteArray &code)
{
    auto it = std::find_if(rates_.begin(), rates_.end(), [&](const auto &r) { return r.first == code; });
    if (it == rates_.end()) {
        rates_.emplace_back(code, std::deque<qint64>());
        it = rates_.end() - 1;
    }
    std::deque<qint64> &times = it->second;
    const qint64 t = now().count();
    while (!times.empty() && t - times.front() >= 1000)
        times.pop_front();
    if (static_cast<int>(times.size()) >= options_.commandsPerSecond)
        return true;
    times.push_back(t);
    return false;
}

// ---- commands --------------------------------------------------------------

RemoteServer::Reply RemoteServer::act(const Caller &caller, const QJsonObject &command)
{
    const QJsonValue name = command.value(QLatin1String("action"));
    const std::optional<Action> action = name.isString() ? actionNamed(name.toString()) : std::nullopt;
    const QString what = name.isString() ? name.toString().left(32) : QStringLiteral("command");
    auto answer = [&](Reply r, const QString &detail = QString()) {
        record(caller.name, what, r.status, r.status == 200 ? detail : r.error);
        return r;
    };
    if (!action)
        return answer(
            {400, name.isUndefined() ? QStringLiteral("action: missing") : QStringLiteral("action: unknown")});
    const ActionInfo &info = actionInfo(*action);
    const QStringList keys = QString::fromLatin1(info.keys).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (auto it = command.begin(); it != command.end(); ++it)
        if (it.key() != QLatin1String("action") && !keys.contains(it.key()))
            return answer({400, it.key().left(32) + QStringLiteral(": unknown key")});
    const bool driving = queue_.driving(caller.name) && caller.role != Role::Viewer;
    if (!mayTake(caller.role, driving, *action)) {
        QString why;
        if (caller.role == Role::Viewer)
            why = QStringLiteral("a viewer may only watch");
        else if (info.allowed == Allowed::Instructor)
            why = QStringLiteral("only the instructor may");
        else
            why = QStringLiteral("only the driver may; ask for control first");
        return answer({403, why});
    }

    switch (*action) {
    case Action::RequestControl:
        queue_.request(caller.name, now());
        stateChanged();
        return answer({},
                      queue_.driving(caller.name) ? QStringLiteral("drives")
                                                  : QStringLiteral("queued, place %1").arg(queue_.place(caller.name)));
    case Action::ReleaseControl: {
        const std::optional<SlotEnd> ended = queue_.release(caller.name, now());
        const Reply r = answer({});
        slotEnded(ended);
        stateChanged();
        return r;
    }
    case Action::TakeControl: {
        const std::optional<SlotEnd> ended = queue_.takeControl(caller.name, now());
        const Reply r = answer({});
        slotEnded(ended);
        stateChanged();
        return r;
    }
    case Action::EndSlot: {
        const std::optional<SlotEnd> ended = queue_.endSlot(SlotEndCause::EndedByInstructor, now());
        const Reply r = answer({}, ended ? ended->driver : QStringLiteral("no one drove"));
        slotEnded(ended);
        return r;
    }
    default: return answer(actOnLab(caller, *action, command));
    }
}

RemoteServer::Reply RemoteServer::actOnLab(const Caller &caller, Action action, const QJsonObject &c)
{
    auto refusedBy = [](const QString &error) { return error.isEmpty() ? Reply{} : Reply{400, error}; };
    auto whole = [&](const char *key, const Range &range, int *out) -> std::optional<Reply> {
        const QJsonValue v = c.value(QLatin1String(key));
        if (!wholeNumber(v, out))
            return Reply{400, QLatin1String(key) + QStringLiteral(": not a whole number")};
        if (!range.holds(*out))
            return Reply{
                400, QStringLiteral("%1: %2 is outside %3").arg(QLatin1String(key)).arg(*out).arg(rangeText(range))};
        return std::nullopt;
    };
    const LabView view = lab_.view();

    switch (action) {
    case Action::Select: {
        QString mode = view.mode, controller = view.controller;
        if (!c.contains(QLatin1String("mode")) && !c.contains(QLatin1String("controller")))
            return {400, QStringLiteral("mode or controller: missing")};
        if (c.contains(QLatin1String("mode"))) {
            const QJsonValue m = c.value(QLatin1String("mode"));
            if (!m.isString() || !runModeNamed(m.toString().toStdString()))
                return {400, QStringLiteral("mode: neither \"open\", \"kit\" nor \"simulation\"")};
            mode = m.toString();
            if (!config_.modes.contains(mode))
                return {403, QStringLiteral("mode: %1 is not offered remotely").arg(mode)};
        }
        if (c.contains(QLatin1String("controller"))) {
            const QJsonValue k = c.value(QLatin1String("controller"));
            if (!k.isString() || !runControllerNamed(k.toString().toStdString()))
                return {400, QStringLiteral("controller: not one of P, I, PI, PD, PID, fuzzy")};
            controller = k.toString();
        }
        return refusedBy(lab_.select(mode, controller));
    }
    case Action::Gains: {
        std::vector<std::pair<Gain, int>> set;
        for (Gain g : kGains) {
            const QString key = gainName(g);
            if (!c.contains(key))
                continue;
            const QJsonValue v = c.value(key);
            if (!v.isDouble())
                return {400, key + QStringLiteral(": not a number")};
            const std::optional<int> max = lab_.gainBarMax(g);
            if (!max)
                return {400, QStringLiteral("%1: the %2 controller has no such gain").arg(key, view.controller)};
            const double value = v.toDouble();
            if (!(value >= 0 && ClassicPanels::toBar(value) <= *max))
                return {400,
                        QStringLiteral("%1: %2 is outside 0..%3")
                            .arg(key, number(value), number(ClassicPanels::fromBar(*max)))};
            const std::optional<int> steps = ClassicPanels::onBarSteps(value);
            if (!steps)
                return {400, QStringLiteral("%1: %2 is not on the bar's steps of 0.001").arg(key, number(value))};
            set.emplace_back(g, *steps);
        }
        if (set.empty())
            return {400, QStringLiteral("kp, ki or kd: missing")};
        for (const auto &[g, milli] : set)
            if (const QString e = lab_.setGain(g, milli); !e.isEmpty())
                return {400, e};
        return {};
    }
    case Action::Reference: {
        int rpm = 0;
        if (auto bad = whole("rpm", lab_.range(Setting::Reference), &rpm))
            return *bad;
        return refusedBy(lab_.setReference(rpm));
    }
    case Action::Divisors: {
        int e = view.errorDivisor, o = view.outputDivisor;
        if (!c.contains(QLatin1String("error")) && !c.contains(QLatin1String("output")))
            return {400, QStringLiteral("error or output: missing")};
        if (c.contains(QLatin1String("error")))
            if (auto bad = whole("error", lab_.range(Setting::ErrorDivisor), &e))
                return *bad;
        if (c.contains(QLatin1String("output")))
            if (auto bad = whole("output", lab_.range(Setting::OutputDivisor), &o))
                return *bad;
        return refusedBy(lab_.setDivisors(e, o));
    }
    case Action::Rule: {
        int cell = 0;
        if (auto bad = whole("cell", Range{0, 48}, &cell))
            return *bad;
        const QJsonValue t = c.value(QLatin1String("term"));
        const QStringList terms = lab_.terms();
        int term = -1;
        if (t.isString())
            term = static_cast<int>(terms.indexOf(t.toString()));
        else if (!wholeNumber(t, &term) || term < 0 || term >= terms.size())
            term = -1;
        if (term < 0)
            return {400, QStringLiteral("term: not one of %1").arg(terms.join(QStringLiteral(", ")))};
        return refusedBy(lab_.setRule(cell, term));
    }
    case Action::Actuator: {
        int value = 0;
        if (auto bad = whole("value", lab_.range(Setting::Actuator), &value))
            return *bad;
        return refusedBy(lab_.setActuator(value));
    }
    case Action::Experiment: {
        const QJsonValue f = c.value(QLatin1String("file"));
        QByteArray contents;
        if (f.isObject())
            contents = QJsonDocument(f.toObject()).toJson(QJsonDocument::Compact);
        else if (f.isString())
            contents = f.toString().toUtf8();
        else
            return {400, QStringLiteral("file: neither an experiment file's object nor its text")};
        return refusedBy(lab_.applyExperiment(contents));
    }
    case Action::Start: {
        if (view.running || remoteStartPosted_)
            return {400, QStringLiteral("a run is going on")};
        // START returns only when the run ends: it runs from the event loop,
        // after this request's reply is on its way.
        remoteStartPosted_ = true;
        const QString name = caller.name;
        QPointer<RemoteServer> self(this);
        QTimer::singleShot(0, this, [self, name] {
            self->remoteStartPosted_ = false;
            if (!self->queue_.driving(name) || self->lab_.view().running)
                return;
            self->remoteRun_ = true;
            self->queue_.runStarted(self->now());
            RemoteLab &lab = self->lab_;
            lab.start(QStringLiteral("driven remotely by %1").arg(name));
            if (self && !lab.view().running && self->remoteRun_) {
                // refused, or ended without a word
                self->remoteRun_ = false;
                self->queue_.runStopped();
                self->stateChanged();
            }
        });
        return {};
    }
    case Action::Stop: lab_.stop(); return {};
    default: return {400, QStringLiteral("action: unknown")};
    }
}

QJsonObject RemoteServer::stateJson(const std::optional<Caller> &caller) const
{
    const LabView v = lab_.view();
    auto gain = [](const std::optional<double> &g) { return g ? QJsonValue(*g) : QJsonValue(QJsonValue::Null); };
    auto range = [](const Range &r) { return QJsonArray{r.min, r.max}; };
    QJsonObject ranges;
    for (Gain g : kGains) {
        const std::optional<int> max = lab_.gainBarMax(g);
        ranges.insert(gainName(g),
                      max ? QJsonValue(QJsonArray{0, ClassicPanels::fromBar(*max)}) : QJsonValue(QJsonValue::Null));
    }
    ranges.insert(QStringLiteral("reference"), range(lab_.range(Setting::Reference)));
    ranges.insert(QStringLiteral("error"), range(lab_.range(Setting::ErrorDivisor)));
    ranges.insert(QStringLiteral("output"), range(lab_.range(Setting::OutputDivisor)));
    ranges.insert(QStringLiteral("actuator"), range(lab_.range(Setting::Actuator)));
    const std::optional<double> slotLeft = queue_.slotEndsIn(now());
    QJsonObject o{
        {QStringLiteral("mode"), v.mode},
        {QStringLiteral("controller"), v.controller},
        {QStringLiteral("gains"),
         QJsonObject{{QStringLiteral("kp"), gain(v.kp)},
                     {QStringLiteral("ki"), gain(v.ki)},
                     {QStringLiteral("kd"), gain(v.kd)}}},
        {QStringLiteral("divisors"),
         QJsonObject{{QStringLiteral("error"), v.errorDivisor}, {QStringLiteral("output"), v.outputDivisor}}},
        {QStringLiteral("reference"), v.reference},
        {QStringLiteral("actuator"), v.actuator},
        {QStringLiteral("running"), v.running},
        {QStringLiteral("cycle"), v.cycle},
        {QStringLiteral("driver"),
         queue_.driver().isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(queue_.driver())},
        {QStringLiteral("queue"), QJsonArray::fromStringList(queue_.queue())},
        {QStringLiteral("slotEndsIn"), slotLeft ? QJsonValue(*slotLeft) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("language"), v.language},
        {QStringLiteral("heldByPc"), queue_.heldByPc()},
        {QStringLiteral("modes"), QJsonArray::fromStringList(config_.modes)},
        {QStringLiteral("terms"), QJsonArray::fromStringList(lab_.terms())},
        {QStringLiteral("ranges"), ranges},
    };
    if (caller) {
        o.insert(QStringLiteral("you"),
                 QJsonObject{{QStringLiteral("name"), caller->name},
                             {QStringLiteral("role"), QLatin1String(roleName(caller->role))},
                             {QStringLiteral("driving"), caller->role != Role::Viewer && queue_.driving(caller->name)},
                             {QStringLiteral("place"), queue_.place(caller->name)}});
    }
    return o;
}

// ---- the PC ----------------------------------------------------------------

void RemoteServer::takeBack()
{
    const std::optional<SlotEnd> ended = queue_.takeBack(now());
    record(QStringLiteral("PC"), QStringLiteral("take back control"), 200, ended ? ended->driver : QString());
    slotEnded(ended);
    stateChanged();
}

void RemoteServer::handBack()
{
    queue_.handBack(now());
    record(QStringLiteral("PC"), QStringLiteral("hand control back"), 200);
    stateChanged();
}

void RemoteServer::slotEnded(const std::optional<SlotEnd> &ended)
{
    if (!ended)
        return;
    if (remoteRun_ && lab_.view().running)
        lab_.stop();
    remoteRun_ = false;
    record(ended->driver, QStringLiteral("slot ended"), 200, QLatin1String(slotEndText(ended->cause)));
    broadcastNotice(QStringLiteral("%1: %2").arg(ended->driver, QLatin1String(slotEndText(ended->cause))));
    stateChanged();
}

void RemoteServer::tick()
{
    slotEnded(queue_.tick(now()));
}

// ---- the live socket ---------------------------------------------------------

void RemoteServer::newSocket()
{
    while (http_ && http_->hasPendingWebSocketConnections()) {
        QWebSocket *socket = http_->nextPendingWebSocketConnection().release();
        socket->setParent(this);
        connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
        socket->setMaxAllowedIncomingFrameSize(kLargestIncomingMessage);
        socket->setMaxAllowedIncomingMessageSize(kLargestIncomingMessage);
        const QUrl url = socket->requestUrl();
        if (url.path() != QLatin1String("/api/live")) {
            socket->close(static_cast<QWebSocketProtocol::CloseCode>(kCloseNotFound), QStringLiteral("no such socket"));
            continue;
        }
        // A page from another site may not open the socket with a code it
        // got hold of: the origin must be the host served or a configured one.
        const QString origin = socket->origin();
        const QString host = QString::fromLatin1(socket->request().rawHeader("Host"));
        const bool sameHost = !host.isEmpty()
            && (origin.compare(QStringLiteral("http://") + host, Qt::CaseInsensitive) == 0
                || origin.compare(QStringLiteral("https://") + host, Qt::CaseInsensitive) == 0);
        if (!origin.isEmpty() && !sameHost && !config_.origins.contains(origin)) {
            record(QStringLiteral("-"), QStringLiteral("live"), 403, QStringLiteral("origin ") + origin.left(100));
            socket->close(static_cast<QWebSocketProtocol::CloseCode>(kCloseOrigin),
                          QStringLiteral("origin not allowed"));
            continue;
        }
        const QByteArray code = QUrlQuery(url).queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).toUtf8();
        std::optional<Caller> caller = code.isEmpty() ? std::nullopt : identifyCode(code);
        if (!caller && config_.openViewing && code.isEmpty())
            caller = Caller{QString(), Role::Viewer, QByteArray()};
        if (!caller) {
            record(QStringLiteral("-"), QStringLiteral("live"), 401);
            socket->close(static_cast<QWebSocketProtocol::CloseCode>(kCloseUnknownCode),
                          code.isEmpty() ? QStringLiteral("a code is needed") : QStringLiteral("unknown code"));
            continue;
        }
        viewers_.push_back(Viewer{socket, *caller, now().count()});
        auto heard = [this, socket] {
            for (Viewer &v : viewers_)
                if (v.socket == socket)
                    v.lastHeard = now().count();
        };
        connect(socket, &QWebSocket::pong, this, heard);
        connect(socket, &QWebSocket::textMessageReceived, this, heard);
        connect(socket, &QWebSocket::binaryMessageReceived, this, heard);
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { dropViewer(socket, QString()); });
        QJsonObject state = stateJson(caller);
        state.insert(QStringLiteral("type"), QStringLiteral("state"));
        send(viewers_.back(), QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact)));
        emit watchersChanged();
    }
}

void RemoteServer::dropViewer(QWebSocket *socket, const QString &why)
{
    const auto it = std::find_if(viewers_.begin(), viewers_.end(), [&](const Viewer &v) { return v.socket == socket; });
    if (it == viewers_.end())
        return;
    const Caller caller = it->caller;
    viewers_.erase(it);
    if (!why.isEmpty()) {
        record(caller.name.isEmpty() ? QStringLiteral("viewer") : caller.name, QStringLiteral("dropped"), 200, why);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    emit watchersChanged();
    // The driver's last live socket gone: the run stops, control passes on.
    if (caller.role != Role::Viewer && queue_.driving(caller.name)
        && std::none_of(viewers_.begin(), viewers_.end(),
                        [&](const Viewer &v) { return v.caller.name == caller.name; }))
        slotEnded(queue_.endSlot(SlotEndCause::Lost, now()));
}

void RemoteServer::heartbeat()
{
    const qint64 t = now().count();
    std::vector<QWebSocket *> silent;
    for (Viewer &v : viewers_) {
        if (t - v.lastHeard > options_.silence.count())
            silent.push_back(v.socket);
        else
            v.socket->ping();
    }
    for (QWebSocket *s : silent)
        dropViewer(s, QStringLiteral("silent for %1 s").arg(options_.silence.count() / 1000.0));
}

void RemoteServer::sample(const LabSample &s)
{
    // Only kept here: the sends come after the cycle has returned.
    const QJsonObject o{{QStringLiteral("type"), QStringLiteral("sample")},
                        {QStringLiteral("cycle"), s.cycle},
                        {QStringLiteral("time"), s.time},
                        {QStringLiteral("reference"), s.reference},
                        {QStringLiteral("output"), s.output},
                        {QStringLiteral("error"), s.error},
                        {QStringLiteral("actuator"), s.actuator},
                        {QStringLiteral("sentAt"), wallMs_()}};
    if (pendingSamples_.size() >= kPendingSamples)
        pendingSamples_.pop_front();
    pendingSamples_.push_back(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    if (!flushPosted_) {
        flushPosted_ = true;
        QMetaObject::invokeMethod(this, &RemoteServer::flushSamples, Qt::QueuedConnection);
    }
}

void RemoteServer::flushSamples()
{
    flushPosted_ = false;
    std::deque<QString> pending;
    pending.swap(pendingSamples_);
    for (const QString &message : pending)
        for (std::size_t i = 0; i < viewers_.size();) {
            const std::size_t before = viewers_.size();
            send(viewers_[i], message);
            if (viewers_.size() == before)
                ++i;
        }
}

void RemoteServer::send(Viewer &viewer, const QString &message)
{
    if (viewer.socket->bytesToWrite() > options_.sendQueueBytes) {
        dropViewer(viewer.socket,
                   QStringLiteral("not reading: more than %1 KiB waiting").arg(options_.sendQueueBytes / 1024));
        return;
    }
    viewer.socket->sendTextMessage(message);
}

void RemoteServer::stateChanged()
{
    emit controlChanged();
    if (statePosted_)
        return;
    statePosted_ = true;
    QMetaObject::invokeMethod(this, &RemoteServer::broadcastState, Qt::QueuedConnection);
}

void RemoteServer::broadcastState()
{
    statePosted_ = false;
    for (std::size_t i = 0; i < viewers_.size();) {
        QJsonObject state = stateJson(viewers_[i].caller);
        state.insert(QStringLiteral("type"), QStringLiteral("state"));
        const std::size_t before = viewers_.size();
        send(viewers_[i], QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact)));
        if (viewers_.size() == before)
            ++i;
    }
}

void RemoteServer::broadcastNotice(const QString &text)
{
    const QString message = QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("notice")}, {QStringLiteral("text"), text}})
            .toJson(QJsonDocument::Compact));
    for (std::size_t i = 0; i < viewers_.size();) {
        const std::size_t before = viewers_.size();
        send(viewers_[i], message);
        if (viewers_.size() == before)
            ++i;
    }
}

void RemoteServer::record(const QString &who, const QString &what, int status, const QString &detail)
{
    if (log_.size() >= kLogLength)
        log_.pop_front();
    log_.push_back(LogEntry{QDateTime::currentDateTime(), who, what, status, detail});
    emit logged(log_.back());
}

} // namespace tervalo::remote
