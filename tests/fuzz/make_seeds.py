#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (corpus/<target>/) from the project's own data.

Run from anywhere: python3 tests/fuzz/make_seeds.py. The seeds are committed; run it again only
to change them. Each seed is a small, realistic input; the fuzzer mutates copies of them.
"""

import csv
import math
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
CORPUS = HERE / "corpus"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("latin-1"))


# --- Catalogues ---------------------------------------------------------------------------


def catalogue_groups(path, numbers):
    lines = (ROOT / path).read_text().splitlines()
    groups = {}
    for i in range(0, len(lines) - 2):
        if lines[i + 1].startswith("1 ") and lines[i + 2].startswith("2 "):
            groups.setdefault(lines[i + 1][2:7], (lines[i], lines[i + 1], lines[i + 2]))
    return [groups[n] for n in numbers]


def verification_groups(numbers):
    """Element lines of the verification file, cut to their 69 columns, with a name."""
    lines = (ROOT / "tests/data/sgp4/SGP4-VER.TLE").read_text().splitlines()
    out = []
    for i, line in enumerate(lines[:-1]):
        if line.startswith("1 ") and line[2:7] in numbers:
            out.append(("TEST " + line[2:7], line[:69], lines[i + 1][:69]))
    return out


def text(groups, end="\n", final=True):
    body = end.join(end.join(g) for g in groups)
    return body + (end if final else "")


def catalogue_seeds():
    active = catalogue_groups("tests/data/catalogue/active-2026-03.txt", ["00900", "00902", "01361"])
    deep = verification_groups(["08195", "09998", "11801", "16925", "28350"])
    t = "fuzz_catalogue"
    write(t, "active_lf.txt", text(active))
    write(t, "active_crlf.txt", text(active, "\r\n"))
    write(t, "deep_space_and_decay.txt", text(deep))
    write(t, "no_final_line_feed.txt", text(active[:2], final=False))
    # A name line with further columns after a 14-character name, and an Alpha-5 number.
    name, l1, l2 = active[0]
    short_name = "CALSPHERE 1    00900 64063C   1.2 3.4     v 5"
    write(t, "short_name_alpha5.txt",
          text([(short_name, l1, l2), ("ALPHA", "1 A0001" + l1[7:], "2 A0001" + l2[7:])]))
    # Short and blank lines: every later group shifts.
    write(t, "short_lines.txt", "NAME\n1 00900U\n2 00900  90.2170\n\n\n\n" + text(active[:1]))


# --- Time tables --------------------------------------------------------------------------


def leap_rows():
    rows = []
    with open(ROOT / "data/tai-utc.csv") as f:
        for r in csv.reader(line for line in f if not line.startswith("#")):
            if r[0] == "year":
                continue
            rows.append((int(r[0]), int(r[1]), int(r[2]), float(r[3]), float(r[4]), float(r[5])))
    return rows


def delta_t_rows():
    rows = []
    with open(ROOT / "data/delta-t.csv") as f:
        for r in csv.reader(line for line in f if not line.startswith("#")):
            if r[0] == "tt_jd":
                continue
            rows.append((float(r[0]), float(r[1]), float(r[2])))
    return rows


def calendar_date(jd):
    """Gregorian calendar date of a Julian date (at or after 1582)."""
    z = math.floor(jd + 0.5)
    a = math.floor((z - 1867216.25) / 36524.25)
    a = z + 1 + a - math.floor(a / 4)
    b = a + 1524
    c = math.floor((b - 122.1) / 365.25)
    d = math.floor(365.25 * c)
    e = math.floor((b - d) / 30.6001)
    day = b - d - math.floor(30.6001 * e)
    month = e - 1 if e < 14 else e - 13
    year = c - 4716 if month > 2 else c - 4715
    return year, month, day


def table(leaps, points, date=None, abc=None):
    if date is None:
        date = calendar_date(points[-1][0])
    if abc is None:
        abc = (0.0, 0.0, points[-1][2])
    out = b"UTCBIN00" + struct.pack("<iHHI", date[0], date[1], date[2], len(leaps))
    for y, m, d, offset, ref, rate in leaps:
        out += struct.pack("<iHHdff", y, m, d, offset, ref, rate)
    out += struct.pack("<I", len(points))
    for _, year, dt in points:
        out += struct.pack("<ff", year, dt)
    out += struct.pack("<ddd", *abc)
    return out


def table_seeds():
    leaps = leap_rows()
    points = delta_t_rows()
    t = "fuzz_utc_table"
    modern = [r for r in leaps if r[0] >= 1972]
    write(t, "leaps_since_1972.bin", table(modern, points[-16:]))
    write(t, "drifting_utc_1960s.bin",
          table(leaps[:6], [p for p in points if 1955 <= p[1] <= 1966][:12]))
    write(t, "one_leap_twelve_points.bin", table(leaps[-1:], points[-12:]))
    # A growing parabola after the last point: the leap extrapolation then switches on.
    write(t, "parabola_after_table.bin", table(modern[-3:], points[-12:], abc=(0.00032, -1.2, 1100.0)))
    # Rejected files: a table date three days after the last point, a short last value.
    y, m, d = calendar_date(points[-1][0] + 3)
    write(t, "date_after_points.bin", table(modern[-2:], points[-12:], date=(y, m, d)))
    write(t, "truncated.bin", table(modern[-2:], points[-12:])[:-5])


# --- Mount replies ------------------------------------------------------------------------


def arrivals(replies, lengths=None, flood=False):
    """A stream of replies ('#' added), cut at the reply boundaries unless lengths are given."""
    stream = "".join(r + "#" for r in replies)
    if lengths is None:
        lengths = [len(r) + 1 for r in replies]
    assert len(lengths) <= 15 and all(0 <= n <= 255 for n in lengths)
    header = len(lengths) | (0x80 if flood else 0)
    return bytes([header] + lengths) + stream.encode("latin-1")


def reply_seeds():
    t = "fuzz_mount_replies"
    handshake = ["2.15.14", "+48*30:15.2", "-011*35:00", "+0450.3"]
    running = ["T", '12.5,45.0,0.0025,"T,12.0",-0.001', "V", "2461118.512,2461118.520,41.2", "V",
               "E", "Q"]
    write(t, "handshake_and_tracking.bin", arrivals(handshake + running))
    write(t, "byte_by_byte.bin", arrivals(handshake + running[:2], lengths=[1]))
    write(t, "old_firmware.bin", arrivals(["2.15.1", "+00*30:00", "+000*00:00", "1234.5", "P"]))
    write(t, "refused_then_accepted.bin",
          arrivals(["2.14.9", "2.16", "-00*30:00", "+090*00:00.5", "0", "S", ",,,,", "E"]))
    write(t, "pieces_and_empty_replies.bin",
          arrivals(["3.0.0", "", "", "", "X", 'a,b,"1,2",c,d', "N"], lengths=[3, 0, 7, 1]))
    write(t, "flood_without_hash.bin", bytes([0x81, 250]) + b"x" * 250)


# --- Client commands for the stand-in ----------------------------------------------------


def escape(s):
    return s.replace("$", "$$").replace("\n", "$0a").replace("#", "$23").replace(",", "$2C")


def command_seeds():
    t = "fuzz_mountsim_commands"
    (name, l1, l2), = catalogue_groups("tests/data/catalogue/active-2026-03.txt", ["00900"])
    upload = ":TLEL0" + escape(name + "\n" + l1 + "\n" + l2 + "\n") + "#"
    chain = (upload + ":TLEP2461118.50000000,10#:TLES#:TLESCK#:GaE#:TLESCK#:GaE#"
             ":TLESCK#:GaE#:STOP#:TLESCK#")
    write(t, "handshake.txt", "0#:U2#:GVN#:Gt#:Gg#:Gev#:TLESCK#:GaE#")
    write(t, "upload_pass_slew_track.txt", "0" + chain)
    write(t, "upload_in_pieces.bin", bytes([3, 5, 1, 64]) + chain.encode())
    # '@' (bit 6): the target puts the right check digits into every upload it answers.
    write(t, "upload_sums_repaired.txt", "@" + upload.replace("90.2170", "90.2171") +
          ":TLEP2461118.5,10#:TLES#:TLESCK#:GaE#")
    write(t, "park_unpark_noise.txt",
          "0xx#:KA#\r\n:TLES#:PO#::GVN#garbage:TLEP2461118.5,10#:TLEP1e9,x#:TLEL0$zz#:NOPE#")
    deep = verification_groups(["08195"])[0]
    write(t, "deep_space_upload.txt",
          "0:TLEL0" + escape("\n".join(deep) + "\n") + "#:TLEP2453912.5,10#:TLES#:TLESCK#:GaE#")
    write(t, "unterminated_command.bin", bytes([0x81, 250]) + b":" + b"y" * 250)


# --- Element sets in the orbit mean-elements forms ----------------------------------------


OMM_FIELDS = [
    ("OBJECT_NAME", "ISS (ZARYA)"), ("OBJECT_ID", "1998-067A"),
    ("EPOCH", "2026-03-19T12:00:00.123456"), ("MEAN_MOTION", "15.48919755"),
    ("ECCENTRICITY", "0.0003737"), ("INCLINATION", "51.6416"), ("RA_OF_ASC_NODE", "247.4627"),
    ("ARG_OF_PERICENTER", "130.536"), ("MEAN_ANOMALY", "325.0288"), ("EPHEMERIS_TYPE", "0"),
    ("CLASSIFICATION_TYPE", "U"), ("NORAD_CAT_ID", "25544"), ("ELEMENT_SET_NO", "999"),
    ("REV_AT_EPOCH", "12345"), ("BSTAR", "-0.000011606"), ("MEAN_MOTION_DOT", "-0.00002182"),
    ("MEAN_MOTION_DDOT", "0"),
]
OMM_TEXT = {"OBJECT_NAME", "OBJECT_ID", "EPOCH", "CLASSIFICATION_TYPE"}


def omm_records():
    """A set, one with a name holding a comma and a nine-digit number, one Alpha-5, one broken."""
    base = dict(OMM_FIELDS)
    second = dict(base, OBJECT_NAME='DEB, "A"', NORAD_CAT_ID="270000000")
    third = dict(base, OBJECT_NAME="ALPHA", NORAD_CAT_ID="100000")
    broken = dict(base, ECCENTRICITY="1.5")
    del broken["BSTAR"]
    return [base, second, third, broken]


def omm_json(records):
    def value(k, v):
        return '"' + v.replace('"', '\\"') + '"' if k in OMM_TEXT else v
    return "[" + ",".join("{" + ",".join('"%s":%s' % (k, value(k, v)) for k, v in r.items()) + "}"
                          for r in records) + "]"


def omm_csv(records):
    def field(v):
        return '"' + v.replace('"', '""') + '"' if ("," in v or '"' in v) else v
    rows = [",".join(k for k, _ in OMM_FIELDS)]
    rows += [",".join(field(r.get(k, "")) for k, _ in OMM_FIELDS) for r in records]
    return "\r\n".join(rows) + "\r\n"


def omm_xml(records):
    out = '<?xml version="1.0" encoding="UTF-8"?>\n<ndm>\n'
    for r in records:
        items = ["<%s>%s</%s>" % (k, v.replace("&", "&amp;"), k) for k, v in r.items()]
        out += ('<omm id="CCSDS_OMM_VERS" version="2.0"><header/><body><segment><metadata>'
                + "".join(items[:2]) + "</metadata><data><meanElements>" + "".join(items[2:9])
                + "</meanElements><tleParameters>" + "".join(items[9:])
                + "</tleParameters></data></segment></body></omm>\n")
    return out + "</ndm>\n"


def omm_kvn(records):
    return "".join("CCSDS_OMM_VERS = 2.0\n" + "".join("%s = %s\n" % kv for kv in r.items())
                   for r in records)


def element_form_seeds():
    t = "fuzz_element_forms"
    records = omm_records()
    write(t, "celestrak.json", omm_json(records))
    write(t, "celestrak.csv", omm_csv(records))
    write(t, "celestrak.xml", omm_xml(records))
    write(t, "celestrak.kvn", omm_kvn(records))
    active = catalogue_groups("tests/data/catalogue/active-2026-03.txt", ["00900", "00902"])
    write(t, "tle.txt", text(active))


# --- Horizon and magnitude files ----------------------------------------------------------


def horizon_seeds():
    t = "fuzz_horizon"
    write(t, "trees_and_roof.txt",
          "# azimuth altitude\n0 5\n45 12.5\n90,20\n135\t8\n180 3 # south wall\n270 -2\n")
    write(t, "crlf_wrap_and_repeats.txt", "350 10\r\n-10 4\r\n\r\n370 6\r\n720 1e1\r\n")
    write(t, "one_point.txt", "123.456 7.5")
    write(t, "bad_line.txt", "0 5\n90 91\n180 3\n")


def magnitude_seeds():
    t = "fuzz_magnitudes"
    write(t, "visual_list.txt",
          "# number magnitude\n00694 3.5\n00733 4.0 # rocket body\n\n25544 -1.8\n  877 5\n")
    write(t, "crlf_and_exponents.txt", "25544 -1.8e0\r\n20580 2.50\r\n999999999 99.9\r\n")
    write(t, "third_field.txt", "25544 -1.8\n20580 2.5 extra\n")
    write(t, "long_line.txt", "25544 " + "1" * 1100 + "\n")


# --- Time server replies and the mount's clock --------------------------------------------


def sntp_input(flags, seconds, fraction, round_trip_us, ahead_ms, server_ms, datagram):
    return (bytes([flags]) + struct.pack(">IHIiB", seconds, fraction, round_trip_us, ahead_ms,
                                         server_ms) + datagram)


def sntp_packet(first, stratum, nonce, received, transmitted, reference=b"GPS\0"):
    return (bytes([first, stratum, 6, 0xec]) + bytes(8) + reference + bytes(8)
            + struct.pack(">QQQ", nonce, received, transmitted))


def sntp_seeds():
    t = "fuzz_sntp_reply"
    nonce = 0x1234567890ABCDEF
    march_2026 = 1773900000
    stamp = (march_2026 + 2208988800) << 32
    # True servers (flag 1): this clock 1.25 s ahead, 30 ms away; 2 hours behind in 2040, after
    # the era's end; a query whose clock stepped back (4).
    write(t, "true_server.bin", sntp_input(1, march_2026, 0x8000, 30000, 1250, 2,
                                           sntp_packet(0x24, 2, nonce, 0, 0)))
    write(t, "true_server_era_one.bin", sntp_input(1, 2215000000, 0, 45000, -7200000, 1,
                                                   sntp_packet(0x24, 1, nonce, 0, 0)))
    # 96 us away in 2105, where a Unix time in a double carries half a microsecond.
    write(t, "true_server_short_delay_2105.bin", sntp_input(1, 0xff250000, 0, 96, 96, 192,
                                                            sntp_packet(0x24, 2, nonce, 0, 0)))
    write(t, "clock_stepped_back.bin", sntp_input(4, march_2026, 0, 20000, 0, 0,
                                                  sntp_packet(0x24, 2, nonce, stamp, stamp + 1)))
    # Replies as they come: kiss-o'-death, another query's (2), unsynchronised, era 0, short.
    write(t, "kiss_of_death.bin", sntp_input(0, march_2026, 0, 10000, 0, 0,
                                             sntp_packet(0x24, 0, nonce, 0, 0, b"RATE")))
    write(t, "other_query.bin", sntp_input(2, march_2026, 0, 10000, 0, 0,
                                           sntp_packet(0x1c, 3, nonce, stamp, stamp)))
    write(t, "unsynchronised.bin", sntp_input(0, march_2026, 0, 10000, 0, 0,
                                              sntp_packet(0xe4, 16, nonce, stamp, stamp)))
    write(t, "transmit_before_receive.bin",
          sntp_input(0, march_2026, 0, 10000, 0, 0,
                     sntp_packet(0x24, 2, nonce, stamp + (500000 << 32), stamp)))
    write(t, "short.bin", sntp_input(0, 0, 0, 0, 0, 0, sntp_packet(0x24, 2, nonce, 1, 1)[:47]))


def clock_input(replies, true_utc):
    return "#".join(replies).encode("latin-1") + struct.pack("<d", true_utc)


def mount_clock_seeds():
    t = "fuzz_mount_clock"
    # 2026-03-19 21:30:12.25 local, UTC = local - 1 h: 20:30:12.25 UTC.
    true_utc = 1773952212.25
    write(t, "an_hour_east.bin", clock_input(["03/19/26", "21:30:12.25", "-01.0", "03/19/26"],
                                             true_utc + 0.4))
    write(t, "minutes_offset_day_turned.bin",
          clock_input(["03/19/26", "23:59:59.999", "+05:30", "03/20/26"], true_utc))
    write(t, "seconds_offset_far_clock.bin",
          clock_input(["12/31/99", "00:00:00", "+14:00:00.0", "12/31/99"], 0.0))
    write(t, "unreadable.bin", clock_input(["2026-03-19", "25:00:00", "5", ""], true_utc))


# --- The settings store's sites -----------------------------------------------------------


def site_seeds():
    t = "fuzz_observing_sites"
    write(t, "two_sites.conf",
          "[General]\nobserving_site=Garden\n\n[observing_sites]\n"
          "1\\elevation=450.3\n1\\horizon_file=/home/me/horizon.txt\n1\\latitude=48.504\n"
          "1\\longitude=11.583\n1\\name=Garden\n2\\elevation=-12\n2\\latitude=-33.9\n"
          "2\\longitude=-70.7\n2\\name=\"Roof, north\"\nsize=2\n")
    write(t, "duplicates_and_invalid.conf",
          "[observing_sites]\n1\\name=A\n1\\latitude=10\n1\\longitude=20\n1\\elevation=0\n"
          "2\\name=A\n2\\latitude=11\n2\\longitude=21\n2\\elevation=0\n"
          "3\\name=\" \"\n3\\latitude=1\n3\\longitude=1\n3\\elevation=1\n"
          "4\\name=B\n4\\latitude=91\n4\\longitude=1\n4\\elevation=1\n"
          "5\\name=C\n5\\latitude=nan\n5\\longitude=1\n5\\elevation=1e400\nsize=7\n")
    write(t, "size_beyond_entries.conf",
          "[General]\nobserving_site=Gone\n[observing_sites]\nsize=500\n"
          "500\\name=Last\n500\\latitude=0\n500\\longitude=0\n500\\elevation=0\n")
    write(t, "huge_size.conf", "[observing_sites]\nsize=2000000000\n")


if __name__ == "__main__":
    catalogue_seeds()
    table_seeds()
    reply_seeds()
    command_seeds()
    element_form_seeds()
    horizon_seeds()
    magnitude_seeds()
    sntp_seeds()
    mount_clock_seeds()
    site_seeds()
