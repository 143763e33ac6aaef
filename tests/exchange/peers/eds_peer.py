#!/usr/bin/python3
"""evolution-data-server's vCard code (GNOME Contacts) as a peer of the exchange tests.

write 2.1|3.0: contacts as JSON on stdin, their cards as EBookContacts writes them on stdout.
read: cards on stdin (one file), what EBookContacts finds in each as JSON on stdout.
"""
import json
import re
import sys

import gi

gi.require_version("EBookContacts", "1.2")
from gi.repository import EBookContacts as E  # noqa: E402

FORMATS = {"2.1": E.VCardFormat(0), "3.0": E.VCardFormat(1)}


def write(version):
    out = []
    for p in json.load(sys.stdin):
        c = E.Contact.new()
        c.set_property("full-name", p["name"])
        for field, number in zip(("mobile-phone", "home-phone", "business-phone"), p["phones"]):
            c.set_property(field, number)
        if p["email"]:
            c.set_property("email-1", p["email"])
        if p["note"]:
            c.set_property("note", p["note"])
        adr = E.VCardAttribute.new(None, "ADR")
        adr.add_param_with_value(E.VCardAttributeParam.new("TYPE"), "HOME")
        for value in ("", "", p["street"], p["city"], "", p["zip"], p["country"]):
            adr.add_value(value)
        c.add_attribute(adr)
        out.append(c.to_string(FORMATS[version]) + "\r\n")
    sys.stdout.write("".join(out))


def values(contact, name):
    return [a.get_value() or "" for a in contact.get_attributes(getattr(E.ContactField, name))]


def read():
    text = sys.stdin.read()
    found = []
    for card in re.findall(r"BEGIN:VCARD.*?END:VCARD", text, re.S | re.I):
        c = E.Contact.new_from_vcard(card)
        adr = [a for a in c.get_attributes(E.ContactField.ADDRESS)]
        parts = adr[0].get_values() if adr else [""] * 7
        found.append({
            "name": c.get_property("full-name") or "",
            "phones": values(c, "TEL"),
            "email": (values(c, "EMAIL") or [""])[0],
            "street": parts[2], "city": parts[3], "country": parts[6],
            "note": c.get_property("note") or "",
            "uid": c.get_property("id") or "",
        })
    json.dump(found, sys.stdout)


if __name__ == "__main__":
    write(sys.argv[2]) if sys.argv[1] == "write" else read()
