#!/usr/bin/env python3
"""A stand-in for the card gateways, served over HTTPS on 127.0.0.1.

It speaks for all three gateways the portal charges through: the form-post
gateway (a form post to ".../ProcessCreditCard"), JetPay (an XML document
whose root is <JetPay>) and Authorize.Net (a <createTransactionRequest> or
<deleteCustomerProfileRequest>). Every request is recorded, as it came, one
JSON line each in FOLDER/requests.jsonl: method, path, headers and the body's
bytes (base64).

Answers come, in this order, from:
  1. the queue: files FOLDER/queue/*.json, taken in name order and removed;
     each is one answer: {"status": 200, "body": "text"} or
     {"status": 200, "body_base64": "..."}, optionally "content_type", or
     {"close": true} to drop the connection without answering. Faults a
     test injects, any of them beside status and body:
       "delay_ms": N               answer N ms after the request (which is
                                   recorded before the wait);
       "reset": true               abort the connection with a TCP reset;
       "cut_after": N              send only the first N bytes of the
                                   whole answer, then close;
       "content_length_extra": N   declare N bytes more than the body has,
                                   then close;
       "body_repeat": K            send the body K times over (a large
                                   answer without a large queue file);
  2. with --demo, the gateway's own logic: the test card 4111111111111111 and
     every card-on-file request are approved, 4000000000000002 and any other
     card declined, in each gateway's answer format (Authorize.Net answers
     start with the UTF-8 byte-order mark, as the real service's do); one line
     per charge is printed (gateway, masked card, amount, outcome) unless
     --quiet; in this mode requests.jsonl keeps card numbers masked to their
     last four digits and CVNs as "***", as a demo must not keep card data;
  3. otherwise status 503 with the text "no answer queued".
Without --demo, requests are recorded byte for byte: the tests check what
the program sent.
--script FILE queues the answers of a JSON list at start.

At start it makes, in FOLDER, a test CA (ca.pem) and a certificate for
127.0.0.1 and localhost signed by it; clients trust ca.pem. With --untrusted
it makes and serves instead a certificate from a second CA (other-ca.pem), one
that clients trusting ca.pem do not accept. Certificates are valid from 2000
to 2099, so clients under a faked clock accept them too.

Prints "READY <port>" once it listens. Ends on SIGTERM or Ctrl-C, or when the
process --parent names is gone.

    fake-card-gateway.py --folder demo/gateway --port 8443 --demo
    fake-card-gateway.py --folder /tmp/gw --script answers.json
"""

import argparse
import base64
import errno
import http.server
import itertools
import json
import os
import pathlib
import re
import signal
import socket
import struct
import time
import ssl
import subprocess
import sys
import threading
import xml.etree.ElementTree as ElementTree

TEST_CARD = "4111111111111111"
DECLINED_CARD = "4000000000000002"
ANET_NAMESPACE = "AnetApi/xml/v1/schema/AnetApiSchema.xsd"
UTF8_BOM = b"\xef\xbb\xbf"

