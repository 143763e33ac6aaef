#!/usr/bin/python3
"""khard's and Radicale's vCard library as a peer of the exchange tests.

write VERSION: contacts as JSON on stdin, their cards as vobject writes them on stdout.
read: cards on stdin, what vobject finds in each as JSON on stdout.
"""
import json
import sys

import vobject


def write(version):
    out = []
    for p in json.load(sys.stdin):
        card = vobject.vCard()
        card.add("version").value = version
        card.add("fn").value = p["name"]
        card.add("n").value = vobject.vcard.Name(family=p["family"], given=p["given"])
        for number in p["phones"]:
            tel = card.add("tel")
            tel.value = number
            tel.type_param = "CELL"
        if p["email"]:
            card.add("email").value = p["email"]
        card.add("adr").value = vobject.vcard.Address(
            street=p["street"], city=p["city"], code=p["zip"], country=p["country"])
        if p["note"]:
            card.add("note").value = p["note"]
        out.append(card.serialize())
    sys.stdout.write("".join(out))


def read():
    found = []
    for card in vobject.readComponents(sys.stdin.read()):
        adr = card.adr.value if hasattr(card, "adr") else None
        found.append({
            "name": card.fn.value,
            "phones": [t.value for t in card.contents.get("tel", [])],
            "email": card.email.value if hasattr(card, "email") else "",
            "street": adr.street if adr else "",
            "city": adr.city if adr else "",
            "country": adr.country if adr else "",
            "note": card.note.value if hasattr(card, "note") else "",
            "uid": card.uid.value if hasattr(card, "uid") else "",
        })
    json.dump(found, sys.stdout)


if __name__ == "__main__":
    write(sys.argv[2]) if sys.argv[1] == "write" else read()
