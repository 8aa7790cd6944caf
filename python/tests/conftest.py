# SPDX-License-Identifier: GPL-3.0-or-later
# Fixtures of the module's tests: bundled agency records imported once by
# wavefft-import, and wavefft-measures' files of a record computed once.
import types

import pytest

import support

# Bundled agency folders (or files) and the import options they are read with.
IMPORTS = {
    "knet": (["knet/CHB002"], {}),
    "knet-files-g": ([f"knet/CHB002/CHB0021412312349.{c}" for c in ("UD", "EW", "NS")], {"unit": "g"}),
    "kik-borehole": (["knet/NGNH31_kik"], {"channels": ["EW1", "NS1", "UD1"]}),
    "geonet-gal": (["geonet/WPWS"], {"unit": "gal"}),
    "csmip": (["csmip/CE89146"], {}),
    "csmip-raw-m_s2": (["csmip/CE89146"], {"level": "raw", "unit": "m_s2"}),
    "mseed": (["mseed/CI_CLC"], {}),
    "sac-pad": (["sac/CJ_T001230"], {"source_unit": "g", "pad": True}),
    "peer": (["peer-at2/RSN763_GIL"], {"zero_vertical": True}),
}


def options(keywords):
    """Keywords as command-line options: pad=True -> --pad, channels=[a, b] -> --channels a,b."""
    args = []
    for key, value in keywords.items():
        flag = "--" + key.replace("_", "-")
        if value is True:
            args.append(flag)
        elif isinstance(value, (list, tuple)):
            args += [flag, ",".join(map(str, value))]
        else:
            args += [flag, "none" if value is None else repr(value) if isinstance(value, float) else value]
    return args


def cached(make):
    cache = {}
    return lambda *key: cache[key] if key in cache else cache.setdefault(key, make(*key))


@pytest.fixture(scope="session")
def imported(tmp_path_factory):
    """name -> the record as wavefft-import wrote it (file, layout, --info text), made on first use."""
    def make(name):
        parts, keywords = IMPORTS[name]
        paths = [str(support.RAW / p) for p in parts]
        out = tmp_path_factory.mktemp("imported") / f"{name}.txt"
        support.command("wavefft-import", *options(keywords), "-o", out, *paths)
        info = support.command("wavefft-import", "--info", *options(keywords), *paths).stdout
        return types.SimpleNamespace(paths=paths, options=keywords, file=out, layout=support.Layout(out), info=info)
    return cached(make)


@pytest.fixture(scope="session")
def measured(tmp_path_factory):
    """(record, options...) -> wavefft-measures' (measures, spectra, fas), run on first use."""
    def make(record, *args):
        out = tmp_path_factory.mktemp("measured")
        support.command("wavefft-measures", *args, "--out", out, record)
        return support.measures_csv(out)
    return cached(make)
