"""The Python module against the batch tool: for the same inputs the same listing, JSON, report,
overlay and refusals, and the same values from threads, arrays and files."""
import json
import os
import pathlib
import re
import struct
import subprocess
import threading
from fractions import Fraction

import numpy as np
import pytest

import quorvane

CLI = os.environ["QV_CLI"]
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
CHANNEL = EXAMPLES / "u-channel.bmp"
LIBRARY = EXAMPLES / "properties.ini"
TUBE = EXAMPLES / "smoothed-tube.png"
RED, BLUE, WHITE = (255, 0, 0), (0, 0, 255), (255, 255, 255)


def write_bmp(path, rgb):
    """A 24-bit BMP file of an (height, width, 3) uint8 array."""
    height, width, _ = rgb.shape
    stride = (width * 3 + 3) & ~3
    rows = b"".join(rgb[y, :, ::-1].tobytes().ljust(stride, b"\0") for y in range(height - 1, -1, -1))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    path.write_bytes(header + info + rows)


def composite_array():
    """A concrete slab (clBlue) on a steel web (clRed), on white."""
    rgb = np.full((200, 300, 3), WHITE, np.uint8)
    rgb[20:60, 20:280] = BLUE
    rgb[60:180, 135:165] = RED
    return rgb


@pytest.fixture(scope="module")
def composite(tmp_path_factory):
    path = tmp_path_factory.mktemp("pictures") / "composite.bmp"
    write_bmp(path, composite_array())
    return path


def cli(*args):
    """The batch tool's run, its output as written (CR LF kept)."""
    run = subprocess.run([CLI, *map(str, args)], capture_output=True)
    return subprocess.CompletedProcess(run.args, run.returncode, run.stdout.decode(), run.stderr.decode())


def cli_failure(*args):
    run = cli(*args)
    assert run.returncode == 1, run.stderr
    return run.stderr.strip().removeprefix("quorvane-cli: ")


def test_version_is_the_batch_tools():
    assert cli("--version").stdout.split() == ["quorvane-cli", quorvane.__version__]


@pytest.mark.parametrize("all_colours", [False, True])
def test_colours_are_listed_as_by_the_batch_tool(composite, all_colours):
    for path in (CHANNEL, composite, TUBE):
        run = cli("colours", path, *(["--all"] if all_colours else []))
        expected = [(f[0], *map(int, f[1:])) for f in (line.split("\t") for line in run.stdout.splitlines())]
        picture = quorvane.read_picture(path)
        assert picture.colours(all=all_colours) == expected
        note = run.stderr.strip().removeprefix("quorvane-cli: note: ")
        assert picture.smoothing_note == (note or None) and (path == TUBE) == bool(note)


