#!/usr/bin/python3
"""Reads back what stimloom's timeline pictures hold, independently of the C++
that wrote them, and prints it as JSON.

  read_svg.py svg FILE.svg
      the document's root, event marks, row labels, pulse ticks, marks, axis
      ticks and texts, and whatever would make it less than self-contained.
  read_svg.py png FILE.png [px:X,Y ...] [band:X0,Y0,X1,Y1 ...]
      the size from the IHDR chunk, the number of distinct pixel values, the
      listed pixels as [r, g, b, a], and for each band how many of its pixels
      are dark (luminance below 160).

Exits non-zero, with the reason on standard error, when the file does not
parse.
"""

import json
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"
EVENT_ATTRIBUTES = ("data-condition", "data-onset", "data-duration", "data-row")
NUMERIC_ATTRIBUTES = ("x", "y", "width", "height", "x1", "y1", "x2", "y2", "stroke-width", "font-size", "rx",
                      "data-pulse", "data-tick", "data-response")
PLAIN_NUMBER = re.compile(r"^-?[0-9]+(\.[0-9]+)?$")


def local(tag):
    return tag[len(SVG):] if tag.startswith(SVG) else tag


def child_title(element):
    title = element.find(SVG + "title")
    return None if title is None else (title.text or "")


def text_of(element):
    return "".join(element.itertext())


def read_svg(path):
    root = ET.parse(path).getroot()
    result = {
        "root": {
            "namespace": root.tag[1:root.tag.index("}")] if root.tag.startswith("{") else "",
            "tag": local(root.tag),
            "version": root.get("version"),
            "width": root.get("width"),
            "height": root.get("height"),
            "viewBox": root.get("viewBox"),
        },
        "background": None,
        "events": [],
        "eventAttributeHolders": 0,
        "labels": [],
        "pulses": [],
        "marks": {},
        "responses": [],
        "ticks": [],
        "axes": {},
        "parts": {},
        "problems": [],
    }
    first = next(iter(root), None)
    if first is not None and local(first.tag) == "rect":
        result["background"] = {key: first.get(key) for key in ("x", "y", "width", "height", "fill")}

    for element in root.iter():
        tag = local(element.tag)
        if tag in ("script", "foreignObject", "image", "use", "style", "a"):
            result["problems"].append("element " + tag)
        for key, value in element.attrib.items():
            if "href" in key or key.startswith("on"):
                result["problems"].append("attribute " + key)
            if "url(" in value and not re.fullmatch(r"url\(#[A-Za-z0-9_-]+\)", value):
                result["problems"].append("reference " + value)
            if key in NUMERIC_ATTRIBUTES and not PLAIN_NUMBER.match(value):
                result["problems"].append("number %s=%r" % (key, value))
        if key_count := sum(1 for key in EVENT_ATTRIBUTES if key in element.attrib):
            result["eventAttributeHolders"] += 1
            if key_count == len(EVENT_ATTRIBUTES):
                result["events"].append(event_mark(element, tag))
        if "data-label" in element.attrib:
            result["labels"].append(label(element))
        if "data-response" in element.attrib:
            result["responses"].append({"time": float(element.get("data-response")), "x": float(element.get("x1")),
                                        "y1": float(element.get("y1")), "y2": float(element.get("y2"))})
        if "data-pulse" in element.attrib:
            result["pulses"].append({"time": float(element.get("data-pulse")), "x": float(element.get("x1"))})
        if "data-mark" in element.attrib:
            result["marks"][element.get("data-mark")] = float(element.get("x1"))
        if "data-axis" in element.attrib:
            result["axes"][element.get("data-axis")] = [float(element.get("x1")), float(element.get("x2"))]
        if "data-tick" in element.attrib:
            lines = element.findall(SVG + "line")
            texts = element.findall(SVG + "text")
            result["ticks"].append({
                "value": element.get("data-tick"),
                "x": float(lines[0].get("x1")),
                "labels": [text_of(text) for text in texts],
            })
        part = element.get("data-part")
        if part is not None and tag == "text" and "data-label" not in element.attrib:
            result["parts"].setdefault(part, []).append(text_of(element))
    if result["root"]["viewBox"] is not None:
        for value in result["root"]["viewBox"].split(" "):
            if not PLAIN_NUMBER.match(value):
                result["problems"].append("viewBox " + value)
    return result


