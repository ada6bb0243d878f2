// probe_farm: the fake proxy servers that probe_bench.exe tests (see
// probe_farm_layout.h). A native program, so that serving them costs the
// wineserver nothing and shares no CPU time with the manager's process
// beyond the machine's cores. One thread and one epoll: each alive, dead or
// silent server is a listener of its own; an accepted connection's request
// is read, and the alive and dead ones answer FarmAnswerDelayMs after their
// acceptance (a timerfd wakes the loop for the earliest answer due). Every
// connection is closed once the tester has closed its end.
//
// Prints "ready" once every listener listens; ends at the end of its
// standard input (or after MostLifetimeSeconds).
#include <fcntl.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "probe_farm_layout.h"

using Clock = std::chrono::steady_clock;

static const int Backlog = 256;
static const int MostEvents = 256;
static const int MostLifetimeSeconds = 1800;
static const size_t ReadBufferSize = 4096;

enum Role { RoleNone, RoleListener, RoleConnection, RoleTimer, RoleControlListener, RoleControl, RoleInput };

struct Descriptor {
    Role role = RoleNone;
    FarmKind kind = FarmAlive;
    long serial = 0;  // a connection's number, so that a reused descriptor is told apart
    std::string line;  // a control connection's unfinished line
};

struct Answer {
    int fd;
    long serial;
    Clock::time_point due;
};

struct Farm {
    int epoll = -1;
    int timer = -1;
    std::vector<Descriptor> descriptors;
    std::deque<Answer> answers;  // in due order: every answer waits the same time
    long nextSerial = 1;
    int open = 0;
    // Since the last reset.
    int accepted[FarmKindCount] = {};
    int replied = 0;
    int closedBeforeReply = 0;
    int mostOpen = 0;
    std::vector<double> latenessUs;
    double cpuAtReset = 0;
};

static double CpuMs() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

static void Watch(Farm* farm, int fd, Role role, FarmKind kind = FarmAlive) {
    if ((int)farm->descriptors.size() <= fd) farm->descriptors.resize(fd + 1);
    Descriptor& descriptor = farm->descriptors[fd];
    descriptor.role = role;
    descriptor.kind = kind;
    descriptor.serial = farm->nextSerial++;
    descriptor.line.clear();
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(farm->epoll, EPOLL_CTL_ADD, fd, &event);
}

static void Forget(Farm* farm, int fd) {
    epoll_ctl(farm->epoll, EPOLL_CTL_DEL, fd, nullptr);
    farm->descriptors[fd].role = RoleNone;
    close(fd);
}

static int Listen(const char* host, int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((uint16_t)port);
    inet_pton(AF_INET, host, &address.sin_addr);
    if (bind(fd, (sockaddr*)&address, sizeof address) != 0 || listen(fd, Backlog) != 0) {
        std::fprintf(stderr, "probe_farm: cannot listen on %s:%d: %s\n", host, port, std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

static void ArmTimer(Farm* farm) {
    itimerspec when = {};
    if (!farm->answers.empty()) {
        auto since = farm->answers.front().due.time_since_epoch();
        auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        when.it_value.tv_sec = seconds.count();
        when.it_value.tv_nsec = (long)std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count();
        if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) when.it_value.tv_nsec = 1;
    }
    // steady_clock is CLOCK_MONOTONIC on Linux.
    timerfd_settime(farm->timer, TFD_TIMER_ABSTIME, &when, nullptr);
}

static void AcceptAll(Farm* farm, int listener) {
    FarmKind kind = farm->descriptors[listener].kind;
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        Watch(farm, fd, RoleConnection, kind);
        farm->accepted[kind] += 1;
        farm->open += 1;
        farm->mostOpen = std::max(farm->mostOpen, farm->open);
        if (kind == FarmSilent) continue;
        bool first = farm->answers.empty();
        farm->answers.push_back(
            Answer{fd, farm->descriptors[fd].serial, Clock::now() + std::chrono::milliseconds(FarmAnswerDelayMs)});
        if (first) ArmTimer(farm);
    }
}

// Reads what the tester sent; closes the connection once it has closed.
static void ReadConnection(Farm* farm, int fd) {
    char buffer[ReadBufferSize];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) continue;
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        Forget(farm, fd);
        farm->open -= 1;
        return;
    }
}

