"""Writes docs/PERFORMANCE.md and its plots from the figures scripts/perf-report.sh
measured. Usage: report.py DATA_DIR DOCS_DIR   (Debian's python3-matplotlib)"""
import json
import os
import platform
import subprocess
import sys
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

DATA, DOCS = sys.argv[1], sys.argv[2]
PLOTS = os.path.join(DOCS, "perf")
COMMAND = "make perf-report"


def lines(name):
    path = os.path.join(DATA, name)
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [json.loads(l) for l in f if l.strip().startswith("{")]


def bench(name):
    path = os.path.join(DATA, name)
    if not os.path.exists(path):
        return {}
    with open(path) as f:
        return {b["name"]: b for b in json.load(f)["benchmarks"] if b.get("run_type") == "iteration"}


def machine():
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for l in f:
            if l.startswith("model name"):
                cpu = l.split(":", 1)[1].strip()
                break
    flags = set()
    with open("/proc/cpuinfo") as f:
        for l in f:
            if l.startswith("flags"):
                flags = set(l.split(":", 1)[1].split())
                break
    vector = ", ".join(x for x in ("avx2", "avx512bw", "avx512vbmi") if x in flags) or "no AVX2"
    mem = 0
    with open("/proc/meminfo") as f:
        mem = int(f.readline().split()[1]) / 1024 / 1024
    load = " ".join(f"{x:.2f}" for x in os.getloadavg())
    return (f"{cpu} ({vector}), {os.cpu_count()} cores, {mem:.0f} GiB RAM, Linux {platform.release()}, "
            f"load average {load} when the report was written")


MACHINE = machine()
DATE = time.strftime("%Y-%m-%d %H:%M %Z")
STAMP = f"{MACHINE} · {DATE} · `{COMMAND}`"


def stamp(fig):
    fig.text(0.01, 0.005, f"{MACHINE} · {DATE} · {COMMAND}", fontsize=6, color="0.4")


def save(fig, name):
    os.makedirs(PLOTS, exist_ok=True)
    stamp(fig)
    fig.tight_layout(rect=(0, 0.03, 1, 1))
    fig.savefig(os.path.join(PLOTS, name), dpi=110)
    plt.close(fig)
    return f"perf/{name}"


def size_label(n):
    for unit, f in (("GiB", 1 << 30), ("MiB", 1 << 20), ("KiB", 1 << 10)):
        if n >= f:
            return f"{n / f:g} {unit}"
    return f"{n} B"


md = []
w = md.append
w("# Performance\n")
w(f"Measured in one run by `{COMMAND}` on {MACHINE}, {DATE}. Every figure below comes from that run; "
  "run the command again to measure your own machine (about 9 minutes on two cores). Times are the best or the median "
  "of several runs as stated; this machine is a shared virtual machine, so single figures move by 10–30 %.\n")

