# The sync benchmark's set-up and checks, outside every timing. Requests to the CardDAV server
# are plain HTTP as user "ann", password "secret" (the user tests/sync/dav_server.py gives
# Radicale).
#   sync_helper.py mkcol URL              make an empty address book at URL
#   sync_helper.py delete URL             remove it
#   sync_helper.py cards URL              "HREF<tab>FN" of every card in the address book
#   sync_helper.py dump URL               every card of the address book, one after the other
#   sync_helper.py set-email URL HREF ADDRESS
#                                         the card's EMAIL set to ADDRESS by a plain PUT, as
#                                         another client would do it
#   sync_helper.py split CARDS FOLDER     one file per card of CARDS: FOLDER/card-NNNN.vcf
#   sync_helper.py targets CARDS N        "NUMBER<tab>FN" of the first N cards whose name no
#                                         other card has
#   sync_helper.py set-file-email FILE ADDRESS
#                                         the EMAIL of the card in FILE set to ADDRESS
#   sync_helper.py set-record-email FILE NAME ADDRESS
#                                         the E-Mail field of the record NAME in the data file
#                                         FILE set to ADDRESS, as an edit by hand would
import base64
import collections
import re
import sys
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

AUTH = "Basic " + base64.b64encode(b"ann:secret").decode()
DAV = "{DAV:}"
CARD = "{urn:ietf:params:xml:ns:carddav}"
CARD_PATTERN = re.compile(r"BEGIN:VCARD.*?END:VCARD\r?\n", re.S)
EMAIL_FIELD = 8  # the ninth of the fourteen fields of a record


def request(method, url, body=None, headers=None):
    all_headers = {"Authorization": AUTH}
    all_headers.update(headers or {})
    req = urllib.request.Request(url, data=body, method=method, headers=all_headers)
    with urllib.request.urlopen(req, timeout=300) as answer:
        return answer.read()


def mkcol(url):
    body = (b'<?xml version="1.0"?><d:mkcol xmlns:d="DAV:" '
            b'xmlns:c="urn:ietf:params:xml:ns:carddav"><d:set><d:prop><d:resourcetype>'
            b'<d:collection/><c:addressbook/></d:resourcetype><d:displayname>Bench'
            b'</d:displayname></d:prop></d:set></d:mkcol>')
    request("MKCOL", url, body, {"Content-Type": "application/xml"})


def all_cards(url):
    body = (b'<?xml version="1.0"?><c:addressbook-query xmlns:d="DAV:" '
            b'xmlns:c="urn:ietf:params:xml:ns:carddav"><d:prop><c:address-data/></d:prop>'
            b'</c:addressbook-query>')
    answer = request("REPORT", url, body, {"Content-Type": "application/xml", "Depth": "1"})
    for response in ET.fromstring(answer).iter(DAV + "response"):
        href = response.findtext(DAV + "href")
        data = response.findtext(".//" + CARD + "address-data")
        if href and data:
            yield href, data


def full_name(card):
    found = re.search(r"^FN[;:](?:.*?:)?(.*?)\r?$", card, re.M)
    return found.group(1) if found else ""


def with_email(card, address):
    card, count = re.subn(r"^EMAIL[;:].*?\r?$", f"EMAIL;TYPE=INTERNET:{address}\r", card,
                          count=1, flags=re.M)
    if count == 0:
        card = card.replace("END:VCARD", f"EMAIL;TYPE=INTERNET:{address}\r\nEND:VCARD")
    return card


def set_email(url, href, address):
    card_url = urllib.parse.urljoin(url, href)
    card = request("GET", card_url).decode()
    request("PUT", card_url, with_email(card, address).encode(),
            {"Content-Type": "text/vcard; charset=utf-8"})


def cards_of(cards_file):
    return CARD_PATTERN.findall(open(cards_file, "rb").read().decode())


def split(cards_file, folder):
    for number, card in enumerate(cards_of(cards_file)):
        with open(f"{folder}/card-{number:04}.vcf", "w", newline="") as f:
            f.write(card)


def targets(cards_file, wanted):
    names = [full_name(card) for card in cards_of(cards_file)]
    count = collections.Counter(names)
    unique = [(number, name) for number, name in enumerate(names) if count[name] == 1]
    if len(unique) < wanted:
        sys.exit(f"sync_helper.py: only {len(unique)} cards have a name of their own")
    for number, name in unique[:wanted]:
        print(f"{number:04}\t{name}")


def set_file_email(path, address):
    card = open(path, newline="").read()
    with open(path, "w", newline="") as f:
        f.write(with_email(card, address))


def set_record_email(path, name, address):
    lines = open(path, "rb").read().split(b"\r\n")
    start = f'"{name}",'.encode()
    matches = [k for k, line in enumerate(lines) if line.startswith(start)]
    if len(matches) != 1:
        sys.exit(f"sync_helper.py: {len(matches)} records named {name} in {path}")
    fields = lines[matches[0]][1:-1].split(b'","')
    fields[EMAIL_FIELD] = address.encode()
    lines[matches[0]] = b'"' + b'","'.join(fields) + b'"'
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines))


command, arguments = sys.argv[1], sys.argv[2:]
if command == "mkcol":
    mkcol(*arguments)
elif command == "delete":
    request("DELETE", *arguments)
elif command == "cards":
    for href, data in all_cards(*arguments):
        print(f"{href}\t{full_name(data)}")
elif command == "dump":
    for _, data in all_cards(*arguments):
        sys.stdout.write(data)
elif command == "set-email":
    set_email(*arguments)
elif command == "split":
    split(*arguments)
elif command == "targets":
    targets(arguments[0], int(arguments[1]))
elif command == "set-file-email":
    set_file_email(*arguments)
elif command == "set-record-email":
    set_record_email(*arguments)
else:
    sys.exit(f"sync_helper.py: unknown command {command}")
