#include "tools/mountsim/sim_options.h"

#include "astro/site.h"

#include <QDateTime>

#include <cmath>

const char kSimDescription[] =
    "Plays a Halvstar mount with satellite-tracking firmware on a TCP port, for trying Orbitrak\n"
    "without hardware and for tests. It serves one client at a time (a new connection\n"
    "replaces the previous one) and answers:\n"
    "  :GVN#   the firmware version (--firmware)\n"
    "  :Gt#    the site latitude as sDD*MM:SS.S\n"
    "  :Gg#    the site longitude, WEST positive as the mount counts it, as sDDD*MM:SS.S\n"
    "  :Gev#   the site elevation in metres as sXXXX.X\n"
    "  :GC#    the date of its clock as MM/DD/YY\n"
    "  :GL#    the local time of its clock as HH:MM:SS.SS\n"
    "  :GG#    the hours to add to local time to get UTC, as sHH.H (sHH:MM:SS.S when not\n"
    "          a whole tenth of an hour)\n"
    "and takes :U2#, :STOP#, :KA# (park) and :PO# (unpark) without an answer. Its clock is\n"
    "the system clock plus --clock-offset, in the system's local time zone.\n"
    "\n"
    "It follows satellites like the real mount, computing with Orbitrak's own orbit model\n"
    "and sky geometry from its site (--lat, --lon, --elev) and the system clock (UTC with\n"
    "today's leap seconds, UT1 taken as UTC; no leap-second table is read):\n"
    "  :TLEL0<set>#    an element set, escaped ($$ $0a $23 $2C for $, line feed, #, ,).\n"
    "                  \"V\" when it has a name line and two element lines with their line\n"
    "                  numbers, check digits, one catalogue number and fields that parse;\n"
    "                  else \"E\" (also for a raw, unescaped line feed). A new set\n"
    "                  forgets the pass and ends the tracking.\n"
    "  :TLEP<jd>,<n>#  the next pass from the working Julian date jd: the first one under\n"
    "                  way at jd or rising within the next 24 hours (the planner's own\n"
    "                  search, rise and set to 1 ms; a pass still up after 24 hours ends\n"
    "                  there). The answer is START,END,PEAK: working Julian dates with six\n"
    "                  decimals and the highest altitude in degrees, for example\n"
    "                  2461381.402130,2461381.651877,88.7; or \"E\" when there is no pass,\n"
    "                  no set, jd lies outside 1900-2100 or more than ten years from the\n"
    "                  set's epoch, or the parameters are not a number and an integer.\n"
    "                  n is read but not used. Ends the tracking of an earlier pass.\n"
    "  :TLES#          \"F\" when parked, \"E\" without a pass, \"Q\" when it has ended,\n"
    "                  \"S\" when the satellite is up (slew to it), \"V\" before the pass\n"
    "                  (slew to where it rises). Every slew takes --slew-seconds.\n"
    "  :TLESCK#        the tracking state: E before a slew or after :STOP#/:KA#, V or S\n"
    "                  while slewing, P waiting at the start point, T tracking while the\n"
    "                  satellite is up, Q after the pass.\n"
    "  :GaE#           only firmware 2.15.14 or later answers it (older firmware, as on the\n"
    "                  real mount, leaves it unanswered): AZ,ALT,ERR1,\"STATE,SECONDS\",ERR2\n"
    "                  with the satellite's azimuth and altitude in degrees (0,0 without a\n"
    "                  set), the two axis errors in degrees (a few arc-seconds, varying\n"
    "                  smoothly, while tracking; 0 otherwise), and, quoted, the state letter\n"
    "                  and the seconds since the slew began.\n"
    "Any other command gets no answer, as on the real mount.\n"
    "\n"
    "Every command received is logged on its own line (to standard error, or to --log FILE);\n"
    "lines starting with '#' report connections, misbehaviour and (--log-replies) what is\n"
    "sent. Once listening it prints one line\n"
    "\"listening on ADDRESS:PORT\" on standard output, so --port 0 lets the system pick a\n"
    "free port and tells which.";