# --- hex codec ------------------------------------------------------------------
codec = lines("codec.jsonl") + lines("cli_codecs.jsonl")
headline = {}
if codec:
    fig, axes = plt.subplots(1, 2, figsize=(11, 4.2), sharey=True)
    for ax, op in zip(axes, ("encode", "decode")):
        tools = []
        for r in codec:
            if r["op"] == op and r["tool"] not in tools:
                tools.append(r["tool"])
        for tool in tools:
            pts = sorted((r["bytes"], r["bytes"] / r["seconds"] / 1e9) for r in codec
                         if r["op"] == op and r["tool"] == tool)
            style = "-o" if tool in ("quorvane", "memcpy") else "--."
            ax.plot([p[0] for p in pts], [p[1] for p in pts], style, label=tool, lw=2 if tool == "quorvane" else 1)
        ax.set_xscale("log", base=2)
        ax.set_yscale("log")
        ax.set_xlabel("bytes (text is twice as long)")
        ax.set_title(f"hex {op}: GB of bytes per second (higher is better)")
        ax.grid(True, which="both", alpha=0.3)
        ax.legend(fontsize=7)
    hex_plot = save(fig, "hex_throughput.png")
    w("## Hex encode and decode\n")
    w(f"![hex throughput]({hex_plot})\n")
    w("Throughput in bytes of binary data per second. `quorvane` is the codec the program uses (vectorised "
      "where the processor allows), `plain table` its portable reference, `memcpy` copies as many bytes as the "
      "text holds. Our codec and the Python functions are timed in process (best of several runs); the stock "
      "tools (`basenc`, `xxd`, `od`) are whole programs reading a file and writing to /dev/null, so their small "
      "sizes show start-up time. A tool is left out of the larger sizes once a run takes over 8 s.\n")
    big = max(r["bytes"] for r in codec if r["tool"] == "quorvane")
    w(f"| at {size_label(big)} | encode GB/s | decode GB/s |\n|---|---|---|")
    at = {}
    for r in codec:
        at.setdefault(r["tool"], {})
        sizes = [x["bytes"] for x in codec if x["tool"] == r["tool"] and x["op"] == r["op"]]
        if r["bytes"] == max(sizes):
            at[r["tool"]][r["op"]] = (r["bytes"], r["bytes"] / r["seconds"] / 1e9)
    for tool, ops in at.items():
        cell = lambda op: (f"{ops[op][1]:.2f}" + ("" if ops[op][0] == big else f" (at {size_label(ops[op][0])})")) if op in ops else "–"
        w(f"| {tool} | {cell('encode')} | {cell('decode')} |")
    w("")
    headline["codec"] = at

# --- hex codec against memcpy, one benchmark run ----------------------------------
hb = bench("bench_hex_codec.json")
if hb:
    def gbs(name):
        b = hb.get(name)
        return b["bytes_per_second"] / 1e9 if b and "bytes_per_second" in b else None
    sizes = sorted({int(n.split("/")[-1]) for n in hb if n.startswith("Memcpy/")})
    paths = [p for p in ("AVX512VBMI", "AVX512BW", "AVX2") if any(n.startswith(f"HexEncode/{p}/") and gbs(n) for n in hb)]
    w("## Hex codec against memcpy: the budgets\n")
    w("One run of `build/bench/bench_hex_codec`: memcpy copies 2N bytes (as much as the text holds); encode is "
      "counted in input bytes, decode in hex characters, so each ratio sets the codec against copying its "
      "text. Budget at 256 MiB: encode ≥ 0.6 × memcpy, decode ≥ 1.2 × memcpy. Outputs whose input and output "
      "together reach 16 MiB are written with streaming stores.\n")
    w("| N bytes | memcpy GB/s | " + " | ".join(f"encode {p} GB/s (× memcpy)" for p in paths) + " | "
      + " | ".join(f"decode {p} G chars/s (× memcpy)" for p in paths) + " |")
    w("|---" * (2 + 2 * len(paths)) + "|")
    for n in sizes:
        m = gbs(f"Memcpy/{n}")
        if not m:
            continue
        cells = []
        for op in ("HexEncode", "HexDecode"):
            for p in paths:
                v = gbs(f"{op}/{p}/{n}")
                cells.append(f"{v:.2f} ({v / m:.2f})" if v else "–")
        w(f"| {size_label(n)} | {m:.2f} | " + " | ".join(cells) + " |")
    w("")
    big = sizes[-1] if sizes else None
    floor_enc, floor_dec = gbs(f"MemoryFloor/Encode/{big}"), gbs(f"MemoryFloor/Decode/{big}")
    if big and paths and floor_enc and floor_dec and gbs(f"Memcpy/{big}"):
        m = gbs(f"Memcpy/{big}")
        enc, dec = gbs(f"HexEncode/{paths[0]}/{big}"), gbs(f"HexDecode/{paths[0]}/{big}")
        w(f"The memory floor at {size_label(big)}, in the same units: reading the input and writing the output "
          f"with streaming stores, nothing computed: encode {floor_enc:.2f} GB/s ({floor_enc / m:.2f} × memcpy), "
          f"decode {floor_dec:.2f} G chars/s ({floor_dec / m:.2f} × memcpy). {paths[0]} reaches "
          f"{100 * enc / floor_enc:.0f} % of it encoding and {100 * dec / floor_dec:.0f} % decoding. Encode writes "
          "twice what it reads and is counted by what it reads, so its ratio to memcpy is about half of "
          "decode's for the same time per character.\n")
    if big and paths and gbs(f"Memcpy/{big}"):
        m = gbs(f"Memcpy/{big}")
        headline["codec_budget"] = (size_label(big), paths[0], gbs(f"HexEncode/{paths[0]}/{big}") / m,
                                    gbs(f"HexDecode/{paths[0]}/{big}") / m)

