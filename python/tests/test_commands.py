# SPDX-License-Identifier: GPL-3.0-or-later
# The module gives what the commands give, bit for bit: read and
# Record.write against wavefft-import, read_record against the files,
# measures/spectra/fas against wavefft-measures' CSV files, correct against
# wavefft-correct's record and summary, run against wavefft itself.
import json
import os
import re
import shutil

import pytest

import support
from conftest import IMPORTS, options
from support import Layout, same

np = support.need("numpy")
wavefft = support.need("wavefft")

SHARED = sorted(p.name for p in support.shared_dir().glob("*.txt"))
RECORDS = ["shared/" + n for n in SHARED] + ["bundled/ELCENTRO_1940.txt"] + \
    ["import/" + n for n in ("knet", "geonet-gal", "csmip", "mseed", "sac-pad")]


def test_the_shared_records_are_there():
    if not SHARED:
        support.missing(f"no shared records in {support.shared_dir()} (set WAVEFFT_SHARED_DATA)")


@pytest.fixture(params=RECORDS)
def record(request, imported):
    kind, name = request.param.split("/")
    return {"shared": support.shared_dir(), "bundled": support.RECORDS}[kind] / name if kind != "import" \
        else imported(name).file


def start_of_value_1(info):
    """The start --info prints in the block of the file that gives value 1, or None."""
    source = info.split("value 1: ", 1)[1].split(" from ", 1)[1].split("\n", 1)[0]
    block = info.split(source + ": ", 1)[1].split("\n/", 1)[0]
    starts = [line.split("start: ", 1)[1] for line in block.splitlines() if line.startswith("  start: ")]
    return starts[0] if starts else None


@pytest.mark.parametrize("name", sorted(IMPORTS))
def test_read_and_write_are_wavefft_import(name, imported, tmp_path):
    cmd = imported(name)
    rec = wavefft.read(*cmd.paths, **cmd.options)
    assert rec.data.dtype == np.float64 and rec.data.tobytes() == cmd.layout.data.tobytes()
    assert rec.data.shape == cmd.layout.data.shape and rec.dt == float(cmd.layout.times[1])
    assert (rec.event, rec.station, rec.unit, rec.titles) == \
        (cmd.layout.event, cmd.layout.station, cmd.layout.unit, cmd.layout.titles)
    assert rec.start == start_of_value_1(cmd.info)
    rec.write(tmp_path / "new" / "rec.txt")  # its folder made, as -o makes it
    assert (tmp_path / "new" / "rec.txt").read_bytes() == cmd.file.read_bytes()


def test_write_writes_what_data_holds_now(imported, tmp_path):
    cmd = imported("knet")
    rec = wavefft.read(*cmd.paths)
    rec.data[2] *= -1.0
    rec.write(tmp_path / "flipped.txt")
    back = Layout(tmp_path / "flipped.txt").data
    assert same(back[2], -cmd.layout.data[2]) and same(back[:2], cmd.layout.data[:2])


def test_read_record_of_the_input_layout(record):
    lay, rec = Layout(record), wavefft.read_record(record)
    assert same(rec.data, lay.data) and rec.dt == lay.dt
    assert (rec.event, rec.station, rec.unit, rec.titles) == (lay.event, lay.station, lay.unit, lay.titles)
    assert wavefft.read_record(record, unit="mm_s2").unit == "mm_s2"


@pytest.mark.parametrize("name", ["knet", "geonet-gal"])
def test_read_record_then_write_gives_the_file_again(name, imported, tmp_path):
    cmd = imported(name)
    wavefft.read_record(cmd.file).write(tmp_path / "again.txt")
    assert (tmp_path / "again.txt").read_bytes() == cmd.file.read_bytes()


