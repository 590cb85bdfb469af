"""The download test server (tests/unit/platform/http_test_server.py) on
127.0.0.1 and a free port, for the engine tests of GetUrl."""
import os
import subprocess
import sys

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "unit", "platform",
                      "http_test_server.py")


class LocalServer:
    def __enter__(self):
        self.proc = subprocess.Popen([sys.executable, SERVER], stdout=subprocess.PIPE, text=True)
        self.port = int(self.proc.stdout.readline())
        self.base = "http://127.0.0.1:%d/" % self.port
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        self.proc.wait()
        self.proc.stdout.close()


def pattern(count):
    return bytes((i * 7 + i // 251) % 256 for i in range(count))
