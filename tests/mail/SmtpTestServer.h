#pragma once

#include <string>
#include <vector>

/// tests/mail/smtp_server.py (Debian's aiosmtpd) on 127.0.0.1, started by /usr/bin/python3 for one test and ended
/// with it. On Windows the tests run under Wine, which starts the Linux program as it would a Windows one; on a
/// real Windows there is no such server, and available() is false.
class SmtpTestServer
{
public:
    /// `mode`: plain, starttls, tls, refuse or silent; with `user` the server asks for AUTH.
    SmtpTestServer(const std::string& mode, const std::string& folder, const std::string& user = {},
                   const std::string& password = {});
    /// Asks the server to stop and waits until it has.
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    /// False where no Linux python can be started (Windows outside Wine).
    static bool available();
    /// 0 when the server did not start.
    int port() const { return m_port; }
    /// The certificate the server made (starttls, tls), to be trusted by the client.
    std::string certificate() const { return m_folder + "/cert.pem"; }
    /// Every message taken, decoded by Python's email parser, in the order they came.
    std::vector<std::string> messages() const;
    /// How many messages the Maildir holds.
    size_t maildirCount() const;

private:
    void start(const std::vector<std::string>& arguments);
    void stop();

    std::string m_folder;
    int m_port = 0;
    long long m_pid = -1; ///< Linux: the server's process, to wait for
    int m_input = -1;     ///< Linux: its standard input, closed to end it should the test end early
};