# Each row: the keyword arguments of analyse and the batch tool's options that mean the same.
ANALYSES = {
    "channel": (dict(library=True), ["--library", LIBRARY]),
    "channel euro-code": (
        dict(materials={"clRed": ("aluminium EN AW-6060", 70000, 2700.5)}, convention=1, eps=0.25),
        ["--material", "clRed@aluminium EN AW-6060@70000@2700.5", "--convention", "1", "--eps", "0.25"],
    ),
    "channel torsion": (
        dict(library=True, torsion=True, nu={"clRed": 0.25}, fy={"clRed": 355}),
        ["--library", LIBRARY, "--torsion", "--nu", "clRed=0.25", "--fy", "clRed=355"],
    ),
    # a cap below the picture's cells: solved on blocks, and said so
    "channel torsion on blocks": (
        dict(library=True, torsion=True, max_cells=2000),
        ["--library", LIBRARY, "--torsion", "--max-cells", "2000"],
    ),
    "composite torsion": (
        dict(library=True, torsion=True, nu={"clBlue": 0.2}, fy={"clRed": 355, "clBlue": (17, 0)}),
        ["--library", LIBRARY, "--torsion", "--nu", "clBlue=0.2", "--fy", "clRed=355", "--fy", "clBlue=17/0"],
    ),
    "channel stresses": (
        dict(library=True, torsion=True, actions={"N": 1e5, "Mz": 2e8, "Vz": 1e5, "T": 1e7}),
        ["--library", LIBRARY, "--torsion", "--action", "N=1e5", "--action", "Mz=2e8", "--action", "Vz=1e5",
         "--action", "T=1e7"],
    ),
    "tube coverage torsion": (
        dict(library=True, torsion=True, edges="coverage"),
        ["--library", LIBRARY, "--torsion", "--edges", "coverage"],
    ),
    "composite stresses euro-code": (
        dict(library=True, convention=1, actions={"N": -2e5, "My": 5e7}),
        ["--library", LIBRARY, "--convention", "1", "--action", "N=-2e5", "--action", "My=5e7"],
    ),
    "composite resistance and stresses": (
        dict(library=True, fy={"clRed": 355, "clBlue": (17, 0)}, laws={"clRed": "elastic-plastic,eu=0.0225"},
             resistance=True, interaction=9, actions={"N": -1e5}),
        ["--library", LIBRARY, "--fy", "clRed=355", "--fy", "clBlue=17/0", "--law", "clRed=elastic-plastic,eu=0.0225",
         "--resistance", "--interaction", "9", "--action", "N=-1e5"],
    ),
    "composite curves": (
        dict(library=True, fy={"clRed": 355, "clBlue": (17, 0)}, moment_curvature=True, interaction_biaxial=8),
        ["--library", LIBRARY, "--fy", "clRed=355", "--fy", "clBlue=17/0", "--moment-curvature",
         "--interaction-biaxial", "8"],
    ),
    # the units of the report: the JSON stays in N and mm
    "composite resistance and stresses in kN-cm": (
        dict(library=True, fy={"clRed": 355, "clBlue": (17, 0)}, resistance=True, interaction=5,
             moment_curvature=True, actions={"N": -1e5, "Mz": 1e8}, units="kN-cm"),
        ["--library", LIBRARY, "--fy", "clRed=355", "--fy", "clBlue=17/0", "--resistance", "--interaction", "5",
         "--moment-curvature", "--action", "N=-1e5", "--action", "Mz=1e8", "--units", "kN-cm"],
    ),
    "channel torsion in kN-m": (
        dict(library=True, torsion=True, fy={"clRed": 355}, units="kN-m"),
        ["--library", LIBRARY, "--torsion", "--fy", "clRed=355", "--units", "kN-m"],
    ),
    "composite cracked stresses": (
        dict(library=True, fy={"clBlue": (17, 0)}, cracked=True, actions={"N": -1e5, "Mz": 2e8}),
        ["--library", LIBRARY, "--fy", "clBlue=17/0", "--cracked", "--action", "N=-1e5", "--action", "Mz=2e8"],
    ),
}
SECTIONS = {
    "channel": (CHANNEL, 500, 650, ["clRed"]),
    "composite": (None, "$514", "0x320", ["clBlue", "clRed"]),
    "tube": (TUBE, 273, 273, ["clRed"]),
}


def run_both(name, composite):
    kwargs, options = ANALYSES[name]
    path, width, height, use = SECTIONS[name.split()[0]]
    path = path or composite
    if kwargs.get("library"):
        kwargs = dict(kwargs, library=quorvane.Library.load(LIBRARY))
    result = quorvane.analyse(quorvane.read_picture(path), width, height, use, **kwargs)
    args = ["analyse", path, "--width", width, "--height", height, *options]
    for label in use:
        args += ["--use", label]
    return result, args


@pytest.mark.parametrize("name", ANALYSES)
def test_dict_and_report_are_the_batch_tools(name, composite):
    result, args = run_both(name, composite)
    assert result.to_dict() == json.loads(cli(*args, "--json").stdout)
    assert result.report() == cli(*args).stdout
    assert ("extended" in result.to_dict()) == ("torsion" in name or name == "channel stresses")
    assert ("stress" in result.to_dict()) == ("stresses" in name)
    assert result.to_dict().get("edges", "flat") == ("coverage" if "coverage" in name else "flat")
    assert (result.to_dict().get("extended", {}).get("torsion_blocks") is not None) == ("blocks" in name)


