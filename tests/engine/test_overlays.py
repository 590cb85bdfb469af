"""Overlays in the running engine, checked in screenshots of the 800x600
window: script panels sized to their text, screenshots of the scene as it
stands, and the frame statistics box with its debug line."""
import harness
from harness import LEVEL_START, Game, at, read_png

# The statistics box of Core/DebugOverlay: 300 by 112 pixels, 6 from the left
# and 118 from the bottom; its debug text line starts 91 pixels below its top.
STATS_BOX = (6, 482, 306, 594)
DEBUG_LINE = (6, 573, 306, 590)


def shots(game, *names):
    images = []
    for name in names:
        width, height, rows = read_png(game.path("bin/" + name))
        assert (width, height) == (800, 600), (name, width, height)
        images.append(rows)
    return images


def changed_box(before, after, region=(0, 0, 800, 600)):
    """Bounding box (left, top, right, bottom, inclusive) of the pixels that
    differ between two pictures inside region (x0, y0, x1, y1 exclusive)."""
    x0, y0, x1, y1 = region
    xs, ys = [], []
    for y in range(y0, y1):
        old, new = before[y], after[y]
        for x in range(x0, x1):
            if sum(abs(a - b) for a, b in zip(old[x], new[x])) > 24:
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs), max(ys)


def test_two_line_panel_is_58_pixels_high_at_its_position():
    level = LEVEL_START + \
        at(300, "SaveScreenshot('empty.png') "
                "panel = CreatePanel('Two lines\\nof text', 100, 50)") + \
        at(600, "SaveScreenshot('panel.png') ShutDown()")
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        assert not game.log_with("Scripting error"), game.log()[-20:]
        empty, panel = shots(game, "empty.png", "panel.png")
    box = changed_box(empty, panel)
    assert box is not None, "the panel changed nothing on screen"
    left, top, right, bottom = box
    assert (left, top) == (100, 50), box
    # Two lines of 24 pixels plus 10 of frame.
    assert bottom - top + 1 == 58, box
    # The frame is 20 wider than the text: nine glyphs of about half their
    # height or less, and never the full 24 each (as if the panel font were
    # measured before it was loaded).
    assert 60 < right - left + 1 < 9 * 24 + 20, box


def test_a_screenshot_shows_what_the_script_changed_just_before():
    level = LEVEL_START + at(
        300, "SaveScreenshot('before.png') AddElement('ExampleBadge') SaveScreenshot('same.png') "
             "RemoveElement('ExampleBadge') SaveScreenshot('again.png') ShutDown()")
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        before, same, again = shots(game, "before.png", "same.png", "again.png")
    box = changed_box(before, same)
    assert box is not None and abs(box[0] - 480) <= 1 and abs(box[1] - 510) <= 1, box
    assert changed_box(before, again) is None


def test_statistics_box_shows_and_carries_the_show_text_line():
    level = LEVEL_START + """
AddElement('Core/DebugOverlay')
""" + at(200, "SaveScreenshot('hidden.png') AddElement('Core/StatsPanel')") + \
        at(500, "SaveScreenshot('entered.png') ShowText('')") + \
        at(800, "SaveScreenshot('blank.png') ShowText('MMMMMMMMMMMMMMMM')") + \
        at(1100, "SaveScreenshot('long.png') ShowText('MM')") + \
        at(1400, "SaveScreenshot('short.png') RemoveElement('Core/StatsPanel')") + \
        at(1700, "SaveScreenshot('removed.png') ShutDown()")
    with Game(levels={"start.lua": level}) as game:
        assert game.run() == 0
        # The overlay's name is not an "OVE" name: AddElement looks for an
        # element of that name and finds none. Its container is the way in.
        assert game.log_with("Error: AddElement: no overlay element named Core/DebugOverlay")
        assert not game.log_with("Core/StatsPanel"), game.log_with("Core/StatsPanel")
        hidden, entered, blank, long_text, short_text, removed = shots(
            game, "hidden.png", "entered.png", "blank.png", "long.png", "short.png", "removed.png")
    box = changed_box(hidden, blank)
    assert box is not None, "the statistics box did not appear"
    left, top, right, bottom = box
    assert abs(left - STATS_BOX[0]) <= 1 and abs(top - STATS_BOX[1]) <= 1, box
    assert abs(right - (STATS_BOX[2] - 1)) <= 1 and abs(bottom - (STATS_BOX[3] - 1)) <= 1, box
    assert changed_box(hidden, removed) is None, "RemoveElement left the box on screen"
    # The play state's notice stood in the debug line until ShowText('').
    assert changed_box(blank, entered, DEBUG_LINE) is not None
    # The debug line shows the ShowText text: sixteen capitals reach much
    # farther right than two, and the empty text shows nothing.
    long_ink = changed_box(blank, long_text, DEBUG_LINE)
    short_ink = changed_box(blank, short_text, DEBUG_LINE)
    assert long_ink is not None and short_ink is not None, (long_ink, short_ink)
    assert long_ink[0] == short_ink[0] and long_ink[0] < 30, (long_ink, short_ink)
    assert long_ink[2] - long_ink[0] > 5 * (short_ink[2] - short_ink[0]), (long_ink, short_ink)


harness.main(globals())
