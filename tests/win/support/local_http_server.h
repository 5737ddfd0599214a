#pragma once

#include <winsock2.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "update/update_state.h"

// An HTTP server on 127.0.0.1, at a port the system picks, that the program asks for updates while it
// lives: answers each request with the status and body listed for its path (404 for others), one
// connection at a time, and counts them.
class LocalHttpServer {
public:
    using Reply = std::pair<int, std::string>;  // status, body
    explicit LocalHttpServer(std::map<std::string, Reply> replies) : replies_(std::move(replies)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        int size = sizeof(address_);
        bind(listener_, reinterpret_cast<sockaddr*>(&address_), size);
        listen(listener_, 8);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address_), &size);
        updateServer.Set(L"http://127.0.0.1:" + std::to_wstring(ntohs(address_.sin_port)));
        // The destructor closes the listener, which ends the blocked accept and the loop.
        thread_ = std::thread([this] {
            for (SOCKET client; (client = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET;) {
                Answer(client);
            }
        });
    }
    ~LocalHttpServer() {
        closesocket(listener_);
        thread_.join();
        WSACleanup();
        updateServer.Set(programServer_);
    }
    int Requests() const { return requests_; }

private:
    void Answer(SOCKET client) {
        std::string request(8192, '\0');
        const int got = recv(client, request.data(), static_cast<int>(request.size()), 0);
        request.resize(got > 0 ? got : 0);
        ++requests_;
        const size_t start = request.find(' ') + 1;
        const auto found = replies_.find(request.substr(start, request.find(' ', start) - start));
        const auto& [status, body] = found != replies_.end() ? found->second : Reply{404, "not found"};
        const std::string answer = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n" +
                                   "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        send(client, answer.data(), static_cast<int>(answer.size()), 0);  // blocking: all of it, or the client left
        shutdown(client, SD_SEND);
        closesocket(client);
    }
    const std::wstring programServer_ = updateServer.Get();
    std::map<std::string, Reply> replies_;
    sockaddr_in address_ = {AF_INET, 0, {{{127, 0, 0, 1}}}, {}};
    SOCKET listener_ = INVALID_SOCKET;
    std::atomic<int> requests_{0};
    std::thread thread_;
};
