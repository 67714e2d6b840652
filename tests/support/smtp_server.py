"""A small SMTP server for the mail tests, built on aiosmtpd.

Listens on HOST:PORT (127.0.0.1 by default) and stores every accepted message in OUTDIR as
NNN.eml (the message as received after DATA, dot-stuffing removed) beside
NNN.env (one "MAIL FROM:<...>" line, one "RCPT TO:<...>" line per recipient
and, after a login, "AUTH:<user>"), each written under a temporary name and
renamed, so a reader never sees half a file. With --user and --password the
server advertises AUTH LOGIN without TLS, accepts only that user and refuses
mail from a client that has not logged in. A recipient whose local part is "refused" is
refused (550), as a server refuses a mailbox it does not know. With --tls starttls (and --cert,
--key) it offers STARTTLS, requires it before any other command and offers
AUTH only after it; with --tls implicit it speaks TLS from the first byte.
Prints "ready" once it listens.
"""

import argparse
import asyncio
import itertools
import os
import signal
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class StoringHandler:
    def __init__(self, outdir):
        self.outdir = outdir
        self.counter = itertools.count(1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0] == "refused":
            return "550 5.1.1 <%s>: no such user" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        number = next(self.counter)
        lines = ["MAIL FROM:<%s>" % envelope.mail_from]
        lines += ["RCPT TO:<%s>" % rcpt for rcpt in envelope.rcpt_tos]
        if session.authenticated:
            lines.append("AUTH:%s" % session.auth_data)
        self._store("%03d.eml" % number, envelope.content)
        self._store("%03d.env" % number, ("\n".join(lines) + "\n").encode("latin-1"))
        return "250 Message accepted for delivery"

    def _store(self, name, data):
        temporary = os.path.join(self.outdir, "." + name + ".tmp")
        with open(temporary, "wb") as out:
            out.write(data)
        os.rename(temporary, os.path.join(self.outdir, name))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--outdir", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--tls", choices=["starttls", "implicit"])
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    context = None
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    starttls = args.tls == "starttls"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == args.user.encode("latin-1")
              and auth_data.password == args.password.encode("latin-1"))
        # handled=False lets the server answer a failed login with 535.
        return AuthResult(success=ok, handled=False, auth_data=args.user if ok else None)

    handler = StoringHandler(args.outdir)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    requires_login = args.user is not None

    def factory():
        return SMTP(handler,
                    hostname="corvasse-test",
                    loop=loop,
                    authenticator=authenticator if requires_login else None,
                    auth_required=requires_login,
                    tls_context=context if starttls else None,
                    require_starttls=starttls,
                    # Without STARTTLS aiosmtpd offers AUTH only when this is
                    # off (it cannot tell an implicit TLS connection).
                    auth_require_tls=starttls or not requires_login,
                    auth_exclude_mechanism=["PLAIN"] if requires_login else None)

    implicit = context if args.tls == "implicit" else None
    server = loop.run_until_complete(loop.create_server(factory, args.host, args.port, ssl=implicit))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    print("ready", flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()
        loop.close()


if __name__ == "__main__":
    main()
