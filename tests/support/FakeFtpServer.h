#pragma once
// A scriptable FTP server on loopback for protocol cases a real server will
// not produce. It runs its script on its own thread against the first client
// connection, records every command line it reads, and connects to the
// client's PORT address when told to. Every wait is bounded.
//
//   FakeFtpServer s;
//   s.Reply("220 hi").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 ok");
//   s.Start();
//   ... drive the client against s.Port() ...
//   s.Finish();  EXPECT_EQ(s.Commands(), ...);
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vollum::test {

class FakeFtpServer {
public:
    struct Context;
    using Step = std::function<void(Context&)>;

    FakeFtpServer();
    ~FakeFtpServer();
    FakeFtpServer(const FakeFtpServer&) = delete;
    FakeFtpServer& operator=(const FakeFtpServer&) = delete;

    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }

    // Script steps, run in order.
    FakeFtpServer& Send(const std::string& bytes);          // raw bytes
    FakeFtpServer& Reply(const std::string& line);          // line + CR LF
    FakeFtpServer& Expect(const std::string& prefix = "");  // read one command line
    FakeFtpServer& ExpectUrgentAbort();                     // ABOR sent as urgent data
    FakeFtpServer& Pause(int ms);
    FakeFtpServer& CloseControl();
    FakeFtpServer& SendData(const std::string& bytes, int chunk = 0, int pauseMs = 0);  // connect to PORT, send, close
    FakeFtpServer& ReceiveData();                                                       // connect to PORT, read to EOF
    FakeFtpServer& ReceiveDataSlowly(size_t bytes, int pauseMs);                        // read some, then stall
    FakeFtpServer& ConnectDataOnly();  // connect to PORT and keep it open
    FakeFtpServer& CloseData();
    FakeFtpServer& Do(Step step);

    void Start();
    // Waits for the script to end (bounded), then closes everything.
    void Finish(int timeoutMs = 20000);
    bool Failed() const;
    std::string Failure() const;

    std::vector<std::string> Commands() const;  // command lines without CR LF
    std::string DataReceived() const;
    std::string LastPortArgument() const;

private:
    void Run();
    std::vector<Step> steps_;
    std::thread thread_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::string data_;
    std::string failure_;
    std::string portArg_;
    friend struct Context;

public:
    struct Context {
        FakeFtpServer& server;
        int control = -1;
        int data = -1;
        std::string buffered;  // bytes read past the last command line
        std::string ReadLine();
        void Write(const std::string& bytes);
        int ConnectToPort();
        void Fail(const std::string& why);
    };
};

}  // namespace vollum::test
