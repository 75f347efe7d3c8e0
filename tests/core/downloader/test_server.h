#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <httplib.h>

namespace quillon::downloader_test {

// A cpp-httplib server on 127.0.0.1 and a free port, running on its own
// thread for the life of the object. Routes are added before Start().
class LocalServer final {
public:
    LocalServer() = default;
    ~LocalServer() { Stop(); }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    httplib::Server& server() { return server_; }

    void Start() {
        // Without it the header and body writes of a response meet Nagle's
        // algorithm and the client's delayed ACK: 40 ms per page.
        server_.set_tcp_nodelay(true);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        for (int i = 0; i < 200 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void Stop() {
        server_.stop();
        if (thread_.joinable()) thread_.join();
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

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder final {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fetchwell-test-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        path_ = made ? std::string(made) + "/" : std::string();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends with '/'.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace quillon::downloader_test
