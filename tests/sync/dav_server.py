# Starts a real CardDAV server for the sync tests on a free loopback port, with its storage in
# the folder given and one address book, then prints "PORT PATH" (PATH: the address book) and
# stops the server when its standard input closes. User "ann", password "secret".
#   dav_server.py radicale|xandikos FOLDER [PORT]
# With PORT the server starts again on that port over the storage it had (a restart).
import os
import socket
import subprocess
import sys
import time
import urllib.error
import urllib.request

kind, folder = sys.argv[1], sys.argv[2]
fixed_port = int(sys.argv[3]) if len(sys.argv) > 3 else 0


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def start(port):
    log = open(os.path.join(folder, "server.log"), "wb")
    if kind == "radicale":
        users = os.path.join(folder, "users")
        with open(users, "w") as f:
            f.write("ann:secret\n")
        command = [sys.executable, "-m", "radicale", "--config", "",
                   "--server-hosts", f"127.0.0.1:{port}",
                   "--storage-filesystem-folder", os.path.join(folder, "store"),
                   "--auth-type", "htpasswd", "--auth-htpasswd-filename", users,
                   "--auth-htpasswd-encryption", "plain", "--auth-delay", "0"]
    else:
        command = [sys.executable, "/usr/bin/xandikos", "-d", os.path.join(folder, "store"),
                   "--defaults", "-l", "127.0.0.1", "-p", str(port),
                   "--current-user-principal", "/ann/"]
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log)


def make_address_book(port):
    if kind != "radicale":
        return "/ann/contacts/addressbook/"  # made by --defaults
    body = (b'<?xml version="1.0"?><d:mkcol xmlns:d="DAV:" '
            b'xmlns:c="urn:ietf:params:xml:ns:carddav"><d:set><d:prop><d:resourcetype>'
            b'<d:collection/><c:addressbook/></d:resourcetype><d:displayname>Friends'
            b'</d:displayname></d:prop></d:set></d:mkcol>')
    request = urllib.request.Request(
        f"http://127.0.0.1:{port}/ann/book/", data=body, method="MKCOL",
        headers={"Authorization": "Basic YW5uOnNlY3JldA==",
                 "Content-Type": "application/xml"})
    try:
        urllib.request.urlopen(request, timeout=10).close()
    except urllib.error.HTTPError:
        if not fixed_port:
            raise  # a restart finds the book already there
    return "/ann/book/"


# A port found free may be taken before the server binds it: then try another.
for attempt in range(5 if not fixed_port else 50):
    port = fixed_port or free_port()
    server = start(port)
    deadline = time.monotonic() + 15
    while server.poll() is None and not answers(port) and time.monotonic() < deadline:
        time.sleep(0.05)
    if server.poll() is None and answers(port):
        break
    server.kill()
    server.wait()
    if fixed_port:
        time.sleep(0.2)  # the port is still held a moment after the last run
else:
    sys.exit("the server did not start")

try:
    path = make_address_book(port)
    print(port, path, flush=True)
    sys.stdin.read()
finally:
    server.terminate()
    try:
        server.wait(timeout=10)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait()
