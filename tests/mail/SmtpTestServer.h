#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

/// tests/mail/smtp_server.py (Debian's aiosmtpd) on 127.0.0.1, started for one test and ended with it: it stops
/// when its standard input closes, and this waits for it. Linux only: the server is a Linux program.
class SmtpTestServer
{
public:
    /// `mode`: plain, starttls, tls, refuse or silent; with `user` the server asks for AUTH.
    SmtpTestServer(const std::string& mode, const std::string& folder, const std::string& user = {},
                   const std::string& password = {});
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    /// 0 when the server did not start.
    int port() const { return m_port; }
    /// The certificate the server made (starttls, tls), to be trusted by the client.
    std::string certificate() const { return m_folder + "/cert.pem"; }
    /// Every message taken, decoded by Python's email parser, in the order they came.
    std::vector<std::string> messages() const;
    /// How many messages the Maildir holds.
    size_t maildirCount() const;

private:
    std::string m_folder;
    pid_t m_pid = -1;
    int m_input = -1;
    int m_port = 0;
};
