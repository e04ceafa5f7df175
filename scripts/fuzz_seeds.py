#!/usr/bin/env python3
"""Writes the scene fuzzer's seed corpus: every scene under scenes/, shrunk to
the harness's caps (at most 256x256 pixels, 2 frames, "Number" 64), one
compact file each in fuzz/corpus/scene/. usage: fuzz_seeds.py [REPO]"""
import json
import math
import pathlib
import sys

MAX_PIXELS = 256 * 256
MAX_NUMBER = 64


def scaled(points, factor):
    return [[round(x * factor, 2), round(y * factor, 2)] for x, y in points]


def shrink(scene):
    width, height = scene["width"], scene["height"]
    factor = min(1.0, math.sqrt(MAX_PIXELS / (width * height)))
    scene["width"] = max(1, math.floor(width * factor))
    scene["height"] = max(1, math.floor(height * factor))
    for mask in scene.get("masks", []):
        for key in ("points", "in", "out"):
            if key in mask:
                mask[key] = scaled(mask[key], factor)
    for layer in scene.get("layers", {}).values():
        if "width" in layer:
            layer["width"] = max(1, math.floor(layer["width"] * factor))
            layer["height"] = max(1, math.floor(layer["height"] * factor))
    if "frames" in scene:
        first, last = scene["frames"]
        scene["frames"] = [first, min(last, first + 1)]
    for params in scene.get("effects", [scene.get("params", {})]):
        number = params.get("Number")
        if isinstance(number, (int, float)):
            params["Number"] = min(number, MAX_NUMBER)
        elif isinstance(number, dict):
            number["keyframes"] = [[t, min(v, MAX_NUMBER)] for t, v in number["keyframes"]]
    return scene


def withoutComments(value):
    if isinstance(value, dict):
        return {k: withoutComments(v) for k, v in value.items() if k != "comment"}
    if isinstance(value, list):
        return [withoutComments(v) for v in value]
    return value


def main():
    repo = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    out = repo / "fuzz" / "corpus" / "scene"
    out.mkdir(parents=True, exist_ok=True)
    for path in sorted((repo / "scenes").rglob("*.json")):
        scene = shrink(withoutComments(json.loads(path.read_text())))
        name = f"{path.parent.name}_{path.stem}.json" if path.parent.name != "scenes" else f"{path.stem}.json"
        (out / name).write_text(json.dumps(scene, separators=(",", ":")) + "\n")
        print(out / name)


main()
