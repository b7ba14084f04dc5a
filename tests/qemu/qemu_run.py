#!/usr/bin/env python3
"""Boots BootProgressPei and DimmReportSmm inside unmodified OVMF firmware on QEMU's q35 machine
and reads back from outside what they did.

Runs:
  pei-xip     the module and the board-events PEIM dispatched right after the PCD PEIM, before
              memory is found: the module executes in place from the decompressed PEI volume
  pei-memory  both dispatched once permanent memory is installed: the core copies and relocates
  smm         DimmReportSmm and the record sink in the DXE volume, the board-events PEIM in PEI

For each run DIR/<run>/ receives the modified flash, the firmware variables, serial.log,
debug.log (the debug console, port 0x402), qemu.log (interrupts, resets and, for the PEI runs,
bus trace events without the ACPI timer) and qemu-report.json. With --check the run fails unless
what was read back matches the simulator's boot of tests/qemu/q35-board.json (PEI) or
tests/qemu/smm-board.json (SMM).

Exit codes: 0 done (and, with --check, every check passed); 1 a check failed; 2 bad usage or a
missing tool or firmware file.
"""
import argparse
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))

PEI_VOLUME = "6938079B-B503-4E3D-9D24-B28337A25806"  # OVMF's PEI volume
# Where SEC leaves the decompressed PEI volume: a PEIM dispatched before memory runs in place here.
PEI_VOLUME_RANGE = (0x820000, 0x820000 + 0xE0000)
DESCRIPTOR_MARKER = "board-events: module signal descriptor at "
DXE_VOLUME = "7CB8BDC9-F8EB-4F34-AAEA-3EE4AF6516A1"  # OVMF's DXE volume
PCD_PEIM = "9B3ADA4F-AE56-4C24-8DEA-F03B7558AE50"  # the only entry of OVMF's PEI a-priori file
MEMORY_DISCOVERED_PPI = "F894643D-C449-42D1-8EA8-85BDD8C65BDE"
SINK_PROTOCOL = "59D02FCD-9233-4D34-BCFE-87CA81D3DDA7"
MODULE_FILE = "4F8C8A53-6A43-4D4A-9E36-1B3F2D5C7E01"
BOARD_EVENTS_FILE = "0E6B1C2A-93D4-4C8F-A1B7-5D2E8F3C9A10"
SINK_FILE = "3C1B7E52-8F0A-4D6B-9C2E-71A5D4B3F820"
DIMM_REPORT_FILE = "8E2F4A61-5B3C-4E7D-A1F9-06C2B8D4E735"
# ProgressRecordGuid {DEF22288-DB19-4633-B600-42AA070D9DE2} as it lies in memory.
RECORD_GUID = bytes.fromhex("8822f2de19db3346b60042aa070d9de2")
HOB_TYPE_GUID_EXTENSION = 4

RAM_MIB = 256
TRACE_EVENTS = ["memory_region_ops_read", "memory_region_ops_write", "pci_cfg_read",
                "pci_cfg_write"]
CONFIG_REGIONS = ("pci-conf-idx", "pci-conf-data", "pcie-mmcfg-mmio")
KEPT_REGIONS = CONFIG_REGIONS + ("isa-debugcon",)
SHELL_PROMPT = re.compile(r"Shell> |startup\.nsh")
OPS_LINE = re.compile(r"memory_region_ops_(read|write) cpu (-?\d+) mr \S+ addr (0x[0-9a-f]+) "
                      r"value (0x[0-9a-f]+) size (\d+) name '([^']*)'")
INT_LINE = re.compile(r"^\s*\d+: v=([0-9a-f]+) ")
RUNS = {
    "pei-xip": {"code": "OVMF32_CODE_4M.secboot.fd", "vars": "OVMF32_VARS_4M.fd",
                "qemu": "qemu-system-i386", "trace": True},
    "pei-memory": {"code": "OVMF32_CODE_4M.secboot.fd", "vars": "OVMF32_VARS_4M.fd",
                   "qemu": "qemu-system-i386", "trace": True},
    "smm": {"code": "OVMF_CODE_4M.secboot.fd", "vars": "OVMF_VARS_4M.fd",
            "qemu": "qemu-system-x86_64", "trace": False},
}


class RunError(Exception):
    pass


