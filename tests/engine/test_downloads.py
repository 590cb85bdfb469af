"""GetUrl in the running engine: a complete download replaces its file, a
failure keeps the old one and has its log line naming the cause, nothing is
unbounded, and a quit signal ends a download in progress."""
import os
import signal
import time

import harness
from download_server import LocalServer, pattern
from harness import Game

OLD = "the old news\n"


def test_failed_downloads_keep_the_old_file_and_say_why():
    cases = [  # (download base, path, the cause the log line names)
        ("http", "close", "Empty reply"),
        ("http", "forever", "1 MB"),
        ("https", "body/10", "SSL"),
        ("refused", "body/10", "Couldn't connect"),
        ("http", "a b", "blank or control character"),
        ("http", "a\\tb", "blank or control character"),
        ("http", "cut/500000/1000", "transfer closed"),
    ]
    with LocalServer() as gone:
        pass  # nothing listens on its port any more
    with LocalServer() as server, Game() as game:
        bases = {"http": server.base, "https": server.base.replace("http:", "https:"),
                 "refused": gone.base}
        # setup.downloadurl is read at each call, so the level changes it
        # between the calls.
        body = ["CreateSceneNode('', 'LevelRoot')", "local out = io.open('results.txt', 'w')"]
        for i, (base, path, _) in enumerate(cases):
            game.write("bin/old%d.txt" % i, OLD)
            body.append("ExecuteCmd('setup', %r)" % ("setup.downloadurl = %r" % bases[base]))
            body.append("out:write(tostring(GetUrl('%s', 'old%d.txt')), '\\n')" % (path, i))
        body += ["out:close()", "ShutDown()"]
        game.write_setup(dict(harness.DEFAULT_SETUP, downloadlimit=1))
        game.write("Resource/LevelData/start.lua", "\n".join(body) + "\n")
        started = time.time()
        assert game.run(timeout=90) == 0
        assert time.time() - started < 30, "a failing download took too long"
        assert game.read("bin/results.txt").split() == ["0"] * len(cases)
        failures = game.log_with("Error: GetUrl: ")
        assert len(failures) == len(cases), failures
        for i, (line, (base, _, cause)) in enumerate(zip(failures, cases)):
            assert game.read("bin/old%d.txt" % i) == OLD, i
            assert bases[base] in line and cause in line, (cause, line)
        # No partial or temporary file is left beside the targets.
        assert not [name for name in os.listdir(game.bin) if name.startswith(".")]


def test_complete_downloads_replace_the_file_whatever_the_status():
    with LocalServer() as server, Game() as game:
        game.write_setup(dict(harness.DEFAULT_SETUP, downloadurl=server.base))
        game.write("bin/news.bin", OLD)
        game.write("Resource/LevelData/start.lua", harness.results_level([
            "GetUrl('body/3000017', 'news.bin')", "GetUrl('missing', 'missing.html')",
            "GetUrl('agent', 'agent.txt')", "GetUrl('redirect', 'moved.bin')"]))
        assert game.run() == 0
        assert game.read("bin/results.txt").split() == ["1"] * 4
        with open(game.path("bin/news.bin"), "rb") as news:
            assert news.read() == pattern(3000017)
        assert game.read("bin/missing.html") == "<html>no such page</html>"
        assert game.read("bin/agent.txt") == "Vantor"
        with open(game.path("bin/moved.bin"), "rb") as moved:
            assert moved.read() == pattern(10)
        assert not game.log_with("Error: GetUrl")


def test_sigterm_and_sigint_end_a_running_download_and_the_game():
    for number in (signal.SIGTERM, signal.SIGINT):
        with LocalServer() as server, Game() as game:
            game.write_setup(dict(harness.DEFAULT_SETUP, downloadurl=server.base))
            game.write("bin/news.txt", OLD)
            game.write("Resource/LevelData/start.lua",
                       "CreateSceneNode('', 'LevelRoot')\n"
                       "io.open('started.txt', 'w'):close()\n"
                       "GetUrl('drip', 'news.txt')\n")
            game.start()
            deadline = time.time() + 30
            while not game.exists("bin/started.txt") and time.time() < deadline:
                time.sleep(0.05)
            time.sleep(1.0)  # well inside the transfer
            sent = time.time()
            game.signal(number)
            code = game.wait(timeout=20)
            took = time.time() - sent
            assert code == 0, code
            # A second for the transfer to notice, plus the teardown.
            assert took < 3.0, took
            assert game.read("bin/news.txt") == OLD
            assert game.log_with("Error: GetUrl: ")
            harness.assert_in_order(game.log(), ["Error: GetUrl: ", "~GameApp()", "delete ogre"])


harness.main(globals())