# --- picture <-> hex budgets ------------------------------------------------------
ph = bench("bench_picture_hex.json")
if ph:
    def ms(name):
        b = ph.get(name)
        return b["real_time"] if b else float("nan")
    w("## Picture to hex and back: the budgets\n")
    w("A 10 MB JPEG (cjpeg, quality 100, noise) and its 19.4 M-character text, Google Benchmark "
      "(`build/bench/bench_picture_hex`). *warm*: the allocator hands back memory it kept, as in a program that "
      "converted before; *fresh*: every large block is a new mapping whose pages fault on first touch. "
      "*before* is the former code (a middle buffer, a zero-filled text), kept in the benchmark as the baseline.\n")
    w("| | warm, ms | fresh, ms | budget (warm), ms |\n|---|---|---|---|")
    memcpy_w, hdr = ms("MemcpyOfText/fresh:0/min_time:0.300/real_time"), ms("HeaderRead/fresh:0/min_time:0.300/real_time")
    budget = 2 * memcpy_w + hdr
    for label, name in (("memcpy of the text", "MemcpyOfText"), ("header read", "HeaderRead"),
                        ("JPEGToHex", "JPEGToHex"), ("JPEGToHex before", "JPEGToHexBefore"),
                        ("HexToJPEG (decode + header read)", "HexToJPEG"), ("HexToJPEG before", "HexToJPEGBefore")):
        warm, fresh = ms(f"{name}/fresh:0/min_time:0.300/real_time"), ms(f"{name}/fresh:1/min_time:0.300/real_time")
        b = f"{budget:.2f}" if name.startswith(("JPEGToHex", "HexToJPEG")) else ""
        w(f"| {label} | {warm:.3f} | {fresh:.2f} | {b} |")
    w("\nThe budget is 2 × memcpy of the text + header read, both measured in the same run. Fresh memory is "
      "dominated by the cost of new pages on this virtual machine (memcpy into a fresh block costs as much as "
      "the table's *fresh* memcpy row); the program asks for large pages and makes a fresh block resident in "
      "one call, which is why its fresh figures are far below that.\n")
    headline["budget"] = (ms("JPEGToHex/fresh:0/min_time:0.300/real_time"), ms("HexToJPEG/fresh:0/min_time:0.300/real_time"), budget)

