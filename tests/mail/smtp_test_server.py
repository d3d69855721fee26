"""A mail server for the mail tests, on 127.0.0.1 only.

Mode "hangup" greets over TLS and drops the line at the first command.
Otherwise it writes every message it accepts to the output folder as message-N.eml (the
raw data) and message-N.json (the envelope, the login used and whether the
session was encrypted). Prints "READY <port>" once it listens, "BUSY" (exit
3) when the port is taken. Ends with SIGTERM, when its parent goes away, or
after --lifetime seconds.
"""

import argparse
import asyncio
import errno
import json
import os
import pathlib
import ssl
import subprocess
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def make_certificate(folder):
    cert = folder / "cert.pem"
    key = folder / "key.pem"
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", str(key), "-out", str(cert), "-days", "1", "-subj", "/CN=localhost"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(cert), str(key))
    return context


class HangUp(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport
        transport.write(b"220 mail.test going away\r\n")

    def data_received(self, data):
        self.transport.abort()


class Handler:
    def __init__(self, out, reject):
        self.out = out
        self.reject = reject
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address == self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = self.out / ("message-%d" % self.count)
        base.with_suffix(".eml").write_bytes(envelope.original_content)
        login = session.auth_data.decode("latin-1") if session.authenticated else None
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": login,
            "tls": server.transport.get_extra_info("ssl_object") is not None,
        }
        # The JSON file last: its presence says the message is complete.
        base.with_suffix(".json").write_text(json.dumps(record))
        return "250 2.0.0 Accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--mode", choices=["plain", "starttls", "implicit", "hangup"], required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--user", default="mailer")
    parser.add_argument("--password", default="s3cret")
    parser.add_argument("--reject", default="")
    parser.add_argument("--lifetime", type=float, default=300)
    args = parser.parse_args()

    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    tls = make_certificate(out) if args.mode != "plain" else None
    handler = Handler(out, args.reject)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and
              auth_data.login == args.user.encode("latin-1") and
              auth_data.password == args.password.encode("latin-1"))
        return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)

    def make_protocol():
        if args.mode == "hangup":
            return HangUp()
        return SMTP(handler,
                    hostname="mail.test",
                    tls_context=tls if args.mode == "starttls" else None,
                    require_starttls=args.mode == "starttls",
                    auth_require_tls=args.mode == "starttls",
                    authenticator=authenticator,
                    loop=loop)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    try:
        server = loop.run_until_complete(loop.create_server(
            make_protocol, host="127.0.0.1", port=args.port,
            ssl=tls if args.mode in ("implicit", "hangup") else None))
    except OSError as error:
        if error.errno in (errno.EADDRINUSE, errno.EACCES):
            print("BUSY", flush=True)
            sys.exit(3)
        raise
    print("READY %d" % server.sockets[0].getsockname()[1], flush=True)

    parent = os.getppid()

    def watch(remaining):
        if os.getppid() != parent or remaining <= 0:
            loop.stop()
            return
        loop.call_later(0.5, watch, remaining - 0.5)

    watch(args.lifetime)
    loop.run_forever()


if __name__ == "__main__":
    main()
