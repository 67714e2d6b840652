"""Reads one e-mail message the way a mail client does, with Python's standard email package.

Usage: mail_reader.py FILE. Prints, each followed by a NUL byte and in UTF-8: the Sender's and
the From's display names as decoded (empty when the header is missing), the charset of the first
text/plain part and that part's text as decoded, line ends as LF (both empty without such a
part), and every header of the message, unfolded and decoded, one "Name: value" line each.
"""

import email
import email.header
import email.policy
import re
import sys


def display_name(header):
    return header.addresses[0].display_name if header is not None and header.addresses else ""


def decoded(value):
    """A raw header value unfolded and decoded as RFC 2047 section 6.2 says: the blank between two
    encoded words is dropped. (The policy's parser keeps it inside display names.) A value whose
    encoded words do not decode is given as it stands."""
    unfolded = re.sub(r"\r?\n(?=[ \t])", "", value)
    try:
        return str(email.header.make_header(email.header.decode_header(unfolded)))
    except UnicodeDecodeError:
        return unfolded


def main():
    with open(sys.argv[1], "rb") as source:
        message = email.message_from_binary_file(source, policy=email.policy.default)
    part = next((p for p in message.walk() if p.get_content_type() == "text/plain"), None)
    fields = [
        display_name(message["Sender"]),
        display_name(message["From"]),
        (part.get_content_charset() or "") if part else "",
        part.get_content().replace("\r\n", "\n") if part else "",
        "".join(f"{name}: {decoded(value)}\n" for name, value in message.raw_items()),
    ]
    sys.stdout.buffer.write(b"".join(field.encode("utf-8") + b"\0" for field in fields))


if __name__ == "__main__":
    main()
