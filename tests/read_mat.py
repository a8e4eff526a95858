"""Prints, as JSON, what scipy reads from a conditions MAT-file: an independent
reader for tests/mat_file_test.cpp and tests/study_console_test.cpp. `pmod`,
when the file holds it, comes as its field names and, per element, each
field's cell: its shape and its elements (texts, or shapes and values). Doubles as repr(), which round-trips them
exactly. Any problem (no scipy, a file it refuses, a variable of the wrong
kind) exits non-zero, so that the test fails rather than skips."""
import json
import sys

import numpy as np
import scipy.io


def elements(contents, name, dtype):
    cell = contents[name]
    assert cell.dtype == object, f"{name} is {cell.dtype}, not a cell"
    arrays = list(cell.ravel(order="F"))  # column-major, as the file holds them
    assert all(a.dtype == dtype for a in arrays), f"an element of {name} is not {dtype}"
    return arrays


path = sys.argv[1]
# The file's char data is UTF-16 code units; by default scipy keeps only the
# low byte of each. Its reader cannot hold a code point past U+FFFF (two units,
# one character), so the tests keep to the first plane.
contents = scipy.io.loadmat(path, chars_as_strings=False, uint16_codec="utf_16_le")
read = {"classes": {name: [cls, list(dims)] for name, dims, cls in scipy.io.whosmat(path)}}
read["names"] = [{"shape": list(a.shape), "text": "".join(a.ravel())} for a in elements(contents, "names", np.dtype("U1"))]
for name in ("onsets", "durations"):
    read[name] = [{"shape": list(a.shape), "values": [repr(float(v)) for v in a.ravel(order="F")]}
                  for a in elements(contents, name, np.float64)]
if "pmod" in contents:
    pmod = contents["pmod"]
    assert pmod.dtype.names is not None, f"pmod is {pmod.dtype}, not a struct"
    read["pmod_fields"] = list(pmod.dtype.names)
    read["pmod"] = []
    for element in pmod.ravel(order="F"):
        entry = {}
        for field in pmod.dtype.names:
            cell = element[field]
            assert cell.dtype == object, f"pmod.{field} is {cell.dtype}, not a cell"
            items = []
            for a in cell.ravel(order="F"):
                if a.dtype == np.dtype("U1"):
                    items.append({"shape": list(a.shape), "text": "".join(a.ravel())})
                else:
                    assert a.dtype == np.float64, f"an element of pmod.{field} is {a.dtype}"
                    items.append({"shape": list(a.shape), "values": [repr(float(v)) for v in a.ravel(order="F")]})
            entry[field] = {"shape": list(cell.shape), "elements": items}
        read["pmod"].append(entry)
print(json.dumps(read, ensure_ascii=True))