def test_units_change_the_report_and_not_the_dict(composite):
    picture = quorvane.read_picture(CHANNEL)
    library = quorvane.Library.load(LIBRARY)
    nmm = quorvane.analyse(picture, 500, 650, ["clRed"], library=library, torsion=True)
    kncm = quorvane.analyse(picture, 500, 650, ["clRed"], library=library, torsion=True, units="kN-cm")
    assert kncm.to_dict() == nmm.to_dict()
    ea = float(re.search(r"EA   = (\S+) N\r\n", nmm.report()).group(1))
    assert float(re.search(r"EA   = (\S+) kN\r\n", kncm.report()).group(1)) == pytest.approx(ea / 1000, rel=1e-4)
    assert " Nmm^2" not in kncm.report() and " kNcm^2" in kncm.report()


@pytest.mark.parametrize("name", ["channel torsion", "composite torsion"])
def test_overlay_is_the_batch_tools(name, composite, tmp_path):
    result, args = run_both(name, composite)
    run = cli(*args, "--overlay", tmp_path / "overlay.bmp")
    note = run.stderr.strip().removeprefix("quorvane-cli: note: ")
    if note:
        with pytest.warns(UserWarning) as warned:
            overlay = result.overlay()
        assert [str(w.message) for w in warned] == [note]
    else:
        overlay = result.overlay()
    expected = quorvane.read_picture(tmp_path / "overlay.bmp").to_array()
    assert overlay.dtype == np.uint8 and np.array_equal(overlay, expected)
    assert not np.array_equal(overlay, quorvane.read_picture(args[1]).to_array())


@pytest.mark.parametrize("name, field", [("channel stresses", "tau"), ("composite stresses euro-code", "sigma"),
                                         ("composite stresses euro-code", "von_mises")])
def test_stress_map_is_the_batch_tools(name, field, composite, tmp_path):
    result, args = run_both(name, composite)
    run = cli(*args, "--stress-map", tmp_path / "map.bmp", "--stress-field", field)
    assert run.returncode == 0, run.stderr
    expected = quorvane.read_picture(tmp_path / "map.bmp").to_array()
    assert np.array_equal(result.stress_map(field=field), expected)
    with pytest.raises(quorvane.Error, match="^the field must be sigma, tau or von_mises$"):
        result.stress_map(field="shear")
    without_actions, _ = run_both("channel torsion", composite)
    with pytest.raises(quorvane.Error, match="^a stress map needs actions$"):
        without_actions.stress_map()


