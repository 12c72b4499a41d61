"""A mail server on 127.0.0.1 for the mail tests, built on Debian's aiosmtpd.

Usage: smtp_server.py [--watch-input] MODE FOLDER [USER PASSWORD]

MODE: plain, starttls (STARTTLS required), tls (TLS from the first byte), refuse (every recipient refused) or
silent (takes connections and never answers). Messages go to the Maildir FOLDER/maildir; each is also written,
decoded by Python's own email parser, to FOLDER/decoded/N.txt for the test to read. With USER and PASSWORD the
server asks for AUTH and takes only them. A certificate for localhost is made with openssl at the start
(FOLDER/cert.pem, which the test trusts). Once the server listens, its port is written to FOLDER/port. The
server ends when FOLDER/stop appears, with --watch-input also when its standard input is closed (the test that
started it ended, however it ended), and after ten minutes in any case; it writes FOLDER/stopped as it ends.
"""
import asyncio
import email
import logging
import warnings
import email.policy
import email.utils
import os
import ssl
import subprocess
import sys
import threading

from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import SMTP, AuthResult


class DecodingMailbox(Mailbox):
    def __init__(self, folder):
        super().__init__(os.path.join(folder, "maildir"))
        self.decoded = os.path.join(folder, "decoded")
        os.makedirs(self.decoded, exist_ok=True)
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        answer = await super().handle_DATA(server, session, envelope)
        message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        try:
            date_ok = email.utils.parsedate_to_datetime(message["Date"]) is not None
        except (TypeError, ValueError):
            date_ok = False
        lines = [
            "From: " + str(message["From"]),
            "To: " + str(message["To"]),
            "Envelope-To: " + ";".join(envelope.rcpt_tos),
            "Subject: " + str(message["Subject"]),
            "Date-ok: " + ("yes" if date_ok else "no"),
            "Message-ID: " + str(message["Message-ID"]),
            "Content-Type: " + message.get_content_type() + "; " + str(message.get_content_charset()),
            "",
            message.get_content(),
        ]
        self.count += 1
        with open(os.path.join(self.decoded, "%d.txt" % self.count), "w", encoding="utf-8", newline="") as out:
            out.write("\n".join(lines))
        return answer


class RefusingHandler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        return "550 5.7.1 Relaying denied"


def make_certificate(folder):
    cert = os.path.join(folder, "cert.pem")
    key = os.path.join(folder, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=localhost",
         "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", key, "-out", cert],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


async def serve(mode, folder, user, password, watch_input):
    loop = asyncio.get_running_loop()
    if mode == "silent":
        async def hold(reader, writer):
            await asyncio.sleep(3600)
        server = await asyncio.start_server(hold, "127.0.0.1", 0)
    else:
        context = make_certificate(folder) if mode in ("starttls", "tls") else None
        handler = RefusingHandler() if mode == "refuse" else DecodingMailbox(folder)
        options = {}
        if user is not None:
            def authenticate(server, session, envelope, mechanism, data):
                ok = data.login == user.encode() and data.password == password.encode()
                return AuthResult(success=ok, handled=False)
            options.update(authenticator=authenticate, auth_required=True, auth_require_tls=False)
        if mode == "starttls":
            options.update(tls_context=context, require_starttls=True)
        server = await loop.create_server(lambda: SMTP(handler, hostname="test.invalid", **options), "127.0.0.1", 0,
                                          ssl=context if mode == "tls" else None)
    with open(os.path.join(folder, "port.tmp"), "w") as out:
        out.write(str(server.sockets[0].getsockname()[1]))
    os.replace(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
    input_closed = threading.Event()
    if watch_input:
        threading.Thread(target=lambda: (sys.stdin.read(), input_closed.set()), daemon=True).start()
    for _ in range(6000):
        if input_closed.is_set() or os.path.exists(os.path.join(folder, "stop")):
            break
        await asyncio.sleep(0.1)
    server.close()
    open(os.path.join(folder, "stopped"), "w").close()


def main():
    # Plain AUTH is what the tests ask for; aiosmtpd's warnings about it would only clutter their output.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    arguments = sys.argv[1:]
    watch_input = arguments[:1] == ["--watch-input"]
    if watch_input:
        arguments = arguments[1:]
    mode, folder = arguments[0], arguments[1]
    user, password = (arguments[2], arguments[3]) if len(arguments) > 3 else (None, None)
    asyncio.run(serve(mode, folder, user, password, watch_input))


if __name__ == "__main__":
    main()
