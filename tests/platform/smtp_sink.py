# A local SMTP sink for the mail tests: listens on a free loopback port, prints the port,
# stores every message it receives in the folder given (N.eml, recipients in N.rcpt), and
# ends when its standard input closes.
import asyncio
import os
import socket
import sys

from aiosmtpd.smtp import SMTP

folder = sys.argv[1]


class Store:
    count = 0

    async def handle_DATA(self, server, session, envelope):
        n = Store.count
        Store.count += 1
        with open(os.path.join(folder, f"{n}.rcpt"), "w") as f:
            f.write("\n".join(envelope.rcpt_tos))
        with open(os.path.join(folder, f"{n}.eml"), "wb") as f:
            f.write(envelope.original_content or envelope.content)
        return "250 OK"


async def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    sock.listen()
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Store()), sock=sock)
    print(sock.getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()
    await server.wait_closed()


asyncio.run(main())
