#!/usr/bin/env python3
"""Runs one Windows program under Wine and reports its wall time and the peak
resident memory of the Windows process itself.

Which process: `wine PROGRAM` starts as the /usr/bin/wine shell script, which
execs Wine's loader in the same process; from then on that process *is* the
Windows program (Wine rewrites its command line to the program's Windows
path). exec gives it a new address space, so its high-water mark counts only
the Windows program: not the script before it, nor wineserver, nor Wine's
service processes or explorer, which are other processes.

How: the kernel's task statistics (taskstats over generic netlink, as root)
report each exiting thread with the high-water RSS of its address space,
taken before the address space is released. The figure is the largest one
reported for a thread of the pid this script started. It is exact; if
taskstats is not available the script falls back to sampling VmHWM in
/proc/PID/status every 2 ms while the process runs the program (VmHWM never
decreases, so that misses only growth in the last samples' gap).

Not /usr/bin/time (ru_maxrss from wait4): that figure is the largest of every
address space the pid had, so it also counts the launcher it was forked from
(time itself, or this script's Python) and the shell script before the exec,
and any children it waited for.

usage: measure_process.py NAME COMMAND...
  NAME     a string the Windows process's command line holds (the program)
prints:  wall_seconds peak_rss_kib private_kib exit_code source sampled_kib
  private_kib  the largest RssAnon sampled: the process's private memory
               (heaps, stacks, buffers) without the mapped Wine and system
               libraries
  source       taskstats or sampled: where peak_rss_kib comes from
  sampled_kib  the largest VmHWM sampled, as a cross-check
"""
import os
import socket
import struct
import sys
import time

INTERVAL = 0.002  # seconds between samples

NETLINK_GENERIC = 16
GENL_ID_CTRL = 0x10
CTRL_CMD_GETFAMILY = 3
CTRL_ATTR_FAMILY_ID = 1
CTRL_ATTR_FAMILY_NAME = 2
NLM_F_REQUEST = 1
NLMSG_ERROR = 2
SO_RCVBUFFORCE = 33
TASKSTATS_CMD_GET = 1
TASKSTATS_CMD_NEW = 2
TASKSTATS_CMD_ATTR_REGISTER_CPUMASK = 3
TASKSTATS_TYPE_STATS = 3
TASKSTATS_TYPE_AGGR_PID = 4
# Offsets in struct taskstats (linux/taskstats.h; fields are only appended).
AC_PID_OFFSET = 128        # __u32: the thread group id
HIWATER_RSS_OFFSET = 200   # __u64: KiB


def attributes(data):
    """Netlink attributes as (type, payload) pairs."""
    pos = 0
    while pos + 4 <= len(data):
        length, kind = struct.unpack_from("=HH", data, pos)
        if length < 4:
            break
        yield kind & 0x3FFF, data[pos + 4:pos + length]
        pos += (length + 3) & ~3


def attribute(kind, payload):
    return struct.pack("=HH", 4 + len(payload), kind) + payload + b"\0" * (-len(payload) % 4)


