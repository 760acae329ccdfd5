#pragma once

// A POP3 server on loopback that behaves, except where it is told to attack. It serves a
// mailbox (USER, PASS, STAT, LIST, UIDL, TOP, NOOP, CAPA, QUIT) to any login, one thread per
// connection, and records every command line it receives. An attack replaces the server's
// answer at one step of the dialogue for the next few connections:
//
//   EndlessLine   one line that never ends
//   Drip          the normal answer, one byte per second
//   Close         closes the connection instead of answering
//   Reset         resets the connection instead of answering
//   EndlessReply  an answer of endless lines: "+OK-" continuation lines after a one-line
//                 reply, header lines after "+OK" to TOP, listing lines to UIDL or LIST
//   Reply         the given bytes instead of the answer
//
// Later connections are served normally, so a test can show that the client recovers. Stop()
// (also run by the destructor) ends every connection at once.
//
// Made with TProtocol::Imap it serves the same mailbox over IMAP instead (CAPABILITY without
// STARTTLS, LOGIN, EXAMINE, UID SEARCH, UID FETCH of the header fields, IDLE, which reports
// messages added meanwhile, LOGOUT), every message unseen, with these attacks besides:
//
//   EndlessLiteral  the FETCH reply as literals of 1,000 bytes, one after another, never ending
//   HugeLiteral     a FETCH reply announcing a literal of 2^63 bytes, then silence
//   Flood           IDLE answered, then 200,000 "* n EXISTS" lines, then IDLE as usual
//   Bye             IDLE answered, then "* BYE", and the connection closed
//   Silence         no reply at all, the connection kept open

#include "LoopbackListener.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HostileServer {
public:
    enum class TProtocol { Pop3, Imap };
    enum class TStep {
        Greeting,
        User,
        Pass,
        Stat,
        Uidl,
        Top,
        Quit,
        Login,
        Examine,
        Search,
        Fetch,
        Idle
    };
    enum class TAttack {
        None,
        EndlessLine,
        Drip,
        Close,
        Reset,
        EndlessReply,
        Reply,
        EndlessLiteral,
        HugeLiteral,
        Flood,
        Bye,
        Silence
    };

    struct TMessage {
        std::string Headers; // the header lines, each ended by CR LF, without the empty line
        std::string Uid;
    };

    // A message of the usual form: From, Subject and Message-ID <id@example.org>.
    static TMessage Message(const std::string& from, const std::string& subject,
                            const std::string& id);

    explicit HostileServer(TProtocol protocol = TProtocol::Pop3);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    int Port() const { return FListener.Port(); }
    void SetMailbox(std::vector<TMessage> messages);
    void AddMessage(TMessage message);
    // The attack for the next Connections connections.
    void Attack(TStep step, TAttack attack, std::string reply = {}, int connections = 1);

    std::vector<std::string> Commands() const;
    int Connections() const;
    // Waits until the given number of connections has ended.
    bool WaitForFinished(int count, std::chrono::milliseconds timeout) const;
    void Stop();

private:
    struct TPlan {
        TStep Step = TStep::Greeting;
        TAttack Attack = TAttack::None;
        std::string Reply;
    };
    class TConnection;

    void Accept();
    void Serve(int fd, TPlan plan);
    void ServeImap(TConnection& client, const TPlan& plan);
    void Record(const std::string& line);

    TProtocol FProtocol;
    LoopbackListener FListener;
    std::thread FAcceptThread;

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::vector<std::thread> FServing;
    std::vector<TMessage> FMailbox;
    std::vector<TPlan> FPlans;
    std::vector<std::string> FCommands;
    int FAccepted = 0;
    int FFinished = 0;
};