# --- JPEG decode ------------------------------------------------------------------
jb = bench("bench_jpeg.json")
if jb:
    files, ours, theirs, ours_cpu, theirs_cpu = [], [], [], [], []
    for name, b in jb.items():
        if name.startswith("Decode24/"):
            i = name.split("/")[1]
            d = jb.get(f"DjpegBaseline24/{i}/real_time") or jb.get(f"DjpegBaseline24/{i}")
            if d:
                files.append(b.get("label", i))
                ours.append(b["real_time"])
                theirs.append(d["real_time"])
                ours_cpu.append(b.get("cpu_ms", float("nan")))
                theirs_cpu.append(d.get("cpu_ms", float("nan")))
    if files:
        fig, ax = plt.subplots(figsize=(9, 3.8))
        x = range(len(files))
        ax.bar([i - 0.2 for i in x], ours, 0.4, label="Quorvane decode (24-bit, in process)")
        ax.bar([i + 0.2 for i in x], theirs, 0.4, label="djpeg -bmp > /dev/null (whole program)")
        ax.set_xticks(list(x))
        ax.set_xticklabels([f.replace("large-", "").replace(".jpg", "") for f in files], fontsize=7)
        ax.set_ylabel("ms (lower is better)")
        ax.set_title("JPEG decode of the corpus's large photos")
        ax.legend(fontsize=7)
        ax.grid(True, axis="y", alpha=0.3)
        jpeg_plot = save(fig, "jpeg_decode.png")
        w("## JPEG decode\n")
        w(f"![jpeg decode]({jpeg_plot})\n")
        w("| file | Quorvane, ms | djpeg, ms | Quorvane, processor ms | djpeg, processor ms |\n|---|---|---|---|---|")
        for f, a, b, c, d in zip(files, ours, theirs, ours_cpu, theirs_cpu):
            w(f"| {f} | {a:.1f} | {b:.1f} | {c:.1f} | {d:.1f} |")
        w("\nMedians of 5 repetitions. Both use libjpeg-turbo; djpeg's figure includes starting the program and "
          "writing a BMP to /dev/null. Processor time is user + system time of the decoding process (for djpeg, of "
          "the ended child): on a shared machine it moves much less with the other tenants than the wall time. "
          "Under callgrind both run the same library code instruction for instruction on the progressive file "
          "(the same functions with the same counts); djpeg adds its BMP writer, Quorvane the copy of the file "
          "into a stream and the bitmap's set-up.\n")

# --- text box ---------------------------------------------------------------------
tb = lines("text_box.jsonl")
if tb:
    fig, axes = plt.subplots(1, 4, figsize=(14, 3.8))
    for ax, key, title in zip(axes, ("replace_first_ms", "key_ms", "paste_ms", "peak_bytes_per_char"),
                              ("replace + first paint, ms", "keystroke, ms (median)", "paste 16 chars, ms",
                               "peak memory, bytes per char")):
        for box in ("TMemo", "QPlainTextEdit"):
            pts = sorted((r["chars"], r[key]) for r in tb if r["box"] == box and "timeout" not in r)
            if pts:
                ax.plot([p[0] for p in pts], [p[1] for p in pts], "-o",
                        label="Quorvane text box" if box == "TMemo" else box)
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_xlabel("characters (one line of hex)")
        ax.set_title(title, fontsize=9)
        ax.grid(True, which="both", alpha=0.3)
    axes[0].legend(fontsize=7)
    tb_plot = save(fig, "text_box.png")
    w("## The text box\n")
    w(f"![text box]({tb_plot})\n")
    w("One line of hex in the window's 313 × 311 box, offscreen, one process per box and size "
      "(`build/bench/perf_text_box`). Keystroke: a character typed or deleted in the middle, then painted. "
      "QPlainTextEdit runs until a size takes longer than the cap; sizes it did not finish are marked.\n")
    w("| box | characters | replace + first paint, ms | scroll, ms | keystroke median / max, ms | paste, ms | peak bytes/char | held bytes/char |")
    w("|---|---|---|---|---|---|---|---|")
    for r in sorted(tb, key=lambda r: (r["box"], r["chars"])):
        if "timeout" in r:
            w(f"| {r['box']} | {r['chars']:,} | did not finish in {r['timeout']} s | | | | | |")
        else:
            w(f"| {r['box']} | {r['chars']:,} | {r['replace_first_ms']:.1f} | {r['scroll_ms']:.2f} | "
              f"{r['key_ms']:.2f} / {r['key_max_ms']:.2f} | {r['paste_ms']:.2f} | {r['peak_bytes_per_char']:.2f} | "
              f"{r['held_bytes_per_char']:.2f} |")
    w("")
    headline["text_box"] = [r for r in tb if r["box"] == "TMemo"]