def fvpack_list(fvpack, flash):
    out = subprocess.run([fvpack, "list", flash], capture_output=True, text=True)
    if out.returncode != 0:
        raise RunError(out.stderr.strip())
    return out.stdout


def pei_machine(listing):
    """The processor the PEI core of the firmware is built for (ia32 or x64)."""
    lines = listing.splitlines()
    for i, line in enumerate(lines):
        if " pei-core " in line:
            for follow in lines[i + 1:i + 6]:
                m = re.search(r"section (pe32|te) .* (ia32|x64)$", follow)
                if m:
                    return m.group(2)
    raise RunError("the firmware has no PEI core image")


def build_flash(run, args, code, out_dir):
    fw = args.firmware_dir
    flash = os.path.join(out_dir, "flash.fd")
    listing = fvpack_list(args.fvpack, code)
    # The board-events PEIM runs in the firmware's PEI phase: its build must match that phase.
    board_events = os.path.join(
        fw, "BoardEventsPeim32.efi" if pei_machine(listing) == "ia32" else "BoardEventsPeim64.efi")
    cmd = [args.fvpack, "insert", code, "--volume", PEI_VOLUME]
    if run in ("pei-xip", "pei-memory"):
        after_memory = ["--depex", MEMORY_DISCOVERED_PPI] if run == "pei-memory" else []
        cmd += ["--file", os.path.join(fw, "BootProgressPei.efi"), "--type", "peim",
                "--guid", MODULE_FILE, "--name", "BootProgressPei", "--apriori",
                "after:" + PCD_PEIM] + after_memory
        cmd += ["--file", board_events, "--type", "peim", "--guid", BOARD_EVENTS_FILE,
                "--name", "BoardEventsPeim", "--apriori", "after:" + MODULE_FILE] + after_memory
    else:
        cmd += ["--file", board_events, "--type", "peim", "--guid", BOARD_EVENTS_FILE,
                "--name", "BoardEventsPeim", "--apriori", "after:" + PCD_PEIM]
        cmd += ["--volume", DXE_VOLUME,
                "--file", os.path.join(fw, "RecordSinkSmm.efi"), "--type", "smm",
                "--guid", SINK_FILE, "--name", "RecordSinkSmm",
                "--file", os.path.join(fw, "DimmReportSmm.efi"), "--type", "smm",
                "--guid", DIMM_REPORT_FILE, "--name", "DimmReportSmm",
                "--depex", SINK_PROTOCOL]
    cmd += ["-o", flash]
    done = subprocess.run(cmd, capture_output=True, text=True)
    if done.returncode != 0:
        raise RunError("fvpack insert failed: " + done.stderr.strip())
    with open(os.path.join(out_dir, "flash-list.txt"), "w") as f:
        f.write(fvpack_list(args.fvpack, flash))
    return flash


class Qmp:
    """QEMU's machine protocol over a Unix socket: one command at a time, events skipped."""

    def __init__(self, path, timeout):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        self.sock.connect(path)
        self.file = self.sock.makefile("rb")
        self._reply()  # the greeting
        self.command("qmp_capabilities")

    def _reply(self):
        while True:
            line = self.file.readline()
            if not line:
                raise OSError("QEMU closed its control socket")
            message = json.loads(line)
            if "event" not in message:
                return message

    def command(self, execute, **arguments):
        self.sock.sendall(json.dumps({"execute": execute, "arguments": arguments}).encode() + b"\n")
        reply = self._reply()
        if "error" in reply:
            raise RunError("QEMU refused %s: %s" % (execute, reply["error"].get("desc")))
        return reply.get("return")

    def close(self):
        self.file.close()
        self.sock.close()