OPENSSL_CONFIG = """\
[ ca ]
default_ca = fake
[ fake ]
database = {folder}/index.txt
new_certs_dir = {folder}
serial = {folder}/serial
default_md = sha256
policy = any
unique_subject = no
[ any ]
commonName = supplied
[ ca_ext ]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[ server_ext ]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1,DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def make_ca_and_server_certificate(folder, name):
    """A CA <name>.pem and a server certificate <name>-server.pem it signed."""
    work = folder / (name + "-work")
    work.mkdir(parents=True, exist_ok=True)
    (work / "index.txt").write_text("")
    (work / "serial").write_text("1000\n")
    config = work / "openssl.cnf"
    config.write_text(OPENSSL_CONFIG.format(folder=work))
    # A fixed, wide validity: the CGI tests run the program under faketime.
    dates = ["-startdate", "20000101000000Z", "-enddate", "20991231235959Z"]
    new_key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    ca, ca_key = folder / (name + ".pem"), work / "ca-key.pem"
    openssl("req", "-new", *new_key, "-keyout", str(ca_key), "-out", str(work / "ca.csr"),
            "-subj", "/CN=Fake card gateway " + name)
    openssl("ca", "-batch", "-notext", "-config", str(config), "-selfsign", "-keyfile",
            str(ca_key), "-in", str(work / "ca.csr"), "-out", str(ca), "-extensions", "ca_ext",
            *dates)
    server, server_key = folder / (name + "-server.pem"), folder / (name + "-server-key.pem")
    openssl("req", "-new", *new_key, "-keyout", str(server_key), "-out",
            str(work / "server.csr"), "-subj", "/CN=127.0.0.1")
    openssl("ca", "-batch", "-notext", "-config", str(config), "-cert", str(ca), "-keyfile",
            str(ca_key), "-in", str(work / "server.csr"), "-out", str(server), "-extensions",
            "server_ext", *dates)
    return server, server_key


def mask(card):
    return card if len(card) <= 4 else "*" * (len(card) - 4) + card[-4:]


CARD_RUN = re.compile(rb"(?<![0-9])[0-9]{13,19}(?![0-9])")
CVN_FIELDS = (re.compile(rb"(CVNum=)[^&\r\n]*"), re.compile(rb"(<CVV2>)[^<]*"),
              re.compile(rb"(<cardCode>)[^<]*"))


def mask_card_data(body):
    """The request as a demo may keep it: card numbers to their last four."""
    body = CARD_RUN.sub(lambda m: b"*" * (len(m.group(0)) - 4) + m.group(0)[-4:], body)
    for field in CVN_FIELDS:
        body = field.sub(lambda m: m.group(1) + b"***", body)
    return body


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def find_text(root, name):
    """The text of the first element named `name` (any namespace), or None."""
    for element in root.iter():
        if local_name(element.tag) == name:
            return element.text or ""
    return None


class Gateway:
    """What the handler threads share."""

    def __init__(self, folder, demo, quiet):
        self.folder = folder
        self.queue = folder / "queue"
        self.queue.mkdir(parents=True, exist_ok=True)
        self.records = folder / "requests.jsonl"
        self.records.touch()
        self.demo = demo
        self.quiet = quiet
        self.lock = threading.Lock()
        self.numbers = itertools.count(7001)

    def record(self, method, path, headers, body):
        if self.demo:
            body = mask_card_data(body)
        line = json.dumps({"method": method, "path": path, "headers": headers,
                           "body_base64": base64.b64encode(body).decode("ascii")})
        with self.lock, open(self.records, "a", encoding="utf-8") as records:
            records.write(line + "\n")

    def next_queued(self):
        with self.lock:
            for path in sorted(self.queue.glob("*.json")):
                answer = json.loads(path.read_text(encoding="utf-8"))
                path.unlink()
                return answer
        return None

    def next_number(self):
        with self.lock:
            return next(self.numbers)

    def report(self, gateway, card, amount, approved):
        if self.quiet:
            return
        try:
            print("%s: %s %s %s" % (gateway, card, amount, "approved" if approved else "declined"),
                  flush=True)
        except OSError:
            pass

    # ---- the gateways' own answers, for --demo ----

    def answer_by_protocol(self, path, body):
        if path.rstrip("/").endswith("ProcessCreditCard"):
            return self.form_post(body)
        try:
            root = ElementTree.fromstring(body)
        except ElementTree.ParseError:
            return None
        kind = local_name(root.tag)
        if kind == "JetPay":
            return self.jetpay(root)
        if kind == "createTransactionRequest":
            return self.anet_sale(root)
        if kind == "deleteCustomerProfileRequest":
            return self.anet_answer("deleteCustomerProfileResponse", "Ok", "I00001", "Successful.")
        return None

    def form_post(self, body):
        fields = {}
        for item in body.decode("latin-1").rstrip("\r\n").split("&"):
            name, _, value = item.partition("=")
            fields[name] = value
        stored = "CcInfoKey" in fields
        card = fields.get("CardNum", "")
        approved = stored or card == TEST_CARD
        reference = self.next_number()
        if approved:
            inner = ("<Result>0</Result><RespMSG>Approved</RespMSG><Message>APPROVAL</Message>"
                     "<AuthCode>%06d</AuthCode>" % reference)
        else:
            inner = "<Result>12</Result><RespMSG>Declined</RespMSG><Message>DECLINE</Message>"
        text = ('<?xml version="1.0" encoding="utf-8"?>\r\n'
                '<Response xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
                'xmlns="http://TPISoft.com/SmartPayments/">' + inner +
                "<PNRef>%d</PNRef><HostCode>%d</HostCode></Response>" % (reference, reference))
        self.report("form-post", "card on file " + fields["CcInfoKey"] if stored else mask(card),
                    fields.get("Amount", ""), approved)
        return {"status": 200, "content_type": "text/xml; charset=utf-8", "body": text}

    def jetpay(self, root):
        token = find_text(root, "Token")
        card = find_text(root, "CardNum") or ""
        approved = token is not None or card == TEST_CARD
        cents = int(find_text(root, "TotalAmount") or "0")
        number = self.next_number()
        text = ("<JetPayResponse><TransactionID>%s</TransactionID>"
                "<ActionCode>%s</ActionCode><Approval>%s</Approval>"
                "<ResponseText>%s</ResponseText><Token>%s</Token></JetPayResponse>" % (
                    find_text(root, "TransactionID") or "", "000" if approved else "005",
                    "TEST%02d" % (number % 100) if approved else "",
                    "APPROVED" if approved else "DECLINED", token or "TK%d" % number))
        self.report("JetPay", "card on file " + token if token is not None else mask(card),
                    "%d.%02d" % (cents // 100, cents % 100), approved)
        return {"status": 200, "content_type": "text/xml", "body": text}

    def anet_sale(self, root):
        profile = find_text(root, "customerProfileId")
        card = find_text(root, "cardNumber") or ""
        approved = profile is not None or card == TEST_CARD
        number = self.next_number()
        last4 = card[-4:] if card else "0000"
        if approved:
            transaction = ("<transactionResponse><responseCode>1</responseCode>"
                           "<authCode>A%05d</authCode><avsResultCode>Y</avsResultCode>"
                           "<cvvResultCode>P</cvvResultCode><transId>6%010d</transId>"
                           "<refTransID /><transHash>H%d</transHash>"
                           "<accountNumber>XXXX%s</accountNumber><accountType>Visa</accountType>"
                           "<messages><message><code>1</code><description>This transaction has "
                           "been approved.</description></message></messages>"
                           "</transactionResponse>" % (number, number, number, last4))
            answer = self.anet_answer("createTransactionResponse", "Ok", "I00001", "Successful.",
                                      transaction)
        else:
            transaction = ("<transactionResponse><responseCode>2</responseCode><authCode />"
                           "<transId>6%010d</transId><accountNumber>XXXX%s</accountNumber>"
                           "<errors><error><errorCode>2</errorCode><errorText>This transaction "
                           "has been declined.</errorText></error></errors>"
                           "</transactionResponse>" % (number, last4))
            answer = self.anet_answer("createTransactionResponse", "Error", "E00027",
                                      "The transaction was unsuccessful.", transaction)
        self.report("Authorize.Net", "card on file " + profile if profile is not None
                    else mask(card), find_text(root, "amount") or "", approved)
        return answer

    @staticmethod
    def anet_answer(kind, result, code, text, inner=""):
        document = ('<?xml version="1.0" encoding="utf-8"?><%s '
                    'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
                    'xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns="%s"><messages>'
                    "<resultCode>%s</resultCode><message><code>%s</code><text>%s</text>"
                    "</message></messages>%s</%s>" % (kind, ANET_NAMESPACE, result, code, text,
                                                      inner, kind))
        return {"status": 200, "content_type": "application/xml; charset=utf-8",
                "body_base64": base64.b64encode(UTF8_BOM + document.encode("utf-8")).decode()}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in two writes; without this the client's
    # delayed acknowledgement holds every answer back some 40 ms.
    disable_nagle_algorithm = True
    server_version = "FakeCardGateway/1.0"

    def do_POST(self):
        self.serve()

    def do_GET(self):
        self.serve()

    def serve(self):
        gateway = self.server.gateway
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        gateway.record(self.command, self.path, [list(item) for item in self.headers.items()],
                       body)
        answer = gateway.next_queued()
        if answer is None and gateway.demo:
            answer = gateway.answer_by_protocol(self.path, body)
        if answer is None:
            answer = {"status": 503, "content_type": "text/plain", "body": "no answer queued"}
        if answer.get("delay_ms"):
            time.sleep(answer["delay_ms"] / 1000.0)
        if answer.get("close"):
            self.close_connection = True
            return
        if answer.get("reset"):
            self.reset_connection()
            return
        if "body_base64" in answer:
            content = base64.b64decode(answer["body_base64"])
        else:
            content = answer.get("body", "").encode("utf-8")
        repeat = max(1, int(answer.get("body_repeat", 1)))
        declared = len(content) * repeat + int(answer.get("content_length_extra", 0))
        head = ("HTTP/1.1 %d %s\r\nServer: %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n"
                % (answer.get("status", 200), self.responses.get(answer.get("status", 200),
                                                                  ("",))[0],
                   self.server_version, answer.get("content_type", "text/xml; charset=utf-8"),
                   declared)).encode("ascii")
        limit = answer.get("cut_after")
        try:
            self.send_limited(head, content, repeat, limit)
        except OSError:
            pass  # the client hung up, as a client may
        if limit is not None or answer.get("content_length_extra"):
            # Gone as a broken line goes: without the TLS close_notify that
            # would tell the client the answer was complete.
            self.close_connection = True
            self.server.abrupt_sockets.add(id(self.connection))

    def send_limited(self, head, content, repeat, limit):
        """The head and the body repeated, stopping after `limit` bytes."""
        left = limit if limit is not None else -1
        for piece in itertools.chain([head], itertools.repeat(content, repeat)):
            if left == 0:
                return
            if left > 0:
                piece = piece[:left]
                left -= len(piece)
            self.wfile.write(piece)
        self.wfile.flush()

    def reset_connection(self):
        """An RST instead of an answer: linger off, and no TLS close."""
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.close_connection = True
        self.server.abrupt_sockets.add(id(self.connection))

    def log_message(self, format, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, context, gateway):
        super().__init__(address, Handler)
        self.abrupt_sockets = set()
        self.context = context
        self.gateway = gateway

    def finish_request(self, request, client_address):
        # The handshake runs in the request's own thread, so one slow or
        # refusing client does not hold up the others.
        try:
            connection = self.context.wrap_socket(request, server_side=True)
        except OSError:
            return
        try:
            super().finish_request(connection, client_address)
        finally:
            if id(connection) in self.abrupt_sockets:
                # Closing the raw descriptor skips the TLS close_notify (and
                # with linger off sends a reset).
                self.abrupt_sockets.discard(id(connection))
                os.close(connection.detach())
            else:
                connection.close()

    def handle_error(self, request, client_address):
        # A client that hangs up early is no reason to print a trace.
        pass


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0], epilog=__doc__.split("\n\n", 1)[1],
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--folder", required=True,
                        help="where the certificates, the queue and requests.jsonl are kept")
    parser.add_argument("--port", type=int, default=0, help="0 (the default): any free port")
    parser.add_argument("--demo", action="store_true",
                        help="answer what is not queued as the gateways would")
    parser.add_argument("--quiet", action="store_true", help="no line per charge in --demo mode")
    parser.add_argument("--script", help="a JSON list of answers to queue at start")
    parser.add_argument("--untrusted", action="store_true",
                        help="serve a certificate from a CA that clients do not trust")
    parser.add_argument("--parent", type=int, default=0, help="end when this process is gone")
    args = parser.parse_args()

    folder = pathlib.Path(args.folder).resolve()
    folder.mkdir(parents=True, exist_ok=True)
    try:
        certificate = make_ca_and_server_certificate(folder, "ca")
        if args.untrusted:
            certificate = make_ca_and_server_certificate(folder, "other-ca")
    except subprocess.CalledProcessError as error:
        sys.stderr.write("openssl failed: %s\n" % error.stderr.decode(errors="replace"))
        sys.exit(1)
    gateway = Gateway(folder, args.demo, args.quiet)
    if args.script:
        answers = json.loads(pathlib.Path(args.script).read_text(encoding="utf-8"))
        for index, answer in enumerate(answers):
            (gateway.queue / ("script-%06d.json" % index)).write_text(json.dumps(answer))

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(*certificate)
    try:
        server = Server(("127.0.0.1", args.port), context, gateway)
    except OSError as error:
        if error.errno in (errno.EADDRINUSE, errno.EACCES):
            print("BUSY", flush=True)
            sys.exit(3)
        raise

    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    if args.parent:
        def watch_parent():
            while True:
                try:
                    os.kill(args.parent, 0)
                except ProcessLookupError:
                    server.shutdown()
                    return
                threading.Event().wait(0.5)
        threading.Thread(target=watch_parent, daemon=True).start()

    print("READY %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()


if __name__ == "__main__":
    main()
