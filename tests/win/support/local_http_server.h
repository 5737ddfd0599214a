#pragma once

#include <winsock2.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <utility>

// An HTTP/1.1 server on 127.0.0.1 (a port the system picks) for one test: answers each GET with
// the status and body listed for its path, 404 for any other, and counts the requests.
class LocalHttpServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
    };
    explicit LocalHttpServer(std::map<std::string, Reply> replies) : replies_(std::move(replies)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(0);
        int size = sizeof(address);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 8);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalHttpServer() {
        // A last connection wakes the blocked accept, which then sees the stop.
        stopping_ = true;
        const SOCKET wake = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const sockaddr_in address = Loopback(port_);
        connect(wake, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        thread_.join();
        closesocket(wake);
        closesocket(listener_);
        WSACleanup();
    }
    std::wstring Base() const { return L"http://127.0.0.1:" + std::to_wstring(port_); }
    int Requests() const { return requests_; }

private:
    static sockaddr_in Loopback(unsigned short port) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    void Serve() {
        while (!stopping_) {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET || stopping_) {
                closesocket(client);
                break;
            }
            std::string request;
            char chunk[4096];
            for (int got;
                 request.find("\r\n\r\n") == std::string::npos && (got = recv(client, chunk, sizeof(chunk), 0)) > 0;) {
                request.append(chunk, got);
            }
            ++requests_;
            const size_t start = request.find(' ') + 1;
            const auto found = replies_.find(request.substr(start, request.find(' ', start) - start));
            const Reply reply = found != replies_.end() ? found->second : Reply{404, "not found"};
            const std::string answer = "HTTP/1.1 " + std::to_string(reply.status) +
                                       " X\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                                       std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
            for (size_t sent = 0, got = 0; sent < answer.size(); sent += got) {
                const int result = send(client, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
                got = result > 0 ? static_cast<size_t>(result) : answer.size();
            }
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::map<std::string, Reply> replies_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};