def test_read_record_of_a_waveform_file(tmp_path, imported, measured):
    shutil.copy(imported("knet").file, tmp_path / "rec.txt")
    support.command("wavefft", "--bandpass", "0.1,0.2,20,25", "--output", "acc.csv", "rec.txt", cwd=tmp_path)
    times, data = support.wavefft_csv(tmp_path / "acc.csv")
    rec = wavefft.read_record(tmp_path / "acc.csv", unit="gal")
    assert same(rec.data, data) and rec.dt == times[1] - times[0] and rec.unit == "gal"
    assert_dicts(wavefft.measures(rec.data, rec.dt, "gal"), measured(tmp_path / "acc.csv", "--unit", "gal")[0])


def assert_dicts(got, want, keys=None, lead=False):
    """Each key's array bit for bit (with the damping axis added first when `lead`), dictionaries equal."""
    assert keys is not None or set(got) == set(want)
    for key in keys or want:
        if isinstance(want[key], dict):
            assert got[key] == want[key], key
        else:
            assert same(np.asarray(got[key])[np.newaxis] if lead else got[key], want[key]), key


SPECTRA = ("psa", "rotd50", "rotd100")
FOURIER = ("frequencies", "fas", "eas")


def test_measures_spectra_fas_are_wavefft_measures(record, measured):
    lay = Layout(record)
    measures, spectra, fas = measured(record)
    assert_dicts(wavefft.measures(lay.data, lay.dt, lay.unit), measures)
    got = wavefft.spectra(lay.data, lay.dt, lay.unit)
    assert same(got["periods"], spectra["periods"]) and len(got["periods"]) == 111
    assert_dicts(got, spectra, SPECTRA, lead=True)
    assert len(fas["frequencies"]) == 401
    assert_dicts(wavefft.fas(lay.data, lay.dt, lay.unit), fas, FOURIER)


@pytest.mark.parametrize("keywords", [
    {"periods": [0.1, 0.2, 0.5, 1.0, 2.0, 5.0], "damping": 0.02}, {"damping": (0.05, 0.02)},
    {"periods": [3.0, 0.05, 0.3], "damping": [0.05, 0.1, 0.3]}, {"periods": [0.1, 1.0], "damping": [0.02]}])
def test_spectra_with_periods_and_dampings(keywords, measured, tmp_path):
    record = support.RECORDS / "ELCENTRO_1940.txt"
    lay = Layout(record)
    args = options({"damping": keywords["damping"]})
    if "periods" in keywords:
        (tmp_path / "p.txt").write_text("\n".join(map(repr, keywords["periods"])))
        args += ["--periods", tmp_path / "p.txt"]
    got, want = wavefft.spectra(lay.data, lay.dt, lay.unit, **keywords), measured(record, *args)[1]
    one = isinstance(keywords["damping"], float)
    assert same(got["periods"], want["periods"]) and (one or same(got["damping"], want["damping"]))
    assert_dicts(got, want, SPECTRA, lead=one)


@pytest.mark.parametrize("keywords", [
    {"bandwidth": 40.0}, {"window": "full"}, {"bandwidth": 20.0, "window": "full"},
    {"frequencies": [0.5, 1.0, 2.0, 5.0, 10.0]}, {"frequencies": [0.3, 70.0, 3.0], "bandwidth": 40.0}])
def test_fas_options(keywords, measured, tmp_path):
    record = support.RECORDS / "SYLMAR_1994_AFTERSHOCK.txt"
    lay = Layout(record)
    names = {"bandwidth": "ko_bandwidth", "window": "ko_window"}
    args = options({names[k]: v for k, v in keywords.items() if k in names})
    if "frequencies" in keywords:
        (tmp_path / "f.txt").write_text("\n".join(map(repr, keywords["frequencies"])))
        args += ["--frequencies", tmp_path / "f.txt"]
    assert_dicts(wavefft.fas(lay.data, lay.dt, lay.unit, **keywords), measured(record, *args)[2], FOURIER)


@pytest.mark.parametrize("name, keywords", [
    ("knet", {}), ("knet", {"highpass": 0.3, "lowpass": 20.0, "order": 4}),
    ("csmip", {"highpass": 0.3, "lowpass": 40.0, "order": 4}),
    ("geonet-gal", {"lowpass": None, "baseline": "none", "taper": 0.1}),
    ("mseed", {"onset": 20.0, "highpass": "auto", "lowpass": "auto"}), ("sac-pad", {"order": 2, "taper": 0.0})])