def test_refusals_carry_the_cores_messages(tmp_path):
    (tmp_path / "text.bmp").write_text("no picture")
    (tmp_path / "short.bmp").write_bytes(CHANNEL.read_bytes()[:5000])
    for bad in (tmp_path / "missing.png", tmp_path / "text.bmp", tmp_path / "short.bmp", tmp_path):
        with pytest.raises(quorvane.Error) as refused:
            quorvane.read_picture(bad)
        assert str(refused.value) == cli_failure("colours", bad)
    with pytest.raises(quorvane.Error) as refused:
        quorvane.Library.load(tmp_path / "none.ini")
    assert str(refused.value) == cli_failure("analyse", CHANNEL, "--width", 1, "--height", 1, "--use", "clRed",
                                             "--library", tmp_path / "none.ini")
    # The analysis' refusals are the core's words: the batch tool's after the option and its value.
    picture = quorvane.read_picture(CHANNEL)
    at_option = r"--[a-z-]+ '[^']*': "
    for width, use, kwargs, options, words in [
        (500, ["clBlue"], {}, [], None),
        (0, ["clRed"], {}, [], "width: a section of 0 mm cannot be analysed"),
        ("12a", ["clRed"], {}, [], "width: '12a' is not a valid floating point value"),
        (0.0005, ["clRed"], {}, [], "width: the size must be 0.001..100000 mm"),
        (500, ["clRed"], dict(torsion=True, nu={"clRed": 0.5}), ["--torsion", "--nu", "clRed=0.5"],
         "The Poisson's ratio of clRed must be at least 0 and below 0.5, not 0.5."),
        (500, ["clRed"], dict(torsion=True, fy={"clRed": -1}), ["--torsion", "--fy", "clRed=-1"],
         "The strength of clRed must be at least 0 N/mm^2, not -1."),
        (500, ["clRed"], dict(convention=2), ["--convention", "2"], "the sign convention must be 0 or 1"),
        (500, ["clRed"], dict(actions={"X": 1}), ["--action", "X=1"], "the action must be N, My, Mz, Vy, Vz or T"),
        (500, ["clRed"], dict(edges="blurred"), ["--edges", "blurred"], "the edges are read flat or as coverage"),
        (500, ["clRed"], dict(units="kN-mm"), ["--units", "kN-mm"], "the units are N-mm, kN-m or kN-cm"),
        # what the window's fields would not take
        (500, ["clRed"], dict(materials={"clRed": ("steel", -210000, 7850)}),
         ["--material", "clRed@steel@-210000@7850"], None),
        (500, ["clRed"], dict(materials={"clRed": ("steel\r\nEA = 0", 210000, 7850)}),
         ["--material", "clRed@steel\r\nEA = 0@210000@7850"], None),
        (500, ["clRed"], dict(materials={"clRed": ("x" * 300, 1, 1)}), ["--material", "clRed@" + "x" * 300 + "@1@1"],
         None),
        (500, ["clRed"], dict(eps=-1), ["--eps", "-1"], None),
        (500, ["clRed"], dict(resistance=True, laws={"clRed": "steel"}), ["--resistance", "--law", "clRed=steel"],
         None),
        (500, ["clRed"], dict(interaction=1), ["--interaction", "1"], None),
        (500, ["clRed"], dict(torsion=True, max_cells=0), ["--torsion", "--max-cells", "0"], None),
        (500, ["clRed"], dict(torsion=True, max_cells=2.5), ["--torsion", "--max-cells", "2.5"], None),
    ]:
        with pytest.raises(quorvane.Error) as refused:
            quorvane.analyse(picture, width, 650, use, **kwargs)
        uses = [arg for label in use for arg in ("--use", label)]
        tool = cli_failure("analyse", CHANNEL, "--width", width, "--height", 650, *uses, *options)
        message = str(refused.value)
        assert "--" not in message
        if words is not None:
            assert message == words
            message = words.removeprefix("width: ")
        assert re.fullmatch(f"(--eps: |--interaction: |--max-cells: |{at_option})?" + re.escape(message), tool), tool
    # The labels of ratios and strengths are the section's colours, which the tool names by option.
    for kwargs, words in [(dict(nu={"clLime": 0.2}), "clLime is not a colour of the section"),
                          (dict(fy={"": 1}), "the colour label is empty"),
                          (dict(nu={"clRed": 0.2}, torsion=False), "Poisson's ratios are used by the torsion "
                                                                   "analysis only"),
                          (dict(actions={"Vz": 0}, torsion=False), "the action Vz needs the torsion analysis"),
                          (dict(max_cells=100, torsion=False), "the cell cap is used by the torsion analysis only")]:
        with pytest.raises(quorvane.Error, match=f"^{re.escape(words)}$"):
            quorvane.analyse(picture, 500, 650, ["clRed"], **dict(dict(torsion=True), **kwargs))
    # True is a number to Python, but no cap of one cell.
    with pytest.raises(TypeError, match="^max_cells must be a number of cells or None, not True$"):
        quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True, max_cells=True)


def test_resistance_lists_are_arrays_of_the_dicts_lists(composite):
    result, _ = run_both("composite resistance and stresses", composite)
    resistance, as_json = result.resistance(), result.to_dict()["resistance"]
    for axis in ("horizontal_axis", "vertical_axis"):
        points = resistance["interaction"][axis]
        assert points.shape == (9, 3) and points.dtype == np.float64
        assert points.tolist() == as_json["interaction"][axis]
        assert resistance[axis] == as_json[axis]
    assert resistance["n"] == -1e5
    curves = run_both("composite curves", composite)[0].resistance()
    assert curves["moment_curvature"]["horizontal_axis"].shape[1] == 2
    assert curves["biaxial"].shape == (8, 3)
    picture, steel = quorvane.read_picture(composite), {"clRed": ("steel", 210000, 7850)}
    with pytest.raises(quorvane.Error, match="resistance=True"):
        quorvane.analyse(picture, 1300, 800, ["clRed"], materials=steel).resistance()
    with pytest.raises(quorvane.Error, match="^the section has no resistance: no strength given for clRed$"):
        quorvane.analyse(picture, 1300, 800, ["clRed"], materials=steel, resistance=True).resistance()


