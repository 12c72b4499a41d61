#pragma once

#include "Result.h"

#include <chrono>
#include <string>
#include <vector>

/// How the connection to the mail server is protected.
enum class MailEncryption {
    None = 0,     ///< plain SMTP
    StartTls = 1, ///< plain SMTP that must switch to TLS (STARTTLS) before anything else is sent
    Tls = 2       ///< TLS from the first byte (SMTPS)
};

/// The mail server and the account a message is sent through.
struct MailServer
{
    std::string host; ///< name or address
    int port = 25;
    MailEncryption encryption = MailEncryption::None;
    std::string user;     ///< empty: no AUTH
    std::string password; ///< with `user`
    /// A file of certificates the server's must chain to, instead of the system's (tests with a certificate made
    /// for them); empty: the system's.
    std::string certificateAuthorities;
    /// From connecting to the server's last answer: a server that does not connect, answer or finish within it
    /// is given up.
    std::chrono::milliseconds timeLimit{30000};
};

/// One message on its way.
struct MailEnvelope
{
    std::string from;            ///< the sender's address, as MAIL FROM
    std::vector<std::string> to; ///< every recipient's address, as RCPT TO
    std::string message;         ///< the whole message, headers and body, lines ending in CR LF
};

/// How a sending went.
struct MailDelivery
{
    Result result = Result::failure("not sent"); ///< success when the server took the message
    /// The server's last answer ("250 2.0.0 Ok: queued as ...", "535 5.7.8 Authentication failed"); empty when it
    /// gave none.
    std::string serverAnswer;
};

/// Sends mail through an SMTP server.
class MailSender
{
public:
    virtual ~MailSender() = default;
    /// Sends `envelope` through `server`, blocking until the server took it, refused it, or the time limit ran
    /// out. The certificate of a TLS server is always checked. A failure says why, in the words of the server when
    /// it answered.
    virtual MailDelivery send(const MailServer& server, const MailEnvelope& envelope) = 0;
};
