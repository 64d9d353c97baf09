#!/usr/bin/python3
"""Writes N varied records as the download CSV (UTF-8 with BOM, header row,
seven columns): every number, value, date and time different, as a meter's
records are. Deterministic: the same N always gives the same file.
    gen_records.py N OUT.csv"""
import sys

n, out = int(sys.argv[1]), sys.argv[2]
waves = [850, 1300, 1310, 1490, 1550, 1625]
seed = 20120503


def rnd(k):
    global seed
    seed = (seed * 6364136223846793005 + 1442695040888963407) % (1 << 64)
    return (seed >> 33) % k


lines = ["Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes"]
t = 0
for i in range(n):
    mode = rnd(3)
    value = -rnd(5000) / 100.0 if mode == 0 else rnd(600000) / 10000.0
    t += 1 + rnd(600)
    day = t // 86400
    note = "splice %d" % rnd(1000) if rnd(20) == 0 else ""
    lines.append("%d,%dnm,%s,%.2f%s,%.2fdBm,20%d-%d-%d  %d:%d:%d,%s" % (
        i + 1, waves[rnd(6)], ("OPM", "RL", "IL")[mode], value, "dBm" if mode == 0 else "dB",
        -rnd(4000) / 100.0, 12 + day // 336, 1 + day // 28 % 12, 1 + day % 28, t // 3600 % 24, t // 60 % 60,
        t % 60, note))
with open(out, "w", encoding="utf-8", newline="") as f:
    f.write("\ufeff" + "\r\n".join(lines) + "\r\n")