def boot(run, args, flash, out_dir):
    run_cfg = RUNS[run]
    vars_copy = os.path.join(out_dir, "vars.fd")
    shutil.copyfile(os.path.join(args.ovmf_dir, run_cfg["vars"]), vars_copy)
    serial = os.path.join(out_dir, "serial.log")
    debug = os.path.join(out_dir, "debug.log")
    qemu_log = os.path.join(out_dir, "qemu.log")
    monitor = os.path.join(out_dir, "monitor.sock")
    for path in (serial, debug, monitor):
        if os.path.exists(path):
            os.remove(path)
    cmd = [run_cfg["qemu"], "-machine", "q35,smm=on", "-m", str(RAM_MIB),
           "-global", "driver=cfi.pflash01,property=secure,value=on",
           "-drive", "if=pflash,format=raw,unit=0,readonly=on,file=" + flash,
           "-drive", "if=pflash,format=raw,unit=1,file=" + vars_copy,
           "-nodefaults", "-display", "none", "-serial", "file:" + serial,
           "-debugcon", "file:" + debug, "-global", "isa-debugcon.iobase=0x402",
           "-qmp", "unix:%s,server,nowait" % monitor,
           "-d", "int,cpu_reset", "-D", "/dev/stdout"]
    if run_cfg["trace"]:
        events = os.path.join(out_dir, "trace-events.txt")
        with open(events, "w") as f:
            f.write("\n".join(TRACE_EVENTS) + "\n")
        cmd += ["-trace", "events=" + events]
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    # Only what is read back is kept: the ACPI timer alone gives millions of lines.
    def keep_log():
        with open(qemu_log, "wb") as f:
            for line in proc.stdout:
                if not line.startswith(b"memory_region_ops") or any(
                        (b"'%s'" % name.encode()) in line for name in KEPT_REGIONS):
                    f.write(line)

    reader = threading.Thread(target=keep_log)
    reader.start()
    reached = False
    boot_seconds = None
    while time.monotonic() - start < args.timeout:
        if proc.poll() is not None:
            break
        if os.path.exists(serial):
            with open(serial, "rb") as f:
                if SHELL_PROMPT.search(f.read().decode(errors="replace")):
                    reached = True
                    boot_seconds = time.monotonic() - start
                    break
        time.sleep(0.25)
    ram = os.path.join(out_dir, "ram.bin")
    try:
        if proc.poll() is None:
            qmp = Qmp(monitor, 60)
            if reached:
                qmp.command("stop")
                # Reading guest memory goes through the memory regions and would trace itself.
                if run_cfg["trace"]:
                    qmp.command("trace-event-set-state",
                                **{"name": "*", "enable": False, "ignore-unavailable": True})
                qmp.command("pmemsave", val=0, size=RAM_MIB << 20, filename=ram)
            try:
                qmp.command("quit")
            except OSError:
                pass  # the socket closes as QEMU quits
            qmp.close()
    finally:
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    reader.join()
    stderr = proc.stderr.read().decode(errors="replace")
    return {"reached_shell": reached, "boot_seconds": boot_seconds,
            "qemu_exit": proc.returncode, "qemu_stderr": stderr.strip(),
            "ram": ram if reached else None}


def debug_lines(qemu_log):
    """The debug console's lines with the qemu.log line numbers of their first and last byte."""
    lines, current = [], None
    with open(qemu_log, errors="replace") as f:
        for number, line in enumerate(f):
            if "'isa-debugcon'" not in line:
                continue
            m = OPS_LINE.search(line)
            if not m or m.group(1) != "write":
                continue
            c = chr(int(m.group(4), 16))
            if current is None:
                current = [number, ""]
            if c == "\n":
                lines.append((current[0], number, current[1]))
                current = None
            else:
                current[1] += c
    return lines


def read_qemu_log(qemu_log):
    """Exceptions and resets after the first guest access, and the configuration accesses."""
    exceptions, resets, accesses = [], 0, []
    started = False
    with open(qemu_log, errors="replace") as f:
        for number, line in enumerate(f):
            if "memory_region_ops" in line and " cpu -1 " not in line:
                started = True
            m = INT_LINE.match(line)
            if m and int(m.group(1), 16) < 0x20:
                exceptions.append(line.strip())
            elif "check_exception" in line or "triple fault" in line.lower():
                exceptions.append(line.strip())
            elif "CPU Reset" in line and started:
                resets += 1
            m = OPS_LINE.search(line)
            if m and m.group(6) in CONFIG_REGIONS:
                accesses.append({"line": number, "op": "r" if m.group(1) == "read" else "w",
                                 "addr": int(m.group(3), 16), "width": int(m.group(5)),
                                 "value": int(m.group(4), 16), "region": m.group(6)})
    return exceptions, resets, accesses


