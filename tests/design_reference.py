#!/usr/bin/python3
"""The design check's figures computed again with numpy, from the rules that
docs/checking.md fixes, for the tests to compare with what stimloom writes.

  design(events, tr, scans, high_pass) -> (names, X)
      events: [(condition, onset, duration)] in seconds, in any order.
  figures(names, X) -> {"rank", "correlation", "vif", "efficiency", "aliased"}
"""

import math

import numpy as np


def response(dt):
    t = np.arange(0, math.floor(32 / dt) + 1) * dt
    h = t ** 5 * np.exp(-t) / math.factorial(5) - t ** 15 * np.exp(-t) / math.factorial(15) / 6
    return h / h.sum()


def design(events, tr, scans, high_pass):
    dt = tr / 16
    bins = 16 * scans
    h = response(dt)
    first = {}
    trains = {}
    for condition, onset, duration in events:
        start = math.floor(onset / dt)
        stop = max(start, math.ceil((onset + duration) / dt) - 1)
        start, stop = max(start, 0), min(stop, bins - 1)
        if start > stop:
            continue
        train = trains.setdefault(condition, np.zeros(bins))
        train[start:stop + 1] = 1
    for condition, onset, _ in events:
        first[condition] = min(first.get(condition, math.inf), onset)
    names = sorted(trains, key=lambda name: first[name])
    columns = [np.convolve(trains[name], h)[:bins][::16] for name in names]
    columns.append(np.ones(scans))
    m = np.arange(scans)
    for j in range(1, math.floor(2 * scans * tr / high_pass) + 1):
        columns.append(np.cos(np.pi * j * (2 * m + 1) / (2 * scans)))
    return names, np.column_stack(columns)


def figures(names, x):
    count = len(names)
    rank = np.linalg.matrix_rank(x)
    nuisance = x[:, count:]
    left = np.column_stack([x[:, c] - nuisance @ np.linalg.lstsq(nuisance, x[:, c], rcond=None)[0]
                            for c in range(count)])
    correlation = np.corrcoef(left.T) if count > 1 else np.ones((1, 1))
    full = rank == x.shape[1]
    inverse = np.linalg.inv(x.T @ x) if full else None
    vif, efficiency, aliased = [], [], []
    for c in range(count):
        others = np.delete(x, c, axis=1)
        if np.linalg.matrix_rank(others) == rank:
            vif.append(math.inf)
            efficiency.append(0.0)
            aliased.append(True)
            continue
        column = x[:, c]
        fitted = others @ np.linalg.lstsq(others, column, rcond=None)[0]
        unexplained = float(((column - fitted) ** 2).sum())
        total = float(((column - column.mean()) ** 2).sum())
        vif.append(1 / (1 - (1 - unexplained / total)))
        efficiency.append(1 / inverse[c, c] if full else unexplained)
        aliased.append(False)
    return {"rank": int(rank), "correlation": correlation.tolist(), "vif": vif, "efficiency": efficiency,
            "aliased": aliased}