# --- window flow ------------------------------------------------------------------
fl = lines("window_flow.jsonl")
if fl:
    fig, axes = plt.subplots(1, 2, figsize=(11, 3.8))
    labels = [f"{r['bytes'] / 1e6:.0f} MB" for r in fl]
    x = range(len(fl))
    ax = axes[0]
    ax.bar([i - 0.3 for i in x], [r["to_hex_ms"] for r in fl], 0.2, label="picture to hex: click → final status")
    ax.bar([i - 0.1 for i in x], [r["to_hex_stall_ms"] for r in fl], 0.2, label="  longest UI stall meanwhile")
    ax.bar([i + 0.1 for i in x], [r["to_picture_ms"] for r in fl], 0.2, label="hex to picture: click → picture drawn")
    ax.axhline(50, color="r", lw=0.8, ls=":", label="50 ms")
    ax.set_xticks(list(x))
    ax.set_xticklabels(labels)
    ax.set_yscale("log")
    ax.set_ylabel("ms (lower is better)")
    ax.set_title("The window, real binary under Xvfb", fontsize=9)
    ax.legend(fontsize=7)
    ax.grid(True, axis="y", alpha=0.3)
    ax = axes[1]
    to_hex_acc = [2 * r["bytes"] / 1e6 for r in fl]
    to_pic_acc = [(r["bytes"] + 3 * r["width"] * r["height"]) / 1e6 for r in fl]
    ax.bar([i - 0.3 for i in x], [r["to_hex_peak_extra_kb"] * 1024 / 1e6 for r in fl], 0.2, label="picture to hex, measured")
    ax.bar([i - 0.1 for i in x], to_hex_acc, 0.2, label="  accounting: text 2N")
    ax.bar([i + 0.1 for i in x], [r["to_picture_peak_extra_kb"] * 1024 / 1e6 for r in fl], 0.2, label="hex to picture, measured")
    ax.bar([i + 0.3 for i in x], to_pic_acc, 0.2, label="  accounting: bytes N + bitmap")
    ax.set_xticks(list(x))
    ax.set_xticklabels(labels)
    ax.set_ylabel("MB above the resident size before the click")
    ax.set_title("Peak memory of each flow", fontsize=9)
    ax.legend(fontsize=7)
    ax.grid(True, axis="y", alpha=0.3)
    flow_plot = save(fig, "window_flow.png")
    w("## The whole window\n")
    w(f"![window flow]({flow_plot})\n")
    w("The real `quorvane` under Xvfb with openbox, driven by xdotool (`scripts/perf/window_flow.sh`), JPEGs made "
      "with cjpeg from noise. Times come from the program's own trace, written only when `QUORVANE_PERF_TRACE` "
      "names a file: from the click handler to the paint of the final status text, and to the paint of the "
      "restored picture. The UI stall is the longest gap between the ticks of a 1 ms timer on the UI thread. "
      "Hex to picture runs on the UI thread by design (decode, then the first paint of the picture), so its stall "
      "is its whole time. Peak memory is the resident peak (VmHWM, reset before each click) above the resident "
      "size before the click; the accounting is what the flow must hold: the text (2N) for picture to hex — the "
      "picture's bytes are held already and no middle buffer is made — and the bytes (N) plus the 24-bit bitmap "
      "for hex to picture.\n")
    w("| JPEG | pixels | picture→hex, ms | text set in box after, ms | longest stall, ms | peak extra / accounting, MB | hex→picture drawn, ms | peak extra / accounting, MB |")
    w("|---|---|---|---|---|---|---|---|")
    for r, a1, a2 in zip(fl, to_hex_acc, to_pic_acc):
        w(f"| {r['bytes'] / 1e6:.1f} MB | {r['width']}×{r['height']} | {r['to_hex_ms']:.0f} | {r['to_hex_text_set_ms']:.0f} | "
          f"{r['to_hex_stall_ms']:.0f} | {r['to_hex_peak_extra_kb'] * 1024 / 1e6:.0f} / {a1:.0f} | {r['to_picture_ms']:.0f} | "
          f"{r['to_picture_peak_extra_kb'] * 1024 / 1e6:.0f} / {a2:.0f} |")
    stepped = [r for r in fl if r.get("to_hex_steps_ms")]
    if stepped:
        w("\nPicture to hex in steps: when each step ended, ms after the click, from the program's trace; the "
          "worker's steps are marked on the worker. *Least* is what the machine needs at least, measured in the same "
          "run right after (`perf_memory_floor`): 2N bytes of fresh memory made resident and written (the better of "
          "faulting page by page and one populating call with large pages) and N bytes read, best of 5. *First fresh "
          "2N* is the first of those 5 populating runs: on this virtual machine the first large block a process "
          "gets may cost many times the later ones (the host backs it anew), and the program's text is such a "
          "first block.\n")
        names = []
        for r in stepped:
            for k in r["to_hex_steps_ms"]:
                if k not in names:
                    names.append(k)
        w("| JPEG | " + " | ".join(names) + " | least, ms | whole / least | first fresh 2N, ms | load |")
        w("|---" * (len(names) + 5) + "|")
        for r in stepped:
            st = r["to_hex_steps_ms"]
            floor = r.get("memory_floor", {}).get("floor_ms")
            least = f"{floor:.1f} | {r['to_hex_ms'] / floor:.1f}" if floor else "– | –"
            first = r.get("memory_floor", {}).get("fresh_2n_populated_first_ms")
            first = f"{first:.1f}" if first is not None else "–"
            w(f"| {r['bytes'] / 1e6:.1f} MB | " + " | ".join(f"{st[k]:.1f}" if k in st else "–" for k in names)
              + f" | {least} | {first} | {r.get('load', '')} |")
    w("\nThe conversion runs on the worker, and so does the text box's wrap index of the new text (where each "
      "visual line starts: every character's advance added up, about one character per processor cycle, which "
      "is why the whole takes a few times the memory floor); the UI thread only swaps the finished text and "
      "index in, and the text it replaces is freed on the worker. *to-hex text wrapped* minus *to-hex encoded* "
      "is the index; *least* covers memory traffic only.\n")
    headline["flow"] = fl