def find_records(ram_path):
    """Every GUID HOB named ProgressRecordGuid in guest RAM."""
    records = []
    with open(ram_path, "rb") as f:
        ram = f.read()
    at = ram.find(RECORD_GUID)
    while at != -1:
        header = at - 8
        if header >= 0 and int.from_bytes(ram[header:header + 2], "little") == \
                HOB_TYPE_GUID_EXTENSION:
            length = int.from_bytes(ram[header + 2:header + 4], "little")
            records.append({"offset": header, "hob_length": length,
                            "reserved": int.from_bytes(ram[header + 4:header + 8], "little"),
                            "marker": ram[header + 24], "byte_25": ram[header + 25],
                            "percent": int.from_bytes(ram[header + 26:header + 28], "little")})
        at = ram.find(RECORD_GUID, at + 1)
    return records


def config_access_text(a):
    return "%s 0x%X/%d 0x%X" % (a["op"], a["addr"], a["width"], a["value"])


def screen_a_accesses(log_lines, accesses):
    """The configuration accesses between the ScreenA install marker and its return."""
    begin = next((l for l in log_lines if l[2] == "board-events: install ScreenA"), None)
    end = next((l for l in log_lines if l[2].startswith("board-events: installed ScreenA")), None)
    if begin is None or end is None:
        return None
    return [config_access_text(a) for a in accesses if begin[1] < a["line"] < end[0]]