std::vector<OptionSpec> simOptions() {
    return {
        {"listen", "ADDR", "Address to listen on (default 127.0.0.1).", "127.0.0.1"},
        {"port", "N", "TCP port (default 3490; 0 picks a free one).", "3490"},
        {"firmware", "VERSION", "Firmware version to report (default 2.15.14).", "2.15.14"},
        {"lat", "DEG", "Site latitude in degrees, north positive (default 47.5).", "47.5"},
        {"lon", "DEG", "Site longitude in degrees, EAST positive (default 8.5).", "8.5"},
        {"elev", "M", "Site elevation in metres (default 450).", "450"},
        {"slew-seconds", "S", "How long every slew takes, 0 to 3600 seconds (default 5).", "5"},
        {"log", "FILE", "Log the commands to FILE instead of standard error."},
        {"fragment", nullptr, "Send every reply in pieces of one or two bytes, with short pauses."},
        {"stray", "TEXT", "Send TEXT unasked just before the first reply of each connection."},
        {"drop-after", "N",
         "Close the connection on receiving the Nth command of a connection, without "
         "answering it (commands count from 1; #:U2#:GVN# is two)."},
        {"mute", "CMD",
         "Never answer CMD (repeatable). With its '#' (\":Gt#\") it names one command; "
         "without (\":TLEL0\") every command starting so. The leading ':' may be left out."},
        {"stray-after", "CMD:N:TEXT",
         "Send TEXT unasked right after the Nth reply to the command CMD, on every connection, "
         "as CMD:N:TEXT (\":TLESCK#:3:T#\": a stray reply after the third status reply)."},
        {"site-reply", "FIELD=TEXT",
         "Answer FIELD (latitude, longitude or elevation) with TEXT instead of the site's value, "
         "as FIELD=TEXT (\"latitude=+95*00:00\"); repeatable."},
        {"chaos", "SEED",
         "Misbehave at random, differently on every connection, from the random SEED: replies "
         "in pieces, stray text before a reply, a command left unanswered, the connection "
         "closed on receiving a command. The connection breaks only while the client waits "
         "for an answer. Implies --log-replies; the log tells each connection's plan."},
        {"log-replies", nullptr,
         "Also log every piece of text sent, on a line \"#> \" + the text."},
        {"refuse-alpha5", nullptr,
         "Answer E to an element set whose catalogue number is in the Alpha-5 form (A0001 for "
         "100001), as older firmware that reads five digits only would. Without it such a set "
         "is checked and taken like any other."},
        {"clock-offset", "S",
         "Run the mount's clock S seconds ahead of the system clock (negative: behind; "
         "default 0).",
         "0"}};
}