def test_a_name_with_the_separator_is_refused_for_what_it_is():
    with pytest.raises(quorvane.Error, match="^A material name must not contain '@'.$"):
        quorvane.analyse(quorvane.read_picture(CHANNEL), 500, 650, ["clRed"], materials={"clRed": ("st@el", 1, 1)})


def test_sizes_of_any_number_type_are_taken():
    picture, library = quorvane.read_picture(CHANNEL), quorvane.Library.load(LIBRARY)
    expected = quorvane.analyse(picture, 500, 650, ["clRed"], library=library).to_dict()
    for width, height in [(np.int64(500), np.uint16(650)), (500.0, np.float32(650)), (Fraction(1000, 2), 650)]:
        assert quorvane.analyse(picture, width, height, ["clRed"], library=library).to_dict() == expected
    for size in (True, np.True_, None):
        with pytest.raises(TypeError):
            quorvane.analyse(picture, size, 650, ["clRed"])
    # A fraction of a mm (650.5 was refused once) and a pixel size are what the batch tool makes of them.
    for sizes, kwargs, options in [((500, 650.5), {}, ["--width", 500, "--height", 650.5]),
                                   ((), dict(pixel_size_mm=np.float32(1.25)), ["--pixel-size", 1.25])]:
        result = quorvane.analyse(picture, *sizes, use=["clRed"], library=library, **kwargs)
        args = ["analyse", CHANNEL, *options, "--use", "clRed", "--library", LIBRARY]
        assert result.to_dict() == json.loads(cli(*args, "--json").stdout)
        assert result.report() == cli(*args).stdout
    assert "pixel_size_mm" not in expected
    for sizes, kwargs in [((500, 650), dict(pixel_size_mm=1)), ((500,), dict(pixel_size_mm=1)), ((), {})]:
        with pytest.raises(TypeError):
            quorvane.analyse(picture, *sizes, use=["clRed"], **kwargs)
    with pytest.raises(quorvane.Error, match="^the pixel size must be above 0 and at most 100000 mm$"):
        quorvane.analyse(picture, use=["clRed"], pixel_size_mm=0)


def test_a_drawing_is_read_and_analysed_as_the_batch_tool_does():
    drawing = EXAMPLES / "ipe300.dxf"
    picture = quorvane.read_picture(drawing)
    listed = [tuple(int(v) if v.isdigit() else v for v in line.split("\t")) for line in cli("colours", drawing).stdout.splitlines()]
    assert picture.colours() == listed == [("clRed", 0, 999, 0, 1999)]
    steel = {"clRed": ("steel", 210000, 7850)}
    for sizes, kwargs, options in [((), {}, []), ((150,), dict(pixel_size_mm=0.5), ["--width", 150, "--pixel-size", 0.5])]:
        result = quorvane.analyse(picture, *sizes, use=["clRed"], materials=steel, **kwargs)
        args = ["analyse", drawing, *options, "--use", "clRed", "--material", "clRed@steel@210000@7850", "--json"]
        assert result.to_dict() == json.loads(cli(*args).stdout)
        assert result.to_dict()["geometry"] == "outline"
    area = 2 * 150 * 10.7 + (300 - 2 * 10.7) * 7.1 + (4 - np.pi) * 15 ** 2
    assert result.to_dict()["ea"] == pytest.approx(210000 * area, rel=1e-12)
    with pytest.raises(quorvane.Error, match="must agree with it within 0.1 %"):
        quorvane.analyse(picture, 160, use=["clRed"])


def test_what_the_batch_tool_notes_is_warned(tmp_path):
    # A colour without a material, analysed with E = rho = 1.
    picture = quorvane.read_picture(CHANNEL)
    with pytest.warns(UserWarning) as warned:
        quorvane.analyse(picture, 500, 650, ["clRed"])
    notes = cli("analyse", CHANNEL, "--width", 500, "--height", 650, "--use", "clRed").stderr
    assert [f"quorvane-cli: note: {w.message}\n" for w in warned] == notes.splitlines(keepends=True)
    # A section a shade off red: left out of the colours, in its pixels.
    rgb = np.full((40, 60, 3), WHITE, np.uint8)
    rgb[10:30, 20:40] = (254, 0, 0)
    write_bmp(tmp_path / "near.bmp", rgb)
    with pytest.warns(UserWarning) as warned:
        assert quorvane.read_picture(tmp_path / "near.bmp").colours() == [("clWhite", 0, 59, 0, 39)]
    note = cli("colours", tmp_path / "near.bmp").stderr.strip().removeprefix("quorvane-cli: note: ")
    assert [str(w.message) for w in warned] == [note.replace("--all lists", "all=True lists")]
    assert note.startswith("400 pixels in 1 unnamed colour")


