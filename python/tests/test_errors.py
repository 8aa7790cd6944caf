# SPDX-License-Identifier: GPL-3.0-or-later
# Refusals: ValueError for a bad value, OSError for a file, with the message
# the command prints for the same thing (without its "name: " prefix). A
# value the command reads from a file is placed there by "FILE:LINE: " and
# here by the argument's name: the rest of the message is the same.
import pytest

import support

np = support.need("numpy")
wavefft = support.need("wavefft")

RECORD = support.RECORDS / "SYLMAR_1994_AFTERSHOCK.txt"
KNET = support.RAW / "knet" / "CHB002"
NAN, INF = float("nan"), float("inf")


@pytest.fixture(scope="module")
def rec():
    lay = support.Layout(RECORD)
    return lay.data, lay.dt


def message(kind, call, *args, **keywords):
    with pytest.raises(kind) as e:
        call(*args, **keywords)
    return str(e.value)


# (function, keywords, command, its arguments before RECORD); the unit is g unless given.
SAME_MESSAGE = [
    *[(f, {"unit": "furlongs"}, "wavefft-measures", ["--unit", "furlongs"]) for f in ("measures", "spectra", "fas")],
    ("correct", {"unit": "furlongs"}, "wavefft-correct", ["--unit", "furlongs"]),
    *[("spectra", {"damping": z}, "wavefft-measures", ["--damping=" + t])
      for z, t in [(1.5, "1.5"), (0.0, "0"), (1.0, "1"), (NAN, "nan"), ([0.05, -0.02], "0.05,-0.02")]],
    *[("fas", {"bandwidth": b}, "wavefft-measures", ["--ko-bandwidth=" + t])
      for b, t in [(0.0, "0"), (-2.5, "-2.5"), (INF, "inf")]],
    ("fas", {"window": "side"}, "wavefft-measures", ["--ko-window", "side"]),
    *[("correct", k, "wavefft-correct", a) for k, a in [
        ({"highpass": 0.0}, ["--highpass", "0"]), ({"highpass": 1.0, "lowpass": 0.5}, ["--highpass=1", "--lowpass=0.5"]),
        ({"order": 0}, ["--order", "0"]), ({"order": 101}, ["--order", "101"]), ({"taper": 0.5}, ["--taper", "0.5"]),
        ({"onset": 1e6}, ["--onset", "1000000"]), ({"baseline": "poly7"}, ["--baseline", "poly7"])]],
]


@pytest.mark.parametrize("function, keywords, name, args", SAME_MESSAGE)
def test_bad_value_has_the_commands_message(function, keywords, name, args, rec, tmp_path):
    want = support.refusal(name, *args, *(["--out", tmp_path] if name == "wavefft-measures" else []), RECORD)
    keywords = {"unit": "g", **keywords}
    assert message(ValueError, getattr(wavefft, function), *rec, **keywords) == want


@pytest.mark.parametrize("keyword, values, text", [
    ("periods", [0.1, -1.0], "-1"), ("periods", [0.1, 0.0], "0"), ("periods", [0.1, 1e-9], "1e-9"),
    ("periods", [0.1, INF], "inf"), ("frequencies", [1.0, -1.0], "-1"), ("frequencies", [1.0, 0.0], "0"),
    ("frequencies", [1.0, NAN], "nan")])
def test_bad_list_value_has_the_commands_words(keyword, values, text, rec, tmp_path):
    (tmp_path / "list.txt").write_text(f"{values[0]!r}\n{text}\n")
    want = support.refusal("wavefft-measures", "--" + keyword, tmp_path / "list.txt", "--out", tmp_path, RECORD)
    call = wavefft.spectra if keyword == "periods" else wavefft.fas
    got = message(ValueError, call, *rec, "g", **{keyword: values})
    assert got.split(": ", 1)[1] == want.split(": ", 1)[1]


def test_bad_import_options_have_the_commands_message():
    for keywords in [{"unit": "furlongs"}, {"source_unit": "furlongs"}, {"channels": ["XX"]}]:
        key, value = next(iter(keywords.items()))
        want = support.refusal("wavefft-import", "--" + key.replace("_", "-"), ",".join(value)
                               if isinstance(value, list) else value, KNET)
        assert message(ValueError, wavefft.read, KNET, **keywords) == want


@pytest.mark.parametrize("shape", [(2, 50), (3,), (3, 0), (3, 1), (3, 5, 2)])
def test_bad_shape_is_a_value_error(shape):
    assert message(ValueError, wavefft.measures, np.ones(shape), 0.01, "g").startswith("data: ")


def test_a_sample_that_is_no_number_is_named(rec):
    a = rec[0].copy()
    a[1, 17] = np.inf
    assert "component 2, sample 17 " in message(ValueError, wavefft.spectra, a, rec[1], "g")


@pytest.mark.parametrize("name", ["missing.txt", "folder", "/dev/null", "malformed.txt"])
def test_read_record_has_wavefft_measures_message(name, tmp_path):
    (tmp_path / "folder").mkdir()
    lines = RECORD.read_text().splitlines()
    lines[5] = " ".join(["0.06", "1.2.3", *lines[5].split()[2:]])  # value 1 of row 4 is no number
    (tmp_path / "malformed.txt").write_text("\n".join(lines) + "\n")
    path = tmp_path / name  # /dev/null stays itself
    want = support.refusal("wavefft-measures", "--out", tmp_path / "out", path)
    assert message(OSError, wavefft.read_record, path) == want


@pytest.mark.parametrize("make", ["missing", "empty folder", "folder of no record", "file of no record"])
def test_read_has_wavefft_import_message(make, tmp_path):
    path = tmp_path / "in"
    if "folder" in make:
        path.mkdir()
    if make == "folder of no record":
        (path / "README.txt").write_text("not a record\n")
    if make == "file of no record":
        path.write_text("not a record\n")
    assert message(OSError, wavefft.read, path) == support.refusal("wavefft-import", path)


def test_write_has_wavefft_import_message(tmp_path):
    (tmp_path / "file").write_text("x")
    want = support.refusal("wavefft-import", "-o", tmp_path / "file" / "rec.txt", KNET)
    assert message(OSError, wavefft.read_record(RECORD).write, tmp_path / "file" / "rec.txt") == want


def test_run_reports_the_programs_refusal(tmp_path):
    p = support.command("wavefft", tmp_path / "missing.txt", ok=False)
    r = wavefft.run(tmp_path / "missing.txt")
    assert p.returncode == 2 and (r.status, r.console, r.errors) == (p.returncode, p.stdout, p.stderr)


def test_a_path_with_a_nul_is_refused(tmp_path, monkeypatch):
    """A path holding a NUL is refused, not cut there (Python's own file functions raise ValueError)."""
    (tmp_path / "rec").write_bytes(RECORD.read_bytes())
    monkeypatch.chdir(tmp_path)
    for call in (wavefft.read_record, wavefft.read, wavefft.read_record(RECORD).write, wavefft.run):
        with pytest.raises((ValueError, OSError)):
            call("rec\0.txt")
    assert (tmp_path / "rec").read_bytes() == RECORD.read_bytes() and sorted(tmp_path.iterdir()) == [tmp_path / "rec"]
