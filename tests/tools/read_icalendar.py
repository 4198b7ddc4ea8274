#!/usr/bin/python3
"""Reads an exported pass calendar with python3-icalendar, an independent reader, checks the
layout RFC 5545 asks for, and prints each event as UID|DTSTART|DTEND|SUMMARY|DESCRIPTION (times
as ISO 8601 UTC) for the test to compare with the pass search."""
import sys

from icalendar import Calendar


def main(path):
    raw = open(path, "rb").read()
    lines = raw.split(b"\r\n")
    if lines[-1] != b"" or b"\n" in raw.replace(b"\r\n", b""):
        sys.exit("not CRLF line ends")
    for line in lines:
        if len(line) > 75:
            sys.exit("line longer than 75 octets: %r" % line)
        line.decode("utf-8")  # folding never splits a character
    calendar = Calendar.from_ical(raw)
    if calendar.get("VERSION") != "2.0" or not calendar.get("PRODID"):
        sys.exit("no VERSION 2.0 or PRODID")
    for event in calendar.walk("VEVENT"):
        if not event.get("DTSTAMP"):
            sys.exit("no DTSTAMP")
        start = event.decoded("DTSTART")
        end = event.decoded("DTEND")
        if start.utcoffset() is None or start.utcoffset().total_seconds() != 0 or end < start:
            sys.exit("DTSTART not UTC or after DTEND")
        print("|".join([str(event["UID"]), start.strftime("%Y-%m-%dT%H:%M:%SZ"),
                        end.strftime("%Y-%m-%dT%H:%M:%SZ"), str(event["SUMMARY"]),
                        str(event["DESCRIPTION"]).replace("\n", "~")]))


main(sys.argv[1])