class ExitStats:
    """Listens for the exits of all threads on this machine (taskstats)."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, NETLINK_GENERIC)
        try:
            self.sock.setsockopt(socket.SOL_SOCKET, SO_RCVBUFFORCE, 16 << 20)
        except OSError:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16 << 20)
        self.sock.bind((0, 0))
        self.sock.settimeout(2)
        reply = self.request(GENL_ID_CTRL, CTRL_CMD_GETFAMILY,
                             attribute(CTRL_ATTR_FAMILY_NAME, b"TASKSTATS\0"))
        self.family = None
        for kind, payload in attributes(reply[20:]):
            if kind == CTRL_ATTR_FAMILY_ID:
                self.family = struct.unpack_from("=H", payload)[0]
        if self.family is None:
            raise OSError("no TASKSTATS family")
        cpus = f"0-{os.cpu_count() - 1}\0".encode()
        self.send(self.family, TASKSTATS_CMD_GET,
                  attribute(TASKSTATS_CMD_ATTR_REGISTER_CPUMASK, cpus))
        self.sock.setblocking(False)
        self.lost = False

    def send(self, family, command, payload):
        body = struct.pack("=BBH", command, 1, 0) + payload
        self.sock.send(struct.pack("=IHHII", 16 + len(body), family, NLM_F_REQUEST, 0, 0) + body)

    def request(self, family, command, payload):
        self.send(family, command, payload)
        reply = self.sock.recv(65536)
        if struct.unpack_from("=H", reply, 4)[0] == NLMSG_ERROR:
            raise OSError("netlink request refused")
        return reply

    def drain(self, tgid, peak):
        """Reads every queued exit record; returns the largest high-water RSS
        (KiB) reported for a thread of `tgid`, at least `peak`."""
        while True:
            try:
                data = self.sock.recv(1 << 16)
            except BlockingIOError:
                return peak
            except OSError:  # ENOBUFS: records were dropped
                self.lost = True
                continue
            pos = 0
            while pos + 16 <= len(data):
                length, kind = struct.unpack_from("=IH", data, pos)
                if length < 16:
                    break
                message = data[pos:pos + length]
                pos += (length + 3) & ~3
                if kind != self.family or message[16] != TASKSTATS_CMD_NEW:
                    continue
                for outer, nested in attributes(message[20:]):
                    if outer != TASKSTATS_TYPE_AGGR_PID:
                        continue
                    for inner, stats in attributes(nested):
                        if inner == TASKSTATS_TYPE_STATS and len(stats) >= HIWATER_RSS_OFFSET + 8:
                            if struct.unpack_from("=I", stats, AC_PID_OFFSET)[0] == tgid:
                                rss = struct.unpack_from("=Q", stats, HIWATER_RSS_OFFSET)[0]
                                peak = max(peak, rss)


def read(path, mode="r"):
    try:
        with open(path, mode) as f:
            return f.read()
    except OSError:
        return None


def windows_process_memory(pid, name):
    """(VmHWM, RssAnon) in KiB when pid is the Wine process running `name`,
    else None."""
    try:
        exe = os.readlink(f"/proc/{pid}/exe")
    except OSError:
        return None
    if "/wine" not in exe:  # still the /usr/bin/wine shell script
        return None
    cmdline = read(f"/proc/{pid}/cmdline", "rb")
    if not cmdline or name.lower() not in cmdline.decode("latin-1").lower():
        return None
    status = read(f"/proc/{pid}/status")
    if not status:
        return None
    fields = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
    try:
        return int(fields["VmHWM"].split()[0]), int(fields["RssAnon"].split()[0])
    except (KeyError, ValueError, IndexError):
        return None


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    name, command = sys.argv[1], sys.argv[2:]
    try:
        exits = ExitStats()
    except OSError:
        exits = None
    devnull = os.open(os.devnull, os.O_RDWR)
    t0 = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        # Output goes nowhere: Wine's background processes would inherit a
        # pipe and keep it open.
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        try:
            os.execvp(command[0], command)
        finally:
            os._exit(127)
    sampled = anon = exact = 0
    while True:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
        sample = windows_process_memory(pid, name)
        if sample is not None:
            sampled = max(sampled, sample[0])
            anon = max(anon, sample[1])
        if exits:
            exact = exits.drain(pid, exact)
        time.sleep(INTERVAL)
    wall = time.perf_counter() - t0
    # Each thread's record is queued before the process can be reaped.
    if exits:
        exact = exits.drain(pid, exact)
    if exits and exact and not exits.lost:
        peak, source = exact, "taskstats"
    else:
        peak, source = sampled, "sampled"
    print(f"{wall:.4f} {peak} {anon} {os.waitstatus_to_exitcode(status)} {source} {sampled}")


if __name__ == "__main__":
    main()
