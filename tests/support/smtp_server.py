#!/usr/bin/python3
"""SMTP server for tests: listens on 127.0.0.1, prints "PORT <n>" on its
first output line and saves each message it accepts.

Modes:
  plain              no TLS; AUTH LOGIN/PLAIN offered but not required
  auth               no TLS; AUTH required before MAIL
  starttls           STARTTLS offered; AUTH offered before and after TLS
  starttls-required  STARTTLS must come first; AUTH offered after TLS
  auth-after-tls     STARTTLS offered; AUTH offered only after TLS
  noauth             no TLS; AUTH never offered
  silent             accepts connections and never says a word
--greeting-delay S delays the greeting of any mode.

Each accepted message is saved as OUT/NNN.eml (the bytes as received, dot
stuffing undone) and OUT/NNN.json (envelope, login name, and whether the
login and the message travelled over TLS). The server ends by itself after
--lifetime seconds, or when its standard input closes (the test is gone).
"""
import argparse
import asyncio
import json
import os
import ssl
import sys
import threading

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Saver:
    def __init__(self, out):
        self.out = out
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.out, "%03d" % self.count)
        with open(base + ".eml.part", "wb") as f:
            f.write(envelope.original_content)
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": getattr(session, "test_login", None),
            "login_over_tls": getattr(session, "test_login_tls", None),
            "tls": server._tls_protocol is not None,
        }
        with open(base + ".json", "w") as f:
            json.dump(info, f)
        # The .eml appears last and whole: a reader that sees it sees both.
        os.rename(base + ".eml.part", base + ".eml")
        return "250 Message accepted for delivery"


class Authenticator:
    def __init__(self, user, password):
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        if auth_data.login != self.user or auth_data.password != self.password:
            # handled=False: the server answers 535 itself; True would leave
            # the client waiting for a reply.
            return AuthResult(success=False, handled=False)
        session.test_login = auth_data.login.decode()
        session.test_login_tls = server._tls_protocol is not None
        return AuthResult(success=True)


class DelayedSMTP(SMTP):
    greeting_delay = 0.0

    async def _handle_client(self):
        if self.greeting_delay > 0:
            await asyncio.sleep(self.greeting_delay)
        await super()._handle_client()


MODES = {
    # mode: (tls, require_starttls, auth_required, auth_require_tls)
    "plain": (False, False, False, False),
    "auth": (False, False, True, False),
    "starttls": (True, False, False, False),
    "starttls-required": (True, True, False, True),
    "auth-after-tls": (True, False, False, True),
    "noauth": (False, False, False, True),
}


async def silent_client(reader, writer):
    try:
        while await reader.read(4096):
            pass
    finally:
        writer.close()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--mode", default="plain", choices=sorted(MODES) + ["silent"])
    p.add_argument("--out", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--user", default="tester")
    p.add_argument("--password", default="secret")
    p.add_argument("--greeting-delay", type=float, default=0.0)
    p.add_argument("--lifetime", type=float, default=300.0)
    a = p.parse_args()
    os.makedirs(a.out, exist_ok=True)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)

    if a.mode == "silent":
        server = loop.run_until_complete(asyncio.start_server(silent_client, "127.0.0.1", 0))
    else:
        tls, require_starttls, auth_required, auth_require_tls = MODES[a.mode]
        context = None
        if tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(a.cert, a.key)
        handler = Saver(a.out)
        authenticator = Authenticator(a.user, a.password)

        def factory():
            s = DelayedSMTP(handler, hostname="test.smtp.local", tls_context=context,
                            require_starttls=require_starttls,
                            auth_required=auth_required, auth_require_tls=auth_require_tls,
                            authenticator=authenticator, timeout=60,
                            data_size_limit=None)
            s.greeting_delay = a.greeting_delay
            return s

        server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))

    port = server.sockets[0].getsockname()[1]
    print("PORT %d" % port, flush=True)

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(1):
                pass
        finally:
            loop.call_soon_threadsafe(loop.stop)

    threading.Thread(target=watch_stdin, daemon=True).start()
    loop.call_later(a.lifetime, loop.stop)
    loop.run_forever()


if __name__ == "__main__":
    main()