def simulator_pei_accesses(args):
    """The simulator's configuration port accesses while ScreenA is installed."""
    out = os.path.join(args.out, "sim-pei")
    scenario = os.path.join(HERE, "q35-board.json")
    done = subprocess.run([args.bootsim, "--scenario", scenario, "--out", out, "--trace"],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RunError("bootsim failed: " + done.stderr.strip())
    result, inside = [], False
    with open(os.path.join(out, "trace.jsonl")) as f:
        for line in f:
            entry = json.loads(line)
            if entry.get("kind") == "event":
                inside = entry.get("name") == "install ScreenA"
                continue
            if inside and entry.get("kind") == "io":
                addr = int(str(entry["addr"]), 0)
                if 0xCF8 <= addr <= 0xCFF:
                    value = entry["value"]
                    value = int(value, 0) if isinstance(value, str) else value
                    result.append(config_access_text({"op": entry["op"][0], "addr": addr,
                                                      "width": entry["width"],
                                                      "value": value}))
    return result


def simulator_records(args):
    out = os.path.join(args.out, "sim-smm")
    scenario = os.path.join(HERE, "smm-board.json")
    done = subprocess.run([args.bootsim, "--smm", "--scenario", scenario, "--out", out],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RunError("bootsim --smm failed: " + done.stderr.strip())
    with open(os.path.join(out, "report.json")) as f:
        report = json.load(f)
    return [r.upper() for r in report["smm"]["records"]]


def run_one(run, args):
    run_cfg = RUNS[run]
    out_dir = os.path.join(args.out, run)
    os.makedirs(out_dir, exist_ok=True)
    code = os.path.join(args.ovmf_dir, run_cfg["code"])
    for tool in (run_cfg["qemu"],):
        if shutil.which(tool) is None:
            raise RunError(tool + " is not installed (tools/install-deps.sh installs it)")
    if not os.path.isfile(code):
        raise RunError(code + " is missing (Debian package ovmf or ovmf-ia32)")
    flash = build_flash(run, args, code, out_dir)
    # An independent walk of the written image: every checksum, the new files present.
    sys.path.insert(0, HERE)
    import ffs_check
    problems, names = ffs_check.check(flash)
    inserted = [MODULE_FILE, BOARD_EVENTS_FILE] if run_cfg["trace"] else [
        BOARD_EVENTS_FILE, SINK_FILE, DIMM_REPORT_FILE]
    problems += ["no file named " + g for g in inserted if g not in names]
    result = boot(run, args, flash, out_dir)
    qemu_log = os.path.join(out_dir, "qemu.log")
    exceptions, resets, accesses = read_qemu_log(qemu_log)
    log_lines = debug_lines(qemu_log) if run_cfg["trace"] else []
    with open(os.path.join(out_dir, "debug.log"), errors="replace") as f:
        debug_text = f.read().splitlines()
    report = {
        "run": run, "firmware": code, "flash": flash,
        "reached_shell": result["reached_shell"],
        "boot_seconds": round(result["boot_seconds"], 2) if result["boot_seconds"] else None,
        "exceptions": exceptions[:20], "exception_count": len(exceptions), "resets": resets,
        "markers": [l for l in debug_text if l.startswith("board-events:")],
        "flash_problems": problems,
    }
    for line in report["markers"]:
        if line.startswith(DESCRIPTOR_MARKER):
            report["module_signal_descriptor"] = int(line[len(DESCRIPTOR_MARKER):], 16)
    if result["ram"]:
        records = find_records(result["ram"])
        # The HOB list handed to DXE sits above the temporary RAM's copy made before memory.
        report["record"] = max(records, key=lambda r: r["offset"]) if records else None
        report["record_copies"] = records
        os.remove(result["ram"])
    if run_cfg["trace"]:
        report["config_accesses"] = screen_a_accesses(log_lines, accesses)
    else:
        report["dimm_records"] = [l.split()[1] for l in debug_text
                                  if l.startswith("record-sink: ") and " size " in l]
    failures = []
    if args.check:
        failures += ["flash: " + p for p in problems]
        if not report["reached_shell"]:
            failures.append("the shell prompt was not reached within %d s" % args.timeout)
        if report["exception_count"]:
            failures.append("%d CPU exceptions" % report["exception_count"])
        if resets:
            failures.append("%d resets" % resets)
        if run_cfg["trace"]:
            # Where the module's constant data lies tells where it ran. Before memory it runs in
            # place in the PEI volume. OVMF's core runs a PEIM dispatched after memory in place
            # as well (the volume is already in RAM), so that run only reports where.
            where = report.get("module_signal_descriptor")
            in_volume = where is not None and PEI_VOLUME_RANGE[0] <= where < PEI_VOLUME_RANGE[1]
            report["module_ran_in_pei_volume"] = in_volume
            if where is None:
                failures.append("the module's signal PPI was not found")
            elif run == "pei-xip" and not in_volume:
                failures.append("the module ran from 0x%X, outside the PEI volume" % where)
            rec = report.get("record")
            want = {"hob_length": 32, "marker": 1, "percent": 30}
            if not rec or any(rec[k] != v for k, v in want.items()):
                failures.append("record %s, expected %s" % (rec, want))
            sim = simulator_pei_accesses(args)
            report["simulator_config_accesses"] = sim
            if report["config_accesses"] != sim:
                failures.append("configuration accesses differ from the simulator's: %d here, "
                                "%d there; first difference at %d" % (
                                    len(report["config_accesses"] or []), len(sim),
                                    first_difference(report["config_accesses"] or [], sim)))
        else:
            sim = simulator_records(args)
            report["simulator_dimm_records"] = sim
            if report["dimm_records"] != sim:
                failures.append("DIMM records differ from the simulator's")
    report["failures"] = failures
    with open(os.path.join(out_dir, "qemu-report.json"), "w") as f:
        json.dump(report, f, indent=2)
    return report


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--run", action="append", choices=sorted(RUNS), required=True)
    parser.add_argument("--fvpack", required=True)
    parser.add_argument("--bootsim", help="needed with --check")
    parser.add_argument("--firmware-dir", required=True, help="where the .efi images are")
    parser.add_argument("--ovmf-dir", default="/usr/share/OVMF")
    parser.add_argument("--out", required=True)
    parser.add_argument("--timeout", type=int, default=120,
                        help="seconds a boot may take to reach the shell")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if args.check and not args.bootsim:
        parser.error("--check needs --bootsim")
    os.makedirs(args.out, exist_ok=True)
    reports = {}
    try:
        for run in args.run:
            reports[run] = run_one(run, args)
    except RunError as e:
        print("qemu_run: %s" % e, file=sys.stderr)
        return 2
    with open(os.path.join(args.out, "qemu-report.json"), "w") as f:
        json.dump(reports, f, indent=2)
    status = 0
    for run, report in reports.items():
        rec = report.get("record")
        print("%s: shell %s in %s s, %d exceptions, %d resets%s%s" % (
            run, "reached" if report["reached_shell"] else "NOT reached",
            report["boot_seconds"], report["exception_count"], report["resets"],
            ", record at 0x%X HobLength %d Marker %d Percent %d" % (
                rec["offset"], rec["hob_length"], rec["marker"], rec["percent"]) if rec else "",
            ", %d DIMM records" % len(report["dimm_records"]) if "dimm_records" in report else ""))
        for failure in report["failures"]:
            print("  FAIL: " + failure)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