def test_correct_is_wavefft_correct(name, keywords, imported, tmp_path):
    source = imported(name)
    support.command("wavefft-correct", *options(keywords), "--summary", tmp_path / "s.json",
                    "-o", tmp_path / "c.txt", source.file)
    lay = source.layout
    data = lay.data.copy()
    corrected, summary = wavefft.correct(data, lay.dt, lay.unit, titles=list(lay.titles), **keywords)
    assert corrected.dtype == np.float64 and same(corrected, Layout(tmp_path / "c.txt").data)
    assert summary == json.loads((tmp_path / "s.json").read_text())
    assert data.tobytes() == lay.data.tobytes() and not np.shares_memory(corrected, data)


RUNS = [{"bandpass": (0.1, 0.2, 20, 25), "integrate": True, "output": "vel.csv"},
        {"flip": (1, 3), "double_integrate": True, "cut": (5, 20), "skip": 1},
        {"differentiate": True, "bandpass": (0.05, 0.1, 10, 12), "output": "d.csv"}, {}]


def assert_run_is_wavefft(run, record, keywords, folder):
    """`run` against wavefft itself in `folder` on a copy of `record`."""
    folder.mkdir()
    shutil.copy(record, folder / "rec.txt")
    p = support.command("wavefft", *options(keywords), "rec.txt", cwd=folder)
    assert (run.status, run.console) == (p.returncode, p.stdout)
    frequencies, amplitudes = support.wavefft_csv(folder / "amp3.csv")
    times, data = support.wavefft_csv(folder / keywords.get("output", "wave.csv"))
    assert same(run.spectrum["frequency"], frequencies) and same(run.spectrum["amplitude"], amplitudes)
    assert same(run.waveform["times"], times) and same(run.waveform["data"], data)
    return amplitudes, data


@pytest.mark.parametrize("keywords", RUNS, ids=["bandpass-integrate", "flip-cut-skip", "differentiate", "none"])
def test_run_on_a_file(keywords, imported, tmp_path):
    record = imported("knet").file
    run = wavefft.run(str(record), **keywords)
    assert run.workdir is None
    assert_run_is_wavefft(run, record, keywords, tmp_path / "direct")


def test_run_on_a_record_in_a_workdir(imported, tmp_path):
    cmd = imported("geonet-gal")
    run = wavefft.run(wavefft.read(*cmd.paths, **cmd.options), workdir=tmp_path / "work", **RUNS[0])
    assert str(run.workdir) == str(tmp_path / "work") and (tmp_path / "work" / "vel.csv").is_file()
    assert_run_is_wavefft(run, cmd.file, RUNS[0], tmp_path / "direct")


@pytest.mark.parametrize("scale", [1e-100, 1e100])
def test_run_reads_three_digit_exponents(scale, tmp_path):
    """amp3.csv and the waveform file write 0.1234-100 for 0.1234E-100: that number, not NaN."""
    lay = Layout(support.RECORDS / "SYLMAR_1994_AFTERSHOCK.txt")
    rec = wavefft.Record(lay.data * scale, lay.dt, lay.unit, titles=list(lay.titles))
    rec.write(tmp_path / "rec.txt")
    amplitudes, data = assert_run_is_wavefft(wavefft.run(rec, integrate=True), tmp_path / "rec.txt",
                                             {"integrate": True}, tmp_path / "direct")
    assert np.isfinite(amplitudes[:, 1:]).all() and np.isfinite(data).all()


def test_every_name_has_a_docstring_and_a_stub():
    stubs = open(os.path.join(os.path.dirname(wavefft.__file__), "wavefft.pyi")).read()
    for name in ("read", "read_record", "measures", "spectra", "fas", "correct", "run", "Record", "Run"):
        assert getattr(wavefft, name).__doc__.strip(), name
        assert re.search(rf"^(def|class) {name}\b", stubs, re.M), name