# --- headline first -----------------------------------------------------------------
head = ["## In short\n"]
if "codec" in headline and "quorvane" in headline["codec"]:
    q = headline["codec"]["quorvane"]
    others = {t: v for t, v in headline["codec"].items() if t not in ("quorvane", "memcpy", "plain table")}
    best_other = max((v["encode"][1], t) for t, v in others.items() if "encode" in v) if others else None
    head.append(f"- Hex encode {q['encode'][1]:.1f} GB/s and decode {q['decode'][1]:.1f} GB/s at {size_label(q['encode'][0])}"
                + (f"; the fastest stock alternative measured, {best_other[1]}, encodes {best_other[0]:.2f} GB/s." if best_other else "."))
if "codec_budget" in headline:
    size, path, enc, dec = headline["codec_budget"]
    head.append(f"- Hex codec at {size} ({path}): encode {enc:.2f} × memcpy, decode {dec:.2f} × memcpy in the same run.")
if "budget" in headline:
    a, b, c = headline["budget"]
    head.append(f"- 10 MB JPEG: picture to hex {a:.2f} ms and hex to picture {b:.2f} ms of worker time, budget {c:.2f} ms.")
if "text_box" in headline:
    big = max(headline["text_box"], key=lambda r: r["chars"])
    head.append(f"- Text box with {big['chars']:,} characters: replace + first paint {big['replace_first_ms']:.0f} ms, "
                f"keystroke {big['key_ms']:.2f} ms, {big['held_bytes_per_char']:.2f} bytes per character held.")
if "flow" in headline:
    for r in headline["flow"]:
        head.append(f"- Window, {r['bytes'] / 1e6:.0f} MB JPEG: picture to hex in {r['to_hex_ms']:.0f} ms "
                    f"(longest UI stall {r['to_hex_stall_ms']:.0f} ms), hex to picture drawn in {r['to_picture_ms']:.0f} ms.")
head.append("")
md[1:1] = head

with open(os.path.join(DOCS, "PERFORMANCE.md"), "w") as f:
    f.write("\n".join(md) + "\n")
print(os.path.join(DOCS, "PERFORMANCE.md"))