def event_mark(element, tag):
    mark = {
        "tag": tag,
        "condition": element.get("data-condition"),
        "onset": element.get("data-onset"),
        "duration": element.get("data-duration"),
        "row": element.get("data-row"),
        "outcome": element.get("data-outcome"),
        "responseTime": element.get("data-response-time"),
        "title": child_title(element),
        "strokeWidth": float(element.get("stroke-width", "0")),
    }
    if tag == "rect":
        mark.update({key: float(element.get(key)) for key in ("x", "y", "width", "height")})
    elif tag == "path":
        # A stem: "M x top V bottom" and then the cap.
        numbers = [float(n) for n in re.findall(r"-?[0-9]+(?:\.[0-9]+)?", element.get("d"))]
        mark.update({"x": numbers[0], "y": numbers[1], "width": 0.0, "height": numbers[2] - numbers[1],
                     "fill": element.get("fill"), "stroke": element.get("stroke")})
    if tag == "rect":
        mark["fill"] = element.get("fill")
    return mark


def label(element):
    texts = {text.get("data-part"): text for text in element.iter(SVG + "text")}
    name = texts.get("name")
    count = texts.get("count")
    return {
        "row": element.get("data-label"),
        "title": child_title(element),
        "name": None if name is None else text_of(name),
        "nameX": None if name is None else float(name.get("x")),
        "nameY": None if name is None else float(name.get("y")),
        "count": None if count is None else text_of(count),
        "countY": None if count is None else float(count.get("y")),
        "texts": len(element.findall(".//" + SVG + "text")),
    }


def read_png(path, queries):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    position = 8
    header = None
    compressed = bytearray()
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4, 0: 1, 4: 2}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError("unsupported PNG layout: depth %d, colour type %d, interlace %d" % (depth, colour, interlace))
    raw = zlib.decompress(bytes(compressed))
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    at = 0
    for _ in range(height):
        kind = raw[at]
        line = bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + (left + previous[i]) // 2) & 0xFF
        elif kind == 4:
            for i in range(channels):
                line[i] = (line[i] + previous[i]) & 0xFF
            for i in range(channels, stride):
                a = line[i - channels]
                b = previous[i]
                c = previous[i - channels]
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        elif kind != 0:
            raise ValueError("unknown PNG filter %d" % kind)
        rows.append(line)
        previous = line

    def pixel(x, y):
        offset = x * channels
        values = list(rows[y][offset:offset + channels])
        if channels == 1:
            return [values[0]] * 3 + [255]
        if channels == 2:
            return [values[0]] * 3 + [values[1]]
        return values if channels == 4 else values + [255]

    distinct = set()
    for line in rows:
        for offset in range(0, stride, channels):
            distinct.add(bytes(line[offset:offset + channels]))
    result = {"width": width, "height": height, "colourType": colour, "distinct": len(distinct), "pixels": [],
              "bands": []}
    for query in queries:
        kind, _, numbers = query.partition(":")
        values = [int(n) for n in numbers.split(",")]
        if kind == "px":
            result["pixels"].append(pixel(values[0], values[1]))
        elif kind == "band":
            x0, y0, x1, y1 = values
            dark = 0
            for y in range(y0, y1):
                for x in range(x0, x1):
                    r, g, b, a = pixel(x, y)
                    if a > 0 and 0.299 * r + 0.587 * g + 0.114 * b < 160:
                        dark += 1
            result["bands"].append({"dark": dark, "total": (x1 - x0) * (y1 - y0)})
        else:
            raise ValueError("unknown query " + query)
    return result


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("svg", "png"):
        sys.stderr.write(__doc__)
        return 2
    try:
        result = read_svg(sys.argv[2]) if sys.argv[1] == "svg" else read_png(sys.argv[2], sys.argv[3:])
    except Exception as error:  # noqa: BLE001 - every reason is reported the same way
        sys.stderr.write("%s: %s\n" % (sys.argv[2], error))
        return 1
    json.dump(result, sys.stdout, ensure_ascii=False, sort_keys=True)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
