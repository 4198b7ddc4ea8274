// orbitrak-mountsim: a stand-in for the Halvstar mount, for tests and for trying the program
// without hardware.
#include "astro/site.h"
#include "orbitrak_version.h"
#include "tools/mountsim/sim_server.h"
#include "tools/mountsim/simulated_mount.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHostAddress>

#include <cmath>
#include <cstdio>

static const char* const description =
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

static int fail(const QString& message) {
    std::fprintf(stderr, "orbitrak-mountsim: %s\n", qPrintable(message));
    return 2;
}

static bool readNumber(const QString& text, double& value) {
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbitrak-mountsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORBITRAK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listenOption("listen", "Address to listen on (default 127.0.0.1).",
                                          "ADDR", "127.0.0.1");
    const QCommandLineOption portOption("port", "TCP port (default 3490; 0 picks a free one).", "N",
                                        "3490");
    const QCommandLineOption firmwareOption(
        "firmware", "Firmware version to report (default 2.15.14).", "VERSION", "2.15.14");
    const QCommandLineOption latOption(
        "lat", "Site latitude in degrees, north positive (default 47.5).", "DEG", "47.5");
    const QCommandLineOption lonOption(
        "lon", "Site longitude in degrees, EAST positive (default 8.5).", "DEG", "8.5");
    const QCommandLineOption elevOption("elev", "Site elevation in metres (default 450).", "M",
                                        "450");
    const QCommandLineOption slewOption(
        "slew-seconds", "How long every slew takes, 0 to 3600 seconds (default 5).", "S", "5");
    const QCommandLineOption clockOffsetOption(
        "clock-offset",
        "Run the mount's clock S seconds ahead of the system clock (negative: behind; "
        "default 0).",
        "S", "0");
    const QCommandLineOption logOption("log", "Log the commands to FILE instead of standard error.",
                                       "FILE");
    const QCommandLineOption fragmentOption(
        "fragment", "Send every reply in pieces of one or two bytes, with short pauses.");
    const QCommandLineOption strayOption(
        "stray", "Send TEXT unasked just before the first reply of each connection.", "TEXT");
    const QCommandLineOption dropOption(
        "drop-after",
        "Close the connection on receiving the Nth command of a connection, without "
        "answering it (commands count from 1; #:U2#:GVN# is two).",
        "N");
    const QCommandLineOption muteOption(
        "mute",
        "Never answer CMD (repeatable). With its '#' (\":Gt#\") it names one command; "
        "without (\":TLEL0\") every command starting so. The leading ':' may be left out.",
        "CMD");
    const QCommandLineOption strayAfterOption(
        "stray-after",
        "Send TEXT unasked right after the Nth reply to the command CMD, on every connection, "
        "as CMD:N:TEXT (\":TLESCK#:3:T#\": a stray reply after the third status reply).",
        "CMD:N:TEXT");
    const QCommandLineOption siteReplyOption(
        "site-reply",
        "Answer FIELD (latitude, longitude or elevation) with TEXT instead of the site's value, "
        "as FIELD=TEXT (\"latitude=+95*00:00\"); repeatable.",
        "FIELD=TEXT");
    const QCommandLineOption chaosOption(
        "chaos",
        "Misbehave at random, differently on every connection, from the random SEED: replies "
        "in pieces, stray text before a reply, a command left unanswered, the connection "
        "closed on receiving a command. The connection breaks only while the client waits "
        "for an answer. Implies --log-replies; the log tells each connection's plan.",
        "SEED");
    const QCommandLineOption refuseAlpha5Option(
        "refuse-alpha5",
        "Answer E to an element set whose catalogue number is in the Alpha-5 form (A0001 for "
        "100001), as older firmware that reads five digits only would. Without it such a set "
        "is checked and taken like any other.");
    const QCommandLineOption logRepliesOption(
        "log-replies", "Also log every piece of text sent, on a line \"#> \" + the text.");
    parser.addOptions({listenOption, portOption, firmwareOption, latOption, lonOption, elevOption,
                       slewOption, logOption, fragmentOption, strayOption, dropOption, muteOption,
                       strayAfterOption, siteReplyOption, chaosOption, logRepliesOption,
                       refuseAlpha5Option, clockOffsetOption});
    parser.process(app);

    const QHostAddress address(parser.value(listenOption));
    if (address.isNull())
        return fail("--listen needs an IP address, not " + parser.value(listenOption));
    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535)
        return fail("--port needs a number from 0 to 65535");

    SimulatedMount::Config config;
    config.firmware = parser.value(firmwareOption).toLatin1();
    if (config.firmware.contains('#'))
        return fail("--firmware cannot contain '#'");
    config.refuseAlpha5 = parser.isSet(refuseAlpha5Option);
    // The site's range is the one the program takes from a mount.
    double latitude = 0.0;
    double longitude = 0.0;
    double elevation = 0.0;
    if (!readNumber(parser.value(latOption), latitude) || !Site::latitudeInRange(latitude))
        return fail(QStringLiteral("--lat needs degrees from %1 to %2")
                        .arg(-Site::kMaxLatitudeDeg)
                        .arg(Site::kMaxLatitudeDeg));
    if (!readNumber(parser.value(lonOption), longitude) || !Site::longitudeInRange(longitude))
        return fail(QStringLiteral("--lon needs degrees from %1 to %2")
                        .arg(-Site::kMaxLongitudeDeg)
                        .arg(Site::kMaxLongitudeDeg));
    if (longitude > 180.0)
        longitude -= 360.0;
    if (longitude <= -180.0)
        longitude += 360.0;
    if (!readNumber(parser.value(elevOption), elevation) || !Site::elevationInRange(elevation))
        return fail(QStringLiteral("--elev needs metres from %1 to %2")
                        .arg(Site::kMinElevationM)
                        .arg(Site::kMaxElevationM));
    config.site = Site::fromDegrees(latitude, longitude, elevation);
    if (!readNumber(parser.value(slewOption), config.slewSeconds) || config.slewSeconds < 0.0 ||
        config.slewSeconds > 3600.0)
        return fail("--slew-seconds needs seconds from 0 to 3600");
    if (!readNumber(parser.value(clockOffsetOption), config.clockOffsetSeconds) ||
        std::fabs(config.clockOffsetSeconds) > 1e8)
        return fail("--clock-offset needs seconds from -1e8 to 1e8");
    // The mount keeps the local time of the computer it stands in for.
    config.utcOffsetSeconds = -QDateTime::currentDateTime().offsetFromUtc();
    for (const QString& name : parser.values(muteOption)) {
        const QByteArray command = SimulatedMount::normaliseCommandName(name.toLatin1());
        if (command.size() < 2)
            return fail("--mute needs a command name");
        config.muted.append(command);
    }

    for (const QString& given : parser.values(siteReplyOption)) {
        const QByteArray field = given.section('=', 0, 0).toLatin1();
        const QByteArray text = given.section('=', 1).toLatin1();
        QByteArray* reply = field == "latitude"    ? &config.latitudeReply
                            : field == "longitude" ? &config.longitudeReply
                            : field == "elevation" ? &config.elevationReply
                                                   : nullptr;
        if (!reply || !given.contains('=') || text.isEmpty() || text.contains('#'))
            return fail("--site-reply needs latitude, longitude or elevation, '=' and a text "
                        "without '#'");
        *reply = text;
    }

    Misbehaviour misbehaviour;
    misbehaviour.fragment = parser.isSet(fragmentOption);
    misbehaviour.stray = parser.value(strayOption).toLatin1();
    if (parser.isSet(dropOption)) {
        misbehaviour.dropAfter = parser.value(dropOption).toInt(&ok);
        if (!ok || misbehaviour.dropAfter < 1)
            return fail("--drop-after needs a count of 1 or more");
    }

    if (parser.isSet(strayAfterOption)) {
        // CMD ends at its '#'; the count and the text follow, each after a ':'.
        const QByteArray given = parser.value(strayAfterOption).toLatin1();
        const int hash = given.indexOf('#');
        const int colon = given.indexOf(':', hash + 2);
        misbehaviour.strayAfterCommand = SimulatedMount::normaliseCommandName(given.left(hash + 1));
        misbehaviour.strayAfterCount = given.mid(hash + 2, colon - hash - 2).toInt(&ok);
        misbehaviour.strayAfterText = given.mid(colon + 1);
        if (hash < 1 || given.mid(hash + 1, 1) != ":" || colon < 0 || !ok ||
            misbehaviour.strayAfterCount < 1 || misbehaviour.strayAfterText.isEmpty())
            return fail("--stray-after needs CMD:N:TEXT, for example :TLESCK#:3:T#");
    }

    if (parser.isSet(chaosOption)) {
        misbehaviour.chaos = true;
        misbehaviour.chaosSeed = parser.value(chaosOption).toUInt(&ok);
        if (!ok)
            return fail("--chaos needs a whole number from 0 to 4294967295");
    }
    misbehaviour.logReplies = misbehaviour.chaos || parser.isSet(logRepliesOption);

    QFile log;
    if (parser.isSet(logOption)) {
        log.setFileName(parser.value(logOption));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail("cannot write the log " + parser.value(logOption) + ": " +
                        log.errorString());
    } else if (!log.open(stderr, QIODevice::WriteOnly)) {
        return fail("cannot write to standard error");
    }

    SimulatedMount mount(config);
    SimServer server(mount, misbehaviour, log);
    if (!server.listen(address, quint16(port)))
        return fail("cannot listen on " + address.toString() + " port " + QString::number(port) +
                    ": " + server.errorString());

    const QHostAddress bound = server.serverAddress();
    const QString shown = bound.protocol() == QAbstractSocket::IPv6Protocol
                              ? '[' + bound.toString() + ']'
                              : bound.toString();
    std::printf("listening on %s:%u\n", qPrintable(shown), unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
