// A TCP listener on a free 127.0.0.1 port that accepts every connection and
// records every byte it receives, answering nothing: the stand-in for a host
// that must never see a request (a referral's foreign target, a server that
// must only ever be spoken to over TLS). It runs on a thread of its own and
// stops, closing every socket, when the object dies.
#ifndef CV_TEST_RECORDING_LISTENER_H
#define CV_TEST_RECORDING_LISTENER_H

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace cvtest {

class RecordingListener {
public:
    // Listening once constructed (port() is 0 if it could not). With hangUp,
    // every connection is closed after its first bytes arrived, so a client
    // waiting for an answer fails at once.
    explicit RecordingListener(bool hangUp = false);
    ~RecordingListener();
    RecordingListener(const RecordingListener&) = delete;
    RecordingListener& operator=(const RecordingListener&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:<port>"
    std::string hostPort() const;
    // Connections accepted so far.
    int connections() const { return connections_.load(); }
    // Every byte received so far, on all connections, in arrival order.
    std::string received() const;
    // True when text occurs in what was received.
    bool saw(const std::string& text) const { return received().find(text) != std::string::npos; }

private:
    void run();

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    bool hangUp_ = false;
    std::atomic<int> connections_{0};
    mutable std::mutex lock_;
    std::string bytes_;
    std::thread thread_;
};

} // namespace cvtest

#endif