static void SendAnswersDue(Farm* farm) {
    uint64_t expirations = 0;
    if (read(farm->timer, &expirations, sizeof expirations) < 0 && errno != EAGAIN) return;
    Clock::time_point now = Clock::now();
    while (!farm->answers.empty() && farm->answers.front().due <= now) {
        Answer answer = farm->answers.front();
        farm->answers.pop_front();
        Descriptor& descriptor = farm->descriptors[answer.fd];
        if (descriptor.role != RoleConnection || descriptor.serial != answer.serial) {
            farm->closedBeforeReply += 1;
            continue;
        }
        const char* text = descriptor.kind == FarmAlive ? FarmAliveReply : FarmDeadReply;
        send(answer.fd, text, std::strlen(text), MSG_NOSIGNAL);
        farm->replied += 1;
        farm->latenessUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - answer.due).count());
    }
    ArmTimer(farm);
}

static void Reset(Farm* farm) {
    std::fill(std::begin(farm->accepted), std::end(farm->accepted), 0);
    farm->replied = farm->closedBeforeReply = 0;
    farm->mostOpen = farm->open;
    farm->latenessUs.clear();
    farm->cpuAtReset = CpuMs();
}

static std::string StatsLine(Farm* farm) {
    std::vector<double> lateness = farm->latenessUs;
    std::sort(lateness.begin(), lateness.end());
    double median = lateness.empty() ? 0 : lateness[lateness.size() / 2];
    double worst = lateness.empty() ? 0 : lateness.back();
    char text[512];
    std::snprintf(text, sizeof text, FarmStatsFormat, farm->accepted[FarmAlive], farm->accepted[FarmDead],
                  farm->accepted[FarmRefusing], farm->accepted[FarmSilent], farm->replied, farm->closedBeforeReply,
                  farm->mostOpen, median, worst, CpuMs() - farm->cpuAtReset);
    return text;
}

static void ReadControl(Farm* farm, int fd) {
    char buffer[ReadBufferSize];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got <= 0) {
        Forget(farm, fd);
        return;
    }
    std::string& line = farm->descriptors[fd].line;
    line.append(buffer, (size_t)got);
    for (size_t end; (end = line.find('\n')) != std::string::npos; line.erase(0, end + 1)) {
        std::string command = line.substr(0, end);
        std::string reply = "unknown\n";
        if (command == "reset") {
            Reset(farm);
            reply = "ok\n";
        } else if (command == "stats") {
            reply = StatsLine(farm);
        }
        send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
}

static int OpenFarm(Farm* farm) {
    // Each listener and connection is a descriptor: more than the usual 1024.
    rlimit files = {};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    farm->epoll = epoll_create1(EPOLL_CLOEXEC);
    farm->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (farm->epoll < 0 || farm->timer < 0) return 0;
    Watch(farm, farm->timer, RoleTimer);
    Watch(farm, STDIN_FILENO, RoleInput);
    int control = Listen(FarmControlHost, FarmPort);
    if (control < 0) return 0;
    Watch(farm, control, RoleControlListener);
    for (int server = 0; server < FarmServerCount; ++server) {
        FarmKind kind = FarmKindOf(server);
        if (kind == FarmRefusing) continue;
        char host[32];
        FarmHost(server, host, sizeof host);
        int fd = Listen(host, FarmPort);
        if (fd < 0) return 0;
        Watch(farm, fd, RoleListener, kind);
    }
    Reset(farm);
    return 1;
}

int main() {
    Farm farm;
    if (!OpenFarm(&farm)) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    Clock::time_point end = Clock::now() + std::chrono::seconds(MostLifetimeSeconds);
    epoll_event events[MostEvents];
    while (Clock::now() < end) {
        int count = epoll_wait(farm.epoll, events, MostEvents, 1000);
        for (int i = 0; i < count; ++i) {
            int fd = events[i].data.fd;
            switch (farm.descriptors[fd].role) {
            case RoleListener: AcceptAll(&farm, fd); break;
            case RoleConnection: ReadConnection(&farm, fd); break;
            case RoleTimer: SendAnswersDue(&farm); break;
            case RoleControlListener: {
                int control = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (control >= 0) Watch(&farm, control, RoleControl);
                break;
            }
            case RoleControl: ReadControl(&farm, fd); break;
            case RoleInput: {
                char buffer[ReadBufferSize];
                if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) return 0;
                break;
            }
            case RoleNone: break;
            }
        }
    }
    return 0;
}
