#include "recording_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace cvtest {

RecordingListener::RecordingListener(bool hangUp) : hangUp_(hangUp)
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        pipe2(stopPipe_, O_CLOEXEC) != 0)
        return;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

RecordingListener::~RecordingListener()
{
    if (thread_.joinable()) {
        char stop = 's';
        (void)!write(stopPipe_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0)
            close(fd);
}

std::string RecordingListener::hostPort() const
{
    return "127.0.0.1:" + std::to_string(port_);
}

std::string RecordingListener::received() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return bytes_;
}

void RecordingListener::run()
{
    std::vector<pollfd> fds{{stopPipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            int c = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                ++connections_;
                fds.push_back(pollfd{c, POLLIN, 0});
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard<std::mutex> hold(lock_);
                bytes_.append(buffer, static_cast<size_t>(n));
                if (!hangUp_)
                    continue;
            }
            close(fds[i].fd);
            fds.erase(fds.begin() + static_cast<long>(i));
            --i;
        }
    }
    for (size_t i = 2; i < fds.size(); ++i)
        close(fds[i].fd);
}

} // namespace cvtest