def test_array_picture_is_the_bmp_picture(composite):
    rgb = composite_array()
    from_array = quorvane.Picture.from_array(rgb, "composite.bmp")
    from_file = quorvane.read_picture(composite)
    assert (from_array.width, from_array.height) == (300, 200)
    assert np.array_equal(from_file.to_array(), rgb)
    assert from_array.colours(all=True) == from_file.colours(all=True)
    options = dict(library=quorvane.Library.load(LIBRARY), torsion=True)
    assert (quorvane.analyse(from_array, 1300, 800, ["clRed", "clBlue"], **options).to_dict()
            == quorvane.analyse(from_file, 1300, 800, ["clRed", "clBlue"], **options).to_dict())
    with pytest.raises(TypeError, match="uint8"):
        quorvane.Picture.from_array(rgb.astype(np.float32))
    with pytest.raises(quorvane.Error, match="torsion"):
        quorvane.analyse(from_array, 1300, 800, ["clRed"], actions={"T": 1e6})
    with pytest.raises(ValueError, match="shape"):
        quorvane.Picture.from_array(rgb[:, :, 0])


def test_library_entries_are_the_files():
    library = quorvane.Library.load(LIBRARY)
    assert [(m.label, m.name, m.e, m.rho, m.nu, m.strength) for m in library.materials][:2] == [
        ("clRed", "steel S235", 210000, 7850, 0.3, None),
        ("clBlue", "concrete C30/37", 33000, 2500, 0.3, None),
    ]
    assert library["clLime"].name == "timber C24" and len(quorvane.Library()) == 0


def test_analyses_in_two_threads_give_what_they_give_one_after_the_other(composite):
    names = ["channel torsion", "composite torsion"] * 2
    alone = [run_both(name, composite)[0].to_dict() for name in names]
    together = [None] * len(names)

    def analyse(i):
        together[i] = run_both(names[i], composite)[0].to_dict()

    threads = [threading.Thread(target=analyse, args=(i,)) for i in range(len(names))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert together == alone


def test_progress_is_reported_and_stops_the_run():
    picture = quorvane.read_picture(CHANNEL)
    calls = []
    quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True, progress=calls.append)
    assert [c for c in calls if isinstance(c, str)] == ["colours", "analysis", "torsion"]
    fractions = [c for c in calls if not isinstance(c, str)]
    assert fractions and all(0 <= f <= 1 for f in fractions) and fractions[-1] == 1
    for stop_at in ("colours", "analysis", "torsion"):
        with pytest.raises(quorvane.Cancelled):
            quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True, progress=lambda c: c != stop_at)
    seen = []

    def stop_in_the_solve(call):  # the first fraction of the torsion solve
        seen.append(call)
        return not (isinstance(call, float) and "torsion" in seen)

    with pytest.raises(quorvane.Cancelled):
        quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True, progress=stop_in_the_solve)
    assert seen[-2] == "torsion"

    def interrupt(stage):
        if stage == "torsion":
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True, progress=interrupt)


def test_save_report_writes_the_batch_tools_report_as_pdf(composite, tmp_path):
    result, args = run_both("channel stresses", composite)
    result.save_report(tmp_path / "channel.pdf")
    assert (tmp_path / "channel.pdf").read_bytes().startswith(b"%PDF-")
    text = subprocess.run(["pdftotext", tmp_path / "channel.pdf", "-"], capture_output=True, text=True,
                          check=True).stdout
    for line in result.report().splitlines():
        if " = " in line and line.startswith("    "):
            assert line.split(" = ")[1].split()[0] in text, line
    # Nor over the picture, which is no .pdf file.
    for name in (tmp_path / "channel.txt", args[1]):
        with pytest.raises(quorvane.Error, match=r"is not a \.pdf file name$"):
            result.save_report(name)