namespace {

// A finite number, as Qt reads it.
bool readNumber(const QString& text, double& value) {
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

// The site's range is the one the program takes from a mount.
bool readSite(const QCommandLineParser& parser, Site& site, QString& error) {
    double latitude = 0.0;
    double longitude = 0.0;
    double elevation = 0.0;
    if (!readNumber(parser.value("lat"), latitude) || !Site::latitudeInRange(latitude))
        error = QStringLiteral("--lat needs degrees from %1 to %2")
                    .arg(-Site::kMaxLatitudeDeg)
                    .arg(Site::kMaxLatitudeDeg);
    else if (!readNumber(parser.value("lon"), longitude) || !Site::longitudeInRange(longitude))
        error = QStringLiteral("--lon needs degrees from %1 to %2")
                    .arg(-Site::kMaxLongitudeDeg)
                    .arg(Site::kMaxLongitudeDeg);
    else if (!readNumber(parser.value("elev"), elevation) || !Site::elevationInRange(elevation))
        error = QStringLiteral("--elev needs metres from %1 to %2")
                    .arg(Site::kMinElevationM)
                    .arg(Site::kMaxElevationM);
    if (!error.isEmpty())
        return false;
    if (longitude > 180.0)
        longitude -= 360.0;
    if (longitude <= -180.0)
        longitude += 360.0;
    site = Site::fromDegrees(latitude, longitude, elevation);
    return true;
}

bool readReplies(const QCommandLineParser& parser, SimulatedMount::Config& config, QString& error) {
    for (const QString& name : parser.values("mute")) {
        const QByteArray command = SimulatedMount::normaliseCommandName(name.toLatin1());
        if (command.size() < 2) {
            error = "--mute needs a command name";
            return false;
        }
        config.muted.append(command);
    }
    for (const QString& given : parser.values("site-reply")) {
        const QByteArray field = given.section('=', 0, 0).toLatin1();
        const QByteArray text = given.section('=', 1).toLatin1();
        QByteArray* reply = field == "latitude"    ? &config.latitudeReply
                            : field == "longitude" ? &config.longitudeReply
                            : field == "elevation" ? &config.elevationReply
                                                   : nullptr;
        if (!reply || !given.contains('=') || text.isEmpty() || text.contains('#')) {
            error = "--site-reply needs latitude, longitude or elevation, '=' and a text "
                    "without '#'";
            return false;
        }
        *reply = text;
    }
    return true;
}

bool readMisbehaviour(const QCommandLineParser& parser, Misbehaviour& misbehaviour,
                      QString& error) {
    bool ok = false;
    misbehaviour.fragment = parser.isSet("fragment");
    misbehaviour.stray = parser.value("stray").toLatin1();
    if (parser.isSet("drop-after")) {
        misbehaviour.dropAfter = parser.value("drop-after").toInt(&ok);
        if (!ok || misbehaviour.dropAfter < 1) {
            error = "--drop-after needs a count of 1 or more";
            return false;
        }
    }
    if (parser.isSet("stray-after")) {
        // CMD ends at its '#'; the count and the text follow, each after a ':'.
        const QByteArray given = parser.value("stray-after").toLatin1();
        const int hash = given.indexOf('#');
        const int colon = given.indexOf(':', hash + 2);
        misbehaviour.strayAfterCommand = SimulatedMount::normaliseCommandName(given.left(hash + 1));
        misbehaviour.strayAfterCount = given.mid(hash + 2, colon - hash - 2).toInt(&ok);
        misbehaviour.strayAfterText = given.mid(colon + 1);
        if (hash < 1 || given.mid(hash + 1, 1) != ":" || colon < 0 || !ok ||
            misbehaviour.strayAfterCount < 1 || misbehaviour.strayAfterText.isEmpty()) {
            error = "--stray-after needs CMD:N:TEXT, for example :TLESCK#:3:T#";
            return false;
        }
    }
    if (parser.isSet("chaos")) {
        misbehaviour.chaos = true;
        misbehaviour.chaosSeed = parser.value("chaos").toUInt(&ok);
        if (!ok) {
            error = "--chaos needs a whole number from 0 to 4294967295";
            return false;
        }
    }
    misbehaviour.logReplies = misbehaviour.chaos || parser.isSet("log-replies");
    return true;
}

} // namespace

bool readSimSetup(const QCommandLineParser& parser, SimSetup& setup, QString& error) {
    SimulatedMount::Config& config = setup.config;
    setup.address = QHostAddress(parser.value("listen"));
    bool ok = false;
    const uint port = parser.value("port").toUInt(&ok);
    config.firmware = parser.value("firmware").toLatin1();
    if (setup.address.isNull())
        error = "--listen needs an IP address, not " + parser.value("listen");
    else if (!ok || port > 65535)
        error = "--port needs a number from 0 to 65535";
    else if (config.firmware.contains('#'))
        error = "--firmware cannot contain '#'";
    else if (!readSite(parser, config.site, error))
        return false;
    else if (!readNumber(parser.value("slew-seconds"), config.slewSeconds) ||
             config.slewSeconds < 0.0 || config.slewSeconds > 3600.0)
        error = "--slew-seconds needs seconds from 0 to 3600";
    else if (!readNumber(parser.value("clock-offset"), config.clockOffsetSeconds) ||
             std::fabs(config.clockOffsetSeconds) > 1e8)
        error = "--clock-offset needs seconds from -1e8 to 1e8";
    if (!error.isEmpty() || !readReplies(parser, config, error) ||
        !readMisbehaviour(parser, setup.misbehaviour, error))
        return false;
    setup.port = quint16(port);
    config.refuseAlpha5 = parser.isSet("refuse-alpha5");
    // The mount keeps the local time of the computer it stands in for.
    config.utcOffsetSeconds = -QDateTime::currentDateTime().offsetFromUtc();
    setup.logToFile = parser.isSet("log");
    setup.logFile = parser.value("log");
    return true;
}
