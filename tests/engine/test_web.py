"""Downloads, hashing and the desktop handler, called from a running level."""
import os
import time

import harness
from download_server import LocalServer, pattern
from harness import Game


def level_writing_results(calls):
    lines = ["CreateSceneNode('', 'LevelRoot')", "local out = io.open('results.txt', 'w')"]
    for call in calls:
        lines.append("out:write(tostring(%s), '\\n')" % call)
    lines += ["out:close()", "ShutDown()"]
    return "\n".join(lines) + "\n"


def test_downloads_arrive_whole_and_failures_return_zero():
    with LocalServer() as server, Game() as game:
        keys = dict(harness.DEFAULT_SETUP, downloadurl="http://127.0.0.1:%d/" % server.port)
        game.write_setup(keys)
        game.write("Resource/LevelData/start.lua", level_writing_results([
            "GetUrl('body/102400', 'small.bin')",
            "GetUrl('body/3000017', 'big.bin')",
            "GetUrl('missing', 'missing.html')",
            "GetUrl('body/10', 'no/such/dir/file.bin')",
            "GetUrl('cut/500000/1000', 'cut.bin')",
        ]))
        assert game.run() == 0
        assert game.read("bin/results.txt").split() == ["1", "1", "1", "0", "0"]
        with open(game.path("bin/small.bin"), "rb") as small:
            assert small.read() == pattern(102400)
        with open(game.path("bin/big.bin"), "rb") as big:
            assert big.read() == pattern(3000017)
        assert game.read("bin/missing.html") == "<html>no such page</html>"
        assert not game.exists("bin/no")
        assert not game.exists("bin/cut.bin")
        assert len(game.log_with("Error: GetUrl: download of")) == 2


def test_hashes_are_sha256_of_the_first_n_bytes():
    with Game(levels={"start.lua": level_writing_results([
            "GetHash('abc', 3)", "GetHash('abcdef', 3)", "GetHash('abc', 0)",
            "GetHash('abc', 99)", "GetHash('abc', -5)"])}) as game:
        assert game.run() == 0
        abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
        empty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"
        assert game.read("bin/results.txt").split() == [abc, abc, empty, abc, empty]


def test_web_browser_text_reaches_only_the_handler():
    with Game() as game:
        fake = game.path("fakebin/xdg-open")
        record = game.path("handler-args.txt")
        game.write("fakebin/xdg-open",
                   "#!/bin/sh\nfor a in \"$@\"; do printf '%%s\\n' \"$a\"; done > '%s'\n" % record)
        os.chmod(fake, 0o755)
        nasty = "https://example.invalid/?a='b\";touch pwned;$(touch pwned2)`touch pwned3`"
        game.write("Resource/LevelData/start.lua",
                   "CreateSceneNode('', 'LevelRoot')\nStartWebBrowser(%s)\nShutDown()\n"
                   % ("[[" + nasty + "]]"))
        env = {"PATH": os.path.dirname(fake) + ":" + os.environ["PATH"]}
        assert game.start(env=env).wait() == 0
        for _ in range(100):
            if os.path.exists(record):
                break
            time.sleep(0.05)
        with open(record) as args:
            assert args.read() == nasty + "\n"
        for marker in ("pwned", "pwned2", "pwned3"):
            assert not game.exists("bin/" + marker)


harness.main(globals())
