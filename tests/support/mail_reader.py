"""Reads one e-mail message the way a mail client does, with Python's standard email package.

Usage: mail_reader.py FILE. Prints, each followed by a NUL byte and in UTF-8: the Sender's and
the From's display names as decoded, the charset of the first text/plain part and that part's
text as decoded (line ends as LF).
"""

import email
import email.policy
import sys


def main():
    with open(sys.argv[1], "rb") as source:
        message = email.message_from_binary_file(source, policy=email.policy.default)
    part = next(p for p in message.walk() if p.get_content_type() == "text/plain")
    fields = [
        message["Sender"].addresses[0].display_name,
        message["From"].addresses[0].display_name,
        part.get_content_charset() or "",
        part.get_content().replace("\r\n", "\n"),
    ]
    sys.stdout.buffer.write(b"".join(field.encode("utf-8") + b"\0" for field in fields))


if __name__ == "__main__":
    main()
