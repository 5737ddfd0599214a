#pragma once

#include <winsock2.h>
#include <wincrypt.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "win/support/watchkeep_process.h"

// An HTTPS server on localhost, at a port the system picks, that the program asks for updates while it
// lives: answers each request with the status and body listed for its path (404 for others), one
// connection at a time, and counts them. TLS is Python's, in front of a plain server of the test's
// own, with a certificate whose root only this prefix trusts (in its machine Root store).
class LocalHttpServer {
public:
    using Reply = std::pair<int, std::string>;  // status, body
    explicit LocalHttpServer(std::map<std::string, Reply> replies) : replies_(std::move(replies)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        TrustTestRoot();
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const u_short port = Listen(listener_);
        // The front's port: one the system had free a moment ago.
        const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        tlsPort_ = Listen(probe);
        closesocket(probe);
        // Python runs as the Linux program it is: its script by the path Z: stands for.
        std::wstring script = BuildBinaryPath(L"tls_front.py").substr(2);
        std::replace(script.begin(), script.end(), L'\\', L'/');
        StartProcess(L"Z:\\usr\\bin\\python3 " + script + L" " + std::to_wstring(tlsPort_) + L" " +
                     std::to_wstring(port));
        WaitUntil([this] { return Poke(); });
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
        Poke();  // finds no backend, so the front ends
        WSACleanup();
    }
    std::wstring Address() const { return L"https://localhost:" + std::to_wstring(tlsPort_); }
    int Requests() const { return requests_; }

private:
    static u_short Listen(SOCKET s) {
        sockaddr_in address = {AF_INET, 0, {{{127, 0, 0, 1}}}, {}};
        int size = sizeof(address);
        bind(s, reinterpret_cast<sockaddr*>(&address), size);
        listen(s, 8);
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
        return ntohs(address.sin_port);
    }
    bool Poke() const {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {AF_INET, htons(tlsPort_), {{{127, 0, 0, 1}}}, {}};
        const bool connected = !connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        closesocket(s);
        return connected;
    }
    static void TrustTestRoot() {
        const std::string pem = TestFolder::Read(BuildBinaryPath(L"..\\test-certificates\\tls-root.pem"));
        std::string der(pem.size(), '\0');
        DWORD size = static_cast<DWORD>(der.size());
        HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        ASSERT_TRUE(root && CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER,
                                                 reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr));
        EXPECT_TRUE(CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, reinterpret_cast<BYTE*>(der.data()),
                                                     size, CERT_STORE_ADD_USE_EXISTING, nullptr));
        CertCloseStore(root, 0);
    }
    void Answer(SOCKET client) {
        std::string request(8192, '\0');
        const int got = recv(client, request.data(), static_cast<int>(request.size()), 0);
        request.resize(got > 0 ? got : 0);
        requests_ += got > 0;  // the front's readiness probes and failed handshakes bring none
        const size_t start = request.find(' ') + 1;
        const auto found = replies_.find(request.substr(start, request.find(' ', start) - start));
        const auto& [status, body] = found != replies_.end() ? found->second : Reply{404, "not found"};
        const std::string answer = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n" +
                                   "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        send(client, answer.data(), static_cast<int>(answer.size()), 0);  // blocking: all of it, or the client left
        shutdown(client, SD_SEND);
        closesocket(client);
    }
    std::map<std::string, Reply> replies_;
    SOCKET listener_ = INVALID_SOCKET;
    u_short tlsPort_ = 0;
    std::atomic<int> requests_{0};
    std::thread thread_;
};
