#!/usr/bin/env python3
"""The demo's mail server: accepts every message on 127.0.0.1 over TLS
from the first byte (any port but 25 and 587 means that to the portal),
writes each one to the folder as message-N.eml and prints who it is for,
its subject and its text. A self-signed certificate is made at start.

    mail-catcher.py --port 2465 --folder demo/mail
"""

import argparse
import asyncio
import email
import email.policy
import pathlib
import ssl
import subprocess
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Catcher:
    def __init__(self, folder):
        self.folder = folder
        self.count = len(list(folder.glob("message-*.eml")))

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = self.folder / ("message-%d.eml" % self.count)
        path.write_bytes(envelope.original_content)
        message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        body = message.get_body(preferencelist=("plain",))
        text = body.get_content() if body else ""
        print("\n==> mail for %s: %s (%s)" % (", ".join(envelope.rcpt_tos), message["Subject"], path),
              flush=True)
        for line in text.splitlines():
            print("    " + line, flush=True)
        return "250 OK"


def accept_any_login(server, session, envelope, mechanism, auth_data):
    return AuthResult(success=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=2465)
    parser.add_argument("--folder", required=True)
    args = parser.parse_args()
    folder = pathlib.Path(args.folder)
    folder.mkdir(parents=True, exist_ok=True)
    cert, key = folder / "cert.pem", folder / "key.pem"
    if not cert.exists():
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key),
                        "-out", str(cert), "-days", "365", "-subj", "/CN=localhost"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(cert), str(key))
    controller = Controller(Catcher(folder), hostname="127.0.0.1", port=args.port, ssl_context=context,
                            authenticator=accept_any_login, auth_require_tls=False)
    controller.start()
    print("READY %d" % args.port, flush=True)
    try:
        asyncio.get_event_loop().run_forever()
    except KeyboardInterrupt:
        pass
    finally:
        controller.stop()


if __name__ == "__main__":
    sys.exit(main())
