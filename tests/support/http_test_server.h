#pragma once

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <httplib.h>

namespace quillon::test {

// Keeps a proxy of the test machine's environment out of local requests.
// The environment is changed only when it differs: setenv while another
// thread reads the environment (a client's proxy lookup, the Qt test
// watchdog) is a data race, so after the first call this is read-only.
inline void BypassProxyForLocalhost() {
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* now = getenv(name);
        if (!now || std::string(now) != "127.0.0.1,localhost") setenv(name, "127.0.0.1,localhost", 1);
    }
}

// Done once before main, while the program has a single thread.
inline const bool kLocalhostBypassesProxy = (BypassProxyForLocalhost(), true);

// A cpp-httplib server on 127.0.0.1 and a free port (known from the start),
// serving on its own thread from Start() until Stop() or the end. Handlers
// are registered before Start().
class HttpTestServer {
public:
    HttpTestServer() {
        BypassProxyForLocalhost();
        // Without it the header and body writes of a response meet Nagle's
        // algorithm and the client's delayed ACK: 40 ms per page.
        server_.set_tcp_nodelay(true);
        port_ = server_.bind_to_any_port("127.0.0.1");
    }
    ~HttpTestServer() { Stop(); }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    httplib::Server& server() { return server_; }

    void Start() {
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() is ignored until the accept loop runs.
        for (int i = 0; i < 5000 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void Stop() {
        if (!thread_.joinable()) return;
        server_.stop();
        thread_.join();
    }

    int port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace quillon::test
